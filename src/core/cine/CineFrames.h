#pragma once
// The pictures of a cine: raw frames averaged in pairs, laid out as grey 384 x 255 bitmaps,
// resized to the video's frame size and labelled with the maker's caption and the mark of scan
// line 0. Pure: no file, no scanner, no process.
#include "imaging/Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kelvo {

// A raw frame: scan lines of 256 one-byte samples, byte line x 256 + depth index.
inline constexpr std::size_t kCineFrameBytes = 131072;
inline constexpr int kCineDepthSamples = 256;
// What a frame shows of it: scan lines 0..383, depth indexes 0..254.
inline constexpr int kCineShownLines = 384;
inline constexpr int kCineShownDepths = 255;

// The video's frames: this height stands for the cine's depth range.
inline constexpr int kCineFrameHeight = 288;
// Widths outside these bounds come only from a field of view no probe has (0 mm, 65535 mm);
// such a cine is refused rather than rendered as nothing or as a picture of a gigabyte.
inline constexpr std::int64_t kMinCineFrameWidth = 4;
inline constexpr std::int64_t kMaxCineFrameWidth = 4096;

inline constexpr const char* kCineCaption = "KORVANTEX KELVO";
inline constexpr const char* kCineMark = "*";
inline constexpr int kCineMarkPoints = 20;
inline constexpr TRGBStr kCineCaptionColour{255, 255, 255};
inline constexpr TRGBStr kCineMarkColour{255, 0, 0}; // B, G, R: blue

// usrednijKlatki: out[i] = (a[i] + b[i]) / 2, an exact half rounded to the even neighbour
// (1 and 2 give 2; 2 and 3 give 2; 254 and 255 give 254). The three spans must have one size
// (std::invalid_argument otherwise).
void usrednijKlatki(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b, std::span<std::uint8_t> out);

// klatkaDoBitmapy: the 384 x 255 grey picture of a frame; pixel (column, y) is the sample of
// scan line c at depth index y, with column c, or 383 - c when mirrored (scan line 0 at the right
// edge). std::invalid_argument unless `frame` holds kCineFrameBytes.
Bitmap24 klatkaDoBitmapy(std::span<const std::uint8_t> frame, bool mirrored);

// The width of the video's frames for a field of view and a depth range (both in mm): the
// field of view at the scale of 288 pixels for the depth range, rounded to the nearest whole
// number (an exact half to the even neighbour), then moved to a multiple of 4 by its remainder:
// 1 subtracts 1, 2 adds 2, 3 adds 1. 45 and 100 give 132, 38 and 100 give 108, 40 and 120 give
// 96. Computed exactly in integers. Nothing for a depth range below 1 (a width without a scale).
std::optional<std::int64_t> szerokoscKlatki(std::int64_t p_pole_widzenia, std::int64_t p_zakres);

bool szerokoscDozwolona(std::int64_t width);

// One frame of the video from an averaged raw frame: klatkaDoBitmapy, BicubicResize to
// width x 288, the caption "KORVANTEX KELVO" in white at (0, 0) in the canvas's default size, and a
// blue "*" at 20 points at (width - 16, 16) when mirrored, else at (2, 16), both on a clear
// background. std::invalid_argument for a width outside the bounds above.
Bitmap24 klatkaCine(std::span<const std::uint8_t> mean, bool mirrored, int width);

} // namespace kelvo
