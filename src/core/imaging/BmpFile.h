#pragma once
// Windows bitmap (BMP) files of 24-bit pictures.
#include "imaging/Bitmap.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace kelvo {

// The bytes of an uncompressed 24-bit BMP file, laid out as a VCL TBitmap of pixel format
// pf24bit saves itself: a 14-byte BITMAPFILEHEADER ("BM", file size, two reserved zeros,
// pixel offset 54) and a 40-byte BITMAPINFOHEADER (width, positive height = bottom-up rows,
// 1 plane, 24 bits, BI_RGB = 0, biSizeImage = padded row size x height, resolution 0 x 0 as
// VCL leaves it, no colour table), then the rows bottom-up, each B, G, R per pixel and padded
// with zero bytes to a multiple of 4. A bitmap with no pixels cannot be encoded
// (std::invalid_argument): Windows has no zero-sized BMP.
std::vector<std::uint8_t> encodeBmp(const Bitmap24& bitmap);

// Reads a BMP file's bytes: an uncompressed (BI_RGB) 24-bit picture with a BITMAPINFOHEADER or
// one of its longer successors (52, 56, 108 or 124 bytes), rows bottom-up (positive height) or
// top-down (negative height). Anything else (another depth, compression, an OS/2 core header)
// and any truncated or inconsistent input throws std::runtime_error saying what is wrong. Never
// reads outside `bytes`, and allocates only what the input's own pixel data covers.
Bitmap24 decodeBmp(std::span<const std::uint8_t> bytes);

// encodeBmp written to `path` through writeFileAtomically (base/AtomicFile.h): the file is
// replaced whole or, on failure, left as it was; throws as writeFileAtomically does.
void saveBmp(const Bitmap24& bitmap, const std::filesystem::path& path);

// The whole file read and decoded (tests and tools); throws std::runtime_error when it cannot
// be read or decoded.
Bitmap24 loadBmp(const std::filesystem::path& path);

} // namespace kelvo
