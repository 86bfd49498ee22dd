// BicubicResize against the worked examples, bit for bit.
#include "imaging/Bicubic.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

namespace kelvo {
namespace {

TRGBStr grey(int v) {
    const auto b = static_cast<std::uint8_t>(v);
    return {b, b, b};
}

// A one-row bitmap from grey values.
Bitmap24 rowOf(const std::vector<int>& values) {
    Bitmap24 b(static_cast<int>(values.size()), 1);
    for (std::size_t i = 0; i < values.size(); ++i)
        b.at(static_cast<int>(i), 0) = grey(values[i]);
    return b;
}
Bitmap24 columnOf(const std::vector<int>& values) {
    Bitmap24 b(1, static_cast<int>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i)
        b.at(0, static_cast<int>(i)) = grey(values[i]);
    return b;
}
std::vector<int> redOfRow(const Bitmap24& b, int y = 0) {
    std::vector<int> out;
    for (int x = 0; x < b.width(); ++x)
        out.push_back(b.at(x, y).R);
    return out;
}
std::vector<int> redOfColumn(const Bitmap24& b, int x = 0) {
    std::vector<int> out;
    for (int y = 0; y < b.height(); ++y)
        out.push_back(b.at(x, y).R);
    return out;
}

Bitmap24 randomBitmap(int w, int h, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    Bitmap24 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.at(x, y) = {static_cast<std::uint8_t>(byte(random)), static_cast<std::uint8_t>(byte(random)),
                          static_cast<std::uint8_t>(byte(random))};
    return b;
}

TEST(BicubicKernel, KnownValues) {
    EXPECT_EQ(bicubicKernel(0.0), 1.0);
    EXPECT_EQ(bicubicKernel(1.0), 0.0);
    EXPECT_EQ(bicubicKernel(2.0), 0.0);
    EXPECT_EQ(bicubicKernel(0.5), 0.625);
    EXPECT_EQ(bicubicKernel(1.5), -0.125);
}

TEST(BicubicResize, SameSizeIsIdentity) {
    const Bitmap24 source = randomBitmap(37, 23, 1);
    EXPECT_EQ(BicubicResize(source, 37, 23), source);
}

TEST(BicubicResize, DoublingARow) {
    // 0, 0, 100, 100 to eight: half-way 112.5 rounds to 112 (even), the last two use the
    // centre sample for taps beyond the edge.
    const Bitmap24 result = BicubicResize(rowOf({0, 0, 100, 100}), 8, 1);
    EXPECT_EQ(redOfRow(result), (std::vector<int>{0, 0, 0, 50, 100, 112, 100, 100}));
}

TEST(BicubicResize, DoublingTheBlackTopOfAWhiteScan) {
    // The image picture with a white scan: two black rows, then 255.
    std::vector<int> column(256, 255);
    column[0] = 0;
    column[1] = 0;
    const Bitmap24 result = BicubicResize(columnOf(column), 1, 512);
    const std::vector<int> values = redOfColumn(result);
    EXPECT_EQ(values[0], 0);
    EXPECT_EQ(values[1], 0);
    EXPECT_EQ(values[2], 0);
    EXPECT_EQ(values[3], 128); // exact 127.5, to even
    for (int y = 4; y < 512; ++y)
        EXPECT_EQ(values[static_cast<std::size_t>(y)], 255) << "row " << y;
}

TEST(BicubicResize, DoublingAStep) {
    // A step from 0 to 100 between samples 3 and 4: around it 0 (clipped from -12.5), 0, 50, 100,
    // 112, 100.
    const Bitmap24 result = BicubicResize(rowOf({0, 0, 0, 0, 100, 100, 100, 100}), 16, 1);
    const std::vector<int> values = redOfRow(result);
    EXPECT_EQ(std::vector<int>(values.begin() + 5, values.begin() + 11), (std::vector<int>{0, 0, 50, 100, 112, 100}));
    EXPECT_EQ(values, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 50, 100, 112, 100, 100, 100, 100, 100, 100}));
}

TEST(BicubicResize, GreyStaysGrey) {
    Bitmap24 source(48, 25);
    std::mt19937 random(7);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            source.at(x, y) = grey(static_cast<int>(random() % 256));
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{48, 50}, {96, 29}, {31, 17}, {130, 77}}) {
        const Bitmap24 result = BicubicResize(source, w, h);
        ASSERT_EQ(result.width(), w);
        ASSERT_EQ(result.height(), h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const TRGBStr p = result.at(x, y);
                ASSERT_TRUE(p.R == p.G && p.G == p.B) << x << "," << y;
            }
    }
}

