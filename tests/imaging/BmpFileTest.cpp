// BMP encoding (exact bytes), decoding (both row orders) and rejection of bad input.
#include "imaging/BmpFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

void set32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void set16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A 2 x 2 picture: top row red, green; bottom row blue, white.
Bitmap24 twoByTwo() {
    Bitmap24 b(2, 2);
    b.at(0, 0) = {0, 0, 255};
    b.at(1, 0) = {0, 255, 0};
    b.at(0, 1) = {255, 0, 0};
    b.at(1, 1) = {255, 255, 255};
    return b;
}

TEST(EncodeBmp, ExactBytesOfASmallBitmap) {
    // clang-format off
    const Bytes expected = {
        // BITMAPFILEHEADER: "BM", size 70, reserved, pixel offset 54
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
        // BITMAPINFOHEADER: 40, width 2, height 2 (bottom-up), 1 plane, 24 bits, BI_RGB,
        // image size 16, resolution 0 x 0, no colour table
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0,
        // bottom row first: blue, white, two padding bytes
        255, 0, 0, 255, 255, 255, 0, 0,
        // top row: red, green, padding
        0, 0, 255, 0, 255, 0, 0, 0};
    // clang-format on
    EXPECT_EQ(encodeBmp(twoByTwo()), expected);
}

TEST(EncodeBmp, TheImageSize) {
    const Bytes bytes = encodeBmp(Bitmap24(480, 640));
    EXPECT_EQ(bytes.size(), 54u + 480u * 3u * 640u); // 1440-byte rows need no padding
    EXPECT_EQ(bytes[2] | (bytes[3] << 8) | (bytes[4] << 16), 54 + 480 * 3 * 640);
}

TEST(EncodeBmp, RejectsAnEmptyBitmap) {
    EXPECT_THROW(encodeBmp(Bitmap24()), std::invalid_argument);
}

