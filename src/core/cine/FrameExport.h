#pragma once
// The frame bitmaps of one raw cine file: each pair of neighbouring raw frames averaged into one
// picture, "a_cine_" k ".bmp" in the target folder's "tmp", with a status text, a turn for the
// window messages and a look at the break flag after every frame.
#include <filesystem>
#include <functional>
#include <string>

namespace kelvo {

struct FrameExportHooks {
    std::function<void(const std::string& p_str)> status; // "Frame: k/n" before frame k; may be unset
    std::function<void()> processMessages;                // after each frame is saved; may be unset
    std::function<bool()> breakRequested;                 // after that; unset: never
};

struct FrameExport {
    int rawFrames = 0; // n: whole raw frames in the file
    int written = 0;   // frame bitmaps written: n - 1, fewer after a break, none below two raw frames
    bool broken = false;
};

// "Frame: %d/%d" with k and n: Frame: 0/256 up to Frame: 254/256 for a standard cine.
std::string frameStatus(int k, int n);

// tmpFolder / "a_cine_" k ".bmp", k in decimal without leading zeros.
std::filesystem::path frameFile(const std::filesystem::path& tmpFolder, int k);

// Renders frames 0 .. n - 2 of `rawFile` at `width` x 288 (width within the bounds of
// CineFrames.h) and saves each atomically. A file that cannot be opened or read, and a bitmap
// that cannot be written, throw std::runtime_error; the file is closed on every way out. The
// bitmaps written before a break stay.
FrameExport eksportujKlatki(const std::filesystem::path& rawFile, const std::filesystem::path& tmpFolder, bool mirrored,
                            int width, const FrameExportHooks& hooks);

} // namespace kelvo