TEST(BicubicResize, ChannelsKeepTheirPlaces) {
    Bitmap24 source(4, 4, TRGBStr{10, 20, 30}); // B, G, R
    const Bitmap24 result = BicubicResize(source, 9, 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(result.at(x, y), (TRGBStr{10, 20, 30}));
}

// A straightforward transcription of the documented algorithm, without any hoisting, as the
// reference for the optimised function on sizes with inexact scale factors.
Bitmap24 referenceResize(const Bitmap24& s, int W, int H) {
    const int Ws = s.width();
    const int Hs = s.height();
    const double fx = static_cast<double>(Ws) / W;
    const double fy = static_cast<double>(Hs) / H;
    Bitmap24 d(W, H);
    for (int py = 0; py < H; ++py)
        for (int px = 0; px < W; ++px) {
            const double sx = px * fx;
            const int ix = static_cast<int>(sx);
            const double sy = py * fy;
            const int iy = static_cast<int>(sy);
            double r = 0, g = 0, b = 0;
            for (int m = iy - 1; m <= iy + 2; ++m)
                for (int n = ix - 1; n <= ix + 2; ++n) {
                    const double wx = bicubicKernel(std::fabs(sx - n));
                    const double wy = bicubicKernel(std::fabs(sy - m));
                    const int col = (n >= 0 && n <= Ws - 1) ? n : ix;
                    const int row = (m >= 0 && m <= Hs - 1) ? m : iy;
                    const TRGBStr p = s.at(col, row);
                    r = r + (p.R * wx) * wy;
                    g = g + (p.G * wx) * wy;
                    b = b + (p.B * wx) * wy;
                }
            auto clip = [](double v) {
                const double q = std::nearbyint(v);
                return static_cast<std::uint8_t>(q > 255 ? 255 : (q < 0 ? 0 : q));
            };
            d.at(px, py) = {clip(b), clip(g), clip(r)};
        }
    return d;
}

TEST(BicubicResize, MatchesTheReferenceOnTheImageAndCineSizes) {
    const Bitmap24 image = randomBitmap(480, 256, 11);
    EXPECT_EQ(BicubicResize(image, 480, 512), referenceResize(image, 480, 512));
    const Bitmap24 cine = randomBitmap(384, 255, 12);
    EXPECT_EQ(BicubicResize(cine, 432, 288), referenceResize(cine, 432, 288));
    EXPECT_EQ(BicubicResize(cine, 132, 288), referenceResize(cine, 132, 288));
    EXPECT_EQ(BicubicResize(cine, 7, 5), referenceResize(cine, 7, 5)); // shrinking: no prefilter
}

TEST(BicubicResize, IgnoresTheCallersRoundingMode) {
    const Bitmap24 source = rowOf({0, 0, 100, 100});
    const int saved = std::fegetround();
    std::fesetround(FE_UPWARD);
    const Bitmap24 result = BicubicResize(source, 8, 1);
    const int during = std::fegetround();
    std::fesetround(saved);
    EXPECT_EQ(during, FE_UPWARD);
    EXPECT_EQ(redOfRow(result), (std::vector<int>{0, 0, 0, 50, 100, 112, 100, 100}));
}

TEST(BicubicResize, SourceIsUntouched) {
    const Bitmap24 source = randomBitmap(10, 10, 3);
    const Bitmap24 copy = source;
    (void)BicubicResize(source, 20, 5);
    EXPECT_EQ(source, copy);
}

TEST(BicubicResize, RejectsSizesThatAreNotPositive) {
    const Bitmap24 source(4, 4);
    EXPECT_THROW(BicubicResize(source, 0, 4), std::invalid_argument);
    EXPECT_THROW(BicubicResize(source, 4, 0), std::invalid_argument);
    EXPECT_THROW(BicubicResize(source, -1, 4), std::invalid_argument);
    EXPECT_THROW(BicubicResize(Bitmap24(), 4, 4), std::invalid_argument);
}

TEST(BicubicResize, OnePixelSources) {
    const Bitmap24 source(1, 1, grey(77));
    const Bitmap24 result = BicubicResize(source, 5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(result.at(x, y), grey(77));
}

} // namespace
} // namespace kelvo