TEST(DecodeBmp, RoundTrip) {
    std::mt19937 random(5);
    for (const auto& [w, h] :
         std::vector<std::pair<int, int>>{{1, 1}, {2, 2}, {3, 5}, {5, 3}, {132, 288}, {480, 640}}) {
        Bitmap24 b(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                b.at(x, y) = {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                              static_cast<std::uint8_t>(random())};
        EXPECT_EQ(decodeBmp(encodeBmp(b)), b) << w << "x" << h;
    }
}

TEST(DecodeBmp, TopDownRows) {
    Bytes bytes = encodeBmp(twoByTwo());
    set32(bytes, 22, static_cast<std::uint32_t>(-2)); // negative height: the stored rows top-down
    const Bitmap24 b = decodeBmp(bytes);
    ASSERT_EQ(b.height(), 2);
    EXPECT_EQ(b.at(0, 0), (TRGBStr{255, 0, 0})); // the first stored row is now the top
    EXPECT_EQ(b.at(1, 1), (TRGBStr{0, 255, 0}));
}

TEST(DecodeBmp, AcceptsAV5HeaderAndAGapBeforeThePixels) {
    const Bytes plain = encodeBmp(twoByTwo());
    Bytes bytes(plain.begin(), plain.begin() + 54);
    bytes.resize(14 + 124 + 10, 0); // a 124-byte header and 10 unused bytes
    set32(bytes, 14, 124);
    set32(bytes, 10, 14 + 124 + 10);
    set32(bytes, 2, static_cast<std::uint32_t>(bytes.size() + 16));
    bytes.insert(bytes.end(), plain.begin() + 54, plain.end());
    EXPECT_EQ(decodeBmp(bytes), twoByTwo());
}

void expectRejected(const Bytes& bytes, const std::string& fragment) {
    try {
        (void)decodeBmp(bytes);
        ADD_FAILURE() << "accepted; expected an error mentioning \"" << fragment << "\"";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
}

TEST(DecodeBmp, RejectsWrongOrTruncatedInput) {
    const Bytes good = encodeBmp(twoByTwo());
    expectRejected({}, "too short");
    expectRejected(Bytes(good.begin(), good.begin() + 10), "too short");
    expectRejected(Bytes(good.begin(), good.begin() + 30), "truncated");
    expectRejected(Bytes(good.begin(), good.end() - 1), "truncated");
    {
        Bytes b = good;
        set32(b, 2, 60); // the file size says the pixel data is cut short
        expectRejected(b, "bfSize");
    }
    {
        Bytes b(good.begin(), good.end() - 1);
        set32(b, 2, 0); // no file size to catch it: the pixel data itself is short
        expectRejected(b, "truncated");
    }
    {
        Bytes b = good;
        b[0] = 'X';
        expectRejected(b, "\"BM\"");
    }
    {
        Bytes b = good;
        set16(b, 28, 32);
        expectRejected(b, "32 bits per pixel");
    }
    {
        Bytes b = good;
        set16(b, 28, 8);
        expectRejected(b, "8 bits per pixel");
    }
    {
        Bytes b = good;
        set32(b, 30, 1); // BI_RLE8
        expectRejected(b, "compression");
    }
    {
        Bytes b = good;
        set16(b, 26, 2);
        expectRejected(b, "planes");
    }
    {
        Bytes b = good;
        set32(b, 14, 12);
        expectRejected(b, "OS/2");
    }
    {
        Bytes b = good;
        set32(b, 14, 41);
        expectRejected(b, "header size");
    }
    {
        Bytes b = good;
        set32(b, 18, 0);
        expectRejected(b, "width");
    }
    {
        Bytes b = good;
        set32(b, 18, 0x80000000u);
        expectRejected(b, "width");
    }
    {
        Bytes b = good;
        set32(b, 22, 0);
        expectRejected(b, "height 0");
    }
    {
        Bytes b = good;
        set32(b, 22, 0x80000000u); // INT32_MIN: top-down, 2^31 rows
        expectRejected(b, "height");
    }
    {
        Bytes b = good;
        set32(b, 10, 20); // pixels inside the headers
        expectRejected(b, "offset");
    }
    {
        Bytes b = good;
        set32(b, 10, 0xFFFFFFF0u);
        set32(b, 2, 0);
        expectRejected(b, "truncated");
    }
    {
        Bytes b = good;
        set32(b, 34, 15);
        expectRejected(b, "biSizeImage");
    }
    {
        Bytes b = good;
        set32(b, 18, 0x7FFFFFFF);
        set32(b, 22, 0x7FFFFFFF);
        set32(b, 34, 0);
        set32(b, 2, 0);
        expectRejected(b, "truncated");
    }
}

TEST(DecodeBmp, NoOutOfBoundsReadsOnMutatedInput) {
    // A small in-test fuzz: every prefix, and random byte changes in the headers.
    const Bytes good = encodeBmp(twoByTwo());
    for (std::size_t n = 0; n < good.size(); ++n) {
        const Bytes prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_THROW((void)decodeBmp(prefix), std::runtime_error) << n;
    }
    std::mt19937 random(9);
    for (int round = 0; round < 20000; ++round) {
        Bytes b = good;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c)
            b[random() % 54] = static_cast<std::uint8_t>(random());
        if (random() % 2) b.resize(random() % (b.size() + 1));
        try {
            const Bitmap24 bitmap = decodeBmp(b);
            EXPECT_LE(static_cast<std::size_t>(bitmap.width()) * static_cast<std::size_t>(bitmap.height()) * 3,
                      b.size());
        } catch (const std::runtime_error&) {
        }
    }
}

TEST(SaveBmp, WritesAFileThatLoadsBack) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("kelvo-bmp-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    const auto file = folder / "7.bmp";
    saveBmp(twoByTwo(), file);
    EXPECT_EQ(std::filesystem::file_size(file), 70u);
    EXPECT_EQ(loadBmp(file), twoByTwo());
    std::filesystem::remove_all(folder);
}

TEST(SaveBmp, MissingFolderThrowsNamingTheFile) {
    const auto file = std::filesystem::temp_directory_path() / "kelvo-no-such-folder-x9" / "1.bmp";
    try {
        saveBmp(twoByTwo(), file);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("1.bmp"), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace kelvo
