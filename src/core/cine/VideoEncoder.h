#pragma once
// The external video encoder (ffmpeg), which turns the frame bitmaps of one cine into
// "%d_cine.avi" in the video folder.
//
// Split in two, as the upload hook is: the pure part turns the paths into the exact text of the
// script and the process to start (planEncoder); uruchomFFmpeg finds the encoder, writes the
// script, runs the encoder and waits for its end.
//
//   Windows        "zzz.bat" in the program's folder: one line, CR LF, in the ANSI code page, no
//                  byte-order mark, with the short (8.3) paths; the shell "open"s it.
//   Linux, macOS   "zzz.sh" there, the same values as a POSIX shell script for the record; the
//                  encoder (next to the program, else on PATH) is started directly with its
//                  arguments as separate argv entries, its output going to a log file in "tmp".
//
// Mended: the encoder is waited for, so the next cine can never replace the frames it is
// reading; a missing encoder, one that cannot be started and one that fails are reported
// (EncoderRun) instead of leaving the user without a video and without a word.
#include "items/CodePage.h"
#include "items/TImageData.h"
#include "items/UploadHook.h"
#include "platform/Paths.h"
#include "platform/ProgramRun.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

inline constexpr const char* kEncoderWindowsName = "ffmpeg.exe";
inline constexpr const char* kEncoderPosixName = "ffmpeg";
inline constexpr const char* kEncoderBatchName = "zzz.bat";
inline constexpr const char* kEncoderScriptName = "zzz.sh";

// "%d_cine.avi" filled with ID + 1: slot 0 gives 1_cine.avi.
std::string videoFileName(const TImageData& p_dane);

// The encoder's line, "\"%s\" -r 12.000 -i \"%s\" -threads:v 2 -vf \"scale=0:0,setdar=4:3\"
// -codec:v mpeg4 -r 15.000 -b:v 1200k  -flags +aic+mv4 -trellis 1 -mbd 2 -cmp 2 -subcmp 2
// -g 250 -me_range 1023 -an -y \"%s\" " filled with F, I and O as they are (two blanks before
// -flags, one at the end), without a line end.
std::string ffmpegBatchLine(std::string_view F, std::string_view I, std::string_view O);

// The encoder's arguments after the program, as the batch interpreter splits that line: 31
// entries, I at index 3 and O last.
std::vector<std::string> ffmpegArguments(std::string_view I, std::string_view O);

// A folder inside the encoder's input pattern: its own '%' doubled, so that only a_cine_%d
// names a number.
std::string patternSafe(std::string_view folder);

struct EncoderInputs {
    UploadStyle style = kNativeUploadStyle;
    // F. Windows: the short form of "ffmpeg.exe" in the program's folder; POSIX: the encoder
    // found. Empty when there is none.
    std::string encoder;
    // The target folder, whose "tmp" holds the frames, and the folder of the video (Windows:
    // their short forms), UTF-8.
    std::string framesFolder;
    std::string videoFolder;
    std::int32_t ID = 0;
    std::filesystem::path scriptFolder;                      // where zzz.bat or zzz.sh goes
    AnsiText ansi = AnsiText::forCodePage(kDefaultCodePage); // the batch file's bytes
};

struct EncoderPlan {
    UploadStyle style = kNativeUploadStyle;
    std::filesystem::path script; // zzz.bat, or zzz.sh
    std::string bytes;            // its exact content
    // POSIX: the encoder and its arguments, started directly. Windows: empty; the shell opens
    // `script`.
    std::filesystem::path program;
    std::vector<std::string> arguments;
};

// Windows: I = framesFolder "\tmp\a_cine_%%d.bmp" and O = videoFolder "\" N "_cine.avi"; the
// paths go through batchSafePath (a '%' of a folder survives the batch interpreter and, in I,
// the encoder's pattern). POSIX: I = framesFolder/tmp/a_cine_%d.bmp, O = videoFolder/N_cine.avi.
EncoderPlan planEncoder(const EncoderInputs& in);

struct EncoderSettings {
    // Where the encoder is looked for first and the script goes (the script falls back to the
    // per-user state folder when the program's folder is not writable). Unset: this process's.
    std::optional<platform::AppFolders> programFolders;
    // POSIX: look on PATH when the program's folder holds no encoder.
    bool searchPath = true;
    // Runs the encoder; not owned. Unset: the system's own.
    platform::ProgramRunner* runner = nullptr;
    // Called while the encoder runs (the window messages); may be unset.
    std::function<void()> whileWaiting;
    // The code page of the batch file. Unset: the system's ANSI code page.
    std::optional<AnsiText> ansi;
};

struct EncoderRun {
    enum class Outcome {
        Made,       // the encoder ended with status 0 and the video is there
        Missing,    // no encoder: nothing written, nothing started
        NotStarted, // the system refused to start it
        Failed,     // it ended with another status, left no video, or could not be waited for
    };
    Outcome outcome = Outcome::Missing;
    EncoderPlan plan;
    platform::ProgramExit exit;
    std::filesystem::path video;
    std::filesystem::path log;      // POSIX: the encoder's output
    std::string lastOutputLine;     // its last line, when it failed
    std::filesystem::path lookedIn; // the program's folder
};

// uruchomFFmpeg: the video of the frames in a_folder's "tmp" as p_folder / "N_cine.avi". A
// batch file that cannot be written throws std::runtime_error (the script of POSIX is a record:
// losing it does not stop the encoder).
EncoderRun uruchomFFmpeg(const std::filesystem::path& a_folder, const std::filesystem::path& p_folder,
                         const TImageData& p_dane, const EncoderSettings& settings);

// What the user is told when no video came of it; empty for Made.
std::string encoderProblem(const EncoderRun& run, const TImageData& p_dane);

} // namespace kelvo
