#pragma once
// One raw cine file made into a video: the depth range (asked for when none is given), the
// frame width from the field of view, the frame bitmaps, and the encoder.
//
// Mended:
// - The field of view comes from the scanner and is not trusted: a width outside 4..4096 pixels
//   (a field of view of 0, or of 65535 mm) refuses the cine with a message instead of crashing
//   or filling the disk. A depth-range answer that is not a whole number above 0 refuses it the
//   same way instead of raising a conversion or division error.
// - A raw file of fewer than two frames makes no frames, and then no encoder is started: it
//   would encode whatever another cine left in "tmp".
// - The encoder must read only this cine's frames: before it starts, the bitmap that follows
//   this cine's last frame ("a_cine_" n - 1 ".bmp", left by a longer cine) is removed, since the
//   encoder reads up to the first missing number. It is waited for (VideoEncoder.h).
#include "cine/FrameExport.h"
#include "cine/VideoEncoder.h"
#include "items/TImageData.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kelvo {

// The depth-range box: caption "Jaki zakres", prompt "Jaki zakres mm?", preset answer "100".
inline constexpr const char* kRangeCaption = "Jaki zakres";
inline constexpr const char* kRangePrompt = "Jaki zakres mm?";
inline constexpr const char* kRangePreset = "100";

struct CineExportSettings {
    EncoderSettings encoder;
    // Serves pending window messages once: after each frame and while the encoder runs. May be
    // unset.
    std::function<void()> processMessages;
    // The depth-range box: the answer typed, or nothing when it was cancelled (the preset
    // answer is then taken). Unset: as cancelled.
    std::function<std::optional<std::string>()> askRange;
};

struct CineJob {
    std::filesystem::path folder;      // a_folder: its "tmp" takes the frame bitmaps
    std::filesystem::path videoFolder; // p_folder: the video goes there
    std::filesystem::path rawFile;     // p_cineName
    std::int32_t zakres = 0;           // p_zakres in mm; 0: ask
    TImageData entry;                  // p_dane: ID (the video's name), CF_ZAMIEN_LEWA_PRAWA
    std::int32_t pole_widzenia = 0;    // a_pole_widzenia in mm
};

struct CineVideo {
    enum class Outcome {
        Made,          // the encoder wrote the video
        Broken,        // the break flag stopped the frames; no video, as asked
        RangeRefused,  // the depth-range answer is not a whole number above 0
        WidthRefused,  // the field of view gives a frame width outside 4..4096
        NoFrames,      // fewer than two raw frames: nothing to encode
        EncoderFailed, // the encoder is missing, did not start or failed (encoder says which)
    };
    Outcome outcome = Outcome::NoFrames;
    std::int32_t zakres = 0; // the depth range used (mm)
    std::int64_t width = 0;  // W
    FrameExport frames;
    std::optional<EncoderRun> encoder;
    std::filesystem::path video;
    std::string problem; // what the user is told; empty for Made and Broken

    bool made() const { return outcome == Outcome::Made; }
};

// A depth-range answer as a whole number of millimetres ("120", " 80 "); nothing otherwise.
std::optional<std::int32_t> parseRangeAnswer(const std::string& answer);

// Cine2AVI on its own: `hooks` carry the status texts, the window messages (also while the
// encoder runs) and the break flag. A raw file that cannot be opened or read, or a frame bitmap
// or batch file that cannot be written, throws std::runtime_error.
CineVideo eksportujCine(const CineJob& job, const FrameExportHooks& hooks, const CineExportSettings& settings);

} // namespace kelvo
