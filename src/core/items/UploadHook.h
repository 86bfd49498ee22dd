#pragma once
// The upload hook: hands a saved bitmap and its image's RFID number, date,
// frequency and depth range to the external upload tool named in "RFID.ini".
//
// Split in two. The pure part turns the settings and the image header into the eight values
// and those into the exact text of the file beside the bitmap and the process to start
// (planUpload). The small part (uploadRFID) reads "RFID.ini", writes that file atomically and
// starts the process through a platform::ProcessStarter, which tests replace.
//
//   Windows        "<bitmap>.bat": one line, eight double-quoted values, CR LF, in the ANSI
//                  code page, no byte-order mark; the shell "open"s it (ShellExecuteW).
//   Linux, macOS   "<bitmap>.sh": the same eight values as a POSIX shell script (UTF-8, LF,
//                  each value single-quoted) for the record; the tool is started directly with
//                  the other seven values as separate arguments. No shell sees a value.
//
// Mended (unsafe input): the RFID number comes from the scanner and "exe", "user" and
// "password" from the settings file; in the batch line they must not change the command that
// runs. Each character that cmd.exe acts on inside double quotes (the double quote, %, and the
// control characters below 0x20 and 0x7F, CR and LF among them) is replaced by '_' in the
// values. The two paths (the tool's, made of the program's folder and "exe", and the bitmap's,
// made of the target folder) write a % as %%, which a batch file reads back as one % without
// expanding anything, so a folder named "100%" still names its file; '"' and control bytes
// (which no Windows path holds) become '_' there too. Everything else about the line is as the
// original program writes it.
#include "base/IniFile.h"
#include "items/CodePage.h"
#include "items/TImageData.h"
#include "platform/Paths.h"
#include "platform/ProcessStarter.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

inline constexpr const char* kRfidIniName = "RFID.ini";
inline constexpr const char* kRfidIniSection = "dane";
inline constexpr const char* kMissingToolMessage = "Brak pliku:"; // directly followed by "exe"

// Section "dane" of "RFID.ini". A key that is missing takes its default; a key present with an
// empty value gives an empty text.
struct RfidSettings {
    std::string exe = "KVEP_API_cmd.exe";
    std::string user = "usg";
    std::string password = "Kfo47#";
};

// Values as UTF-8: a value that is valid UTF-8 is taken as it is (a file saved as UTF-8),
// anything else is decoded through `ansi` (a file saved in the ANSI code page). A value in
// double quotes loses them, as GetPrivateProfileString reads it.
RfidSettings readRfidSettings(const IniFile& ini, const AnsiText& ansi);

// Where "RFID.ini" is: next to the executable, else in the per-user config folder. Nothing when
// neither holds it (the hook is off).
std::optional<std::filesystem::path> findRfidIni(const platform::AppFolders& folders);

enum class UploadStyle { WindowsBatch, PosixScript };
#ifdef _WIN32
inline constexpr UploadStyle kNativeUploadStyle = UploadStyle::WindowsBatch;
#else
inline constexpr UploadStyle kNativeUploadStyle = UploadStyle::PosixScript;
#endif

// The eight values, in the documented order: tool, user, password, bitmap, RFID, date, frequency,
// depth range. All UTF-8.
using UploadValues = std::array<std::string, 8>;

// The tool's full name. Windows: the program's folder, a backslash (unless the folder already
// ends with one), then "exe", joined as text. POSIX: folder / exe (an absolute "exe" is taken as
// it is, which is how an installed program names a tool elsewhere).
std::string uploadToolPath(std::string_view programFolder, std::string_view exe, UploadStyle style);

// The date, frequency, depth-range and RFID texts of the image (RFID bytes up to the first NUL,
// decoded through `scannerPage`).
UploadValues uploadValues(std::string_view toolPath, const RfidSettings& settings, std::string_view bitmapName,
                          const TImageData& image, CodePage scannerPage = kDefaultCodePage);

// A value for the batch line: '"', '%', bytes below 0x20 and 0x7F become '_' (the user, the
// password, the RFID number; the date, frequency and range texts never hold any of them).
std::string batchSafeValue(std::string_view value);
// A path for the batch line (the tool's and the bitmap's): '%' is doubled, which a batch file
// reads back as one '%' without expanding anything, so the path still names its file; '"' and
// control bytes (which no Windows path holds) become '_'.
std::string batchSafePath(std::string_view path);

// The documented line: "\"%s\" \"%s\" \"%s\" \"%s\" \"%s\" \"%s\" \"%s\" \"%s\" " filled with the
// values, values 1 and 4 (tool, bitmap) through batchSafePath, the others through
// batchSafeValue. Without the line end.
std::string batchLine(const UploadValues& values);
// The batch file's text: the line and CR LF (UTF-8; AnsiText::fromUtf8 makes its bytes).
std::string batchFileText(const UploadValues& values);

// One value in single quotes for a POSIX shell: a ' inside becomes '\''.
std::string shellQuote(std::string_view value);
// "#!/bin/sh" and one line with the eight values quoted, LF line ends.
std::string shellScriptText(const UploadValues& values);

// The file beside the bitmap: its extension replaced by ".bat" (Windows) or ".sh".
std::filesystem::path uploadFileName(const std::filesystem::path& bitmap, UploadStyle style);

// Everything the hook does for one image, decided before anything is done.
struct UploadPlan {
    UploadStyle style = kNativeUploadStyle;
    std::optional<std::string> message;    // "Brak pliku:" + exe when the tool is missing
    std::filesystem::path file;            // the batch file or script beside the bitmap
    std::string bytes;                     // its exact content
    // POSIX: the tool and its seven arguments (user .. depth range; values cut at a NUL byte,
    // which no argv entry can hold). Windows: empty; the shell opens `file`.
    std::filesystem::path program;
    std::vector<std::string> arguments;
};

struct UploadInputs {
    std::filesystem::path programFolder;
    RfidSettings settings;
    std::filesystem::path bitmap;
    const TImageData* image = nullptr;
    bool toolExists = false;
    UploadStyle style = kNativeUploadStyle;
    CodePage scannerPage = kDefaultCodePage;
    AnsiText ansi = AnsiText::forCodePage(kDefaultCodePage); // the batch file's bytes
};

UploadPlan planUpload(const UploadInputs& in);

// What the hook needs from its host.
struct UploadHost {
    platform::AppFolders folders;                       // the program's folder, the config folder
    platform::ProcessStarter* starter = nullptr;        // nothing is started without one
    std::function<void(const std::string&)> showMessage; // a modal message box; returns once closed
    AnsiText ansi;                                      // the system's ANSI code page (platform::systemAnsiText())
    CodePage scannerPage = kDefaultCodePage;
    UploadStyle style = kNativeUploadStyle;
};

// uploadRFID: reads "RFID.ini" afresh (defaults when it cannot be read), shows
// "Brak pliku:" + exe when the tool is missing (and goes on), writes the file beside the bitmap
// (replacing one of that name) and starts it, not waiting. A file that cannot be written
// throws std::runtime_error to the caller (the bitmap stays saved); a start the system refuses
// is ignored. On POSIX the script is made executable where possible. Returns what it did.
UploadPlan uploadRFID(const std::filesystem::path& bitmapFile, const TImageData& image, const UploadHost& host);

} // namespace kelvo
