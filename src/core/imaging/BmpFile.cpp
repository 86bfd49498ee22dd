// BMP files: encoder (as VCL's TBitmap.SaveToFile writes a pf24bit bitmap) and a strict reader.
#include "imaging/BmpFile.h"

#include "base/AtomicFile.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <string>

namespace kelvo {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFFu);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFFu);
}
void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
}

std::uint32_t get16(std::span<const std::uint8_t> in, std::size_t at) {
    return static_cast<std::uint32_t>(in[at]) | (static_cast<std::uint32_t>(in[at + 1]) << 8);
}
std::uint32_t get32(std::span<const std::uint8_t> in, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
    return value;
}
std::int32_t getSigned32(std::span<const std::uint8_t> in, std::size_t at) {
    const std::uint32_t u = get32(in, at);
    // Two's complement without implementation-defined conversions.
    return u <= 0x7FFFFFFFu ? static_cast<std::int32_t>(u)
                            : static_cast<std::int32_t>(static_cast<std::int64_t>(u) - 0x100000000LL);
}

// Bytes of one 24-bit row padded to a multiple of 4.
std::uint64_t rowStride(std::uint64_t width) {
    return (width * 3 + 3) / 4 * 4;
}

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("not a readable 24-bit BMP: " + what);
}

} // namespace

std::vector<std::uint8_t> encodeBmp(const Bitmap24& bitmap) {
    const int width = bitmap.width();
    const int height = bitmap.height();
    if (width <= 0 || height <= 0) throw std::invalid_argument("encodeBmp: a BMP file needs at least one pixel");
    const std::uint64_t stride = rowStride(static_cast<std::uint64_t>(width));
    const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(height);
    const std::uint64_t fileSize = kFileHeaderSize + kInfoHeaderSize + imageSize;
    if (fileSize > std::numeric_limits<std::uint32_t>::max())
        throw std::invalid_argument("encodeBmp: the bitmap is too large for a BMP file");

    std::vector<std::uint8_t> out(static_cast<std::size_t>(fileSize), 0);
    // BITMAPFILEHEADER
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<std::uint32_t>(fileSize));
    // bytes 6..9: bfReserved1, bfReserved2 = 0
    put32(out, 10, static_cast<std::uint32_t>(kFileHeaderSize + kInfoHeaderSize));
    // BITMAPINFOHEADER
    put32(out, 14, static_cast<std::uint32_t>(kInfoHeaderSize));
    put32(out, 18, static_cast<std::uint32_t>(width));
    put32(out, 22, static_cast<std::uint32_t>(height)); // positive: rows bottom-up
    put16(out, 26, 1);                                  // biPlanes
    put16(out, 28, 24);                                 // biBitCount
    put32(out, 30, kBiRgb);                             // biCompression
    put32(out, 34, static_cast<std::uint32_t>(imageSize));
    // bytes 38..53: biXPelsPerMeter, biYPelsPerMeter, biClrUsed, biClrImportant = 0

    std::size_t at = kFileHeaderSize + kInfoHeaderSize;
    for (int y = height - 1; y >= 0; --y) {
        std::size_t p = at;
        for (const TRGBStr& pixel : bitmap.row(y)) {
            out[p++] = pixel.B;
            out[p++] = pixel.G;
            out[p++] = pixel.R;
        }
        at += static_cast<std::size_t>(stride); // padding bytes stay 0
    }
    return out;
}

Bitmap24 decodeBmp(std::span<const std::uint8_t> bytes) {
    const std::uint64_t total = bytes.size();
    if (total < kFileHeaderSize + 4) fail("only " + std::to_string(total) + " bytes, too short for the file header");
    if (bytes[0] != 'B' || bytes[1] != 'M') fail("it does not start with \"BM\"");

    const std::uint64_t fileSize = get32(bytes, 2);
    const std::uint64_t pixelOffset = get32(bytes, 10);
    const std::uint64_t infoSize = get32(bytes, 14);
    if (infoSize == 12) fail("OS/2 core headers (BITMAPCOREHEADER) are not supported");
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
        fail("unknown info header size " + std::to_string(infoSize));
    if (total < kFileHeaderSize + infoSize)
        fail("truncated: the " + std::to_string(infoSize) + "-byte info header does not fit in " +
             std::to_string(total) + " bytes");

    const std::int64_t width = getSigned32(bytes, 18);
    const std::int64_t signedHeight = getSigned32(bytes, 22);
    const std::uint32_t planes = get16(bytes, 26);
    const std::uint32_t bitCount = get16(bytes, 28);
    const std::uint32_t compression = get32(bytes, 30);
    const std::uint64_t sizeImage = get32(bytes, 34);

    if (planes != 1) fail(std::to_string(planes) + " planes instead of 1");
    if (bitCount != 24) fail(std::to_string(bitCount) + " bits per pixel instead of 24");
    if (compression != kBiRgb) fail("compression " + std::to_string(compression) + " instead of none (BI_RGB)");
    if (width <= 0) fail("width " + std::to_string(width) + " is not positive");
    if (signedHeight == 0) fail("height 0");
    const bool topDown = signedHeight < 0;
    const std::int64_t height = topDown ? -signedHeight : signedHeight;
    if (height > std::numeric_limits<int>::max()) fail("height " + std::to_string(signedHeight) + " out of range");

    const std::uint64_t stride = rowStride(static_cast<std::uint64_t>(width));
    const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(height); // < 2^31 * 2^33: no overflow
    if (pixelOffset < kFileHeaderSize + infoSize)
        fail("pixel data offset " + std::to_string(pixelOffset) + " lies inside the headers");
    if (sizeImage != 0 && sizeImage < imageSize)
        fail("biSizeImage " + std::to_string(sizeImage) + " is smaller than the " + std::to_string(imageSize) +
             " bytes of a " + std::to_string(width) + " x " + std::to_string(height) + " picture");
    if (fileSize != 0 && fileSize < pixelOffset + imageSize)
        fail("bfSize " + std::to_string(fileSize) + " is smaller than the pixel data's end at " +
             std::to_string(pixelOffset + imageSize));
    if (pixelOffset > total || imageSize > total - pixelOffset)
        fail("truncated: the pixel data needs " + std::to_string(imageSize) + " bytes from offset " +
             std::to_string(pixelOffset) + ", the file has " + std::to_string(total) + " bytes");

    Bitmap24 bitmap(static_cast<int>(width), static_cast<int>(height));
    const int h = static_cast<int>(height);
    for (int fileRow = 0; fileRow < h; ++fileRow) {
        const int y = topDown ? fileRow : h - 1 - fileRow;
        std::size_t p = static_cast<std::size_t>(pixelOffset + static_cast<std::uint64_t>(fileRow) * stride);
        for (TRGBStr& pixel : bitmap.row(y)) {
            pixel.B = bytes[p++];
            pixel.G = bytes[p++];
            pixel.R = bytes[p++];
        }
    }
    return bitmap;
}

void saveBmp(const Bitmap24& bitmap, const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = encodeBmp(bitmap);
    writeFileAtomically(path, bytes);
}

Bitmap24 loadBmp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + pathToUtf8(path) + " for reading");
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw std::runtime_error("cannot read " + pathToUtf8(path));
    try {
        return decodeBmp(bytes);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(pathToUtf8(path) + ": " + e.what());
    }
}

} // namespace kelvo
