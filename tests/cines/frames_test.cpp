// The pictures of a cine, without files: the mean of two raw frames, the layout of scan lines
// and depth indexes, the frame width rule, and the caption and mark on each frame.
#include "cine/CineFrames.h"
#include "imaging/Bicubic.h"
#include "imaging/TextRenderer.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelvo::test {
namespace {

TEST(CineFrames, MeanRoundsExactHalvesToTheEvenNeighbour) {
    struct Case {
        std::uint8_t a, b, mean;
    } cases[] = {{1, 2, 2}, {2, 3, 2},       {254, 255, 254}, {3, 4, 4},    {0, 255, 128},
                 {0, 0, 0}, {255, 255, 255}, {10, 20, 15},    {200, 7, 104}};
    std::vector<std::uint8_t> a, b;
    for (const auto& c : cases) {
        a.push_back(c.a);
        b.push_back(c.b);
    }
    std::vector<std::uint8_t> out(a.size());
    usrednijKlatki(a, b, out);
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i], cases[i].mean) << int{cases[i].a} << " and " << int{cases[i].b};
    EXPECT_THROW(usrednijKlatki(a, b, std::span<std::uint8_t>(out.data(), out.size() - 1)), std::invalid_argument);
}

TEST(CineFrames, WidthIsTheFieldOfViewAtTheDepthScaleOnAMultipleOfFour) {
    struct Case {
        std::int64_t fov, range, width;
    } cases[] = {
        {45, 100, 132}, // 129.6 -> 130, remainder 2 adds 2
        {38, 100, 108}, // 109.44 -> 109, remainder 1 takes 1
        {40, 120, 96},  // exactly 96
        {40, 100, 116}, // 115.2 -> 115, remainder 3 adds 1
        {1, 64, 4},     // 4.5 -> 4: the half goes to the even neighbour
        {3, 64, 16},    // 13.5 -> 14 -> 16
        {5, 64, 24},    // 22.5 -> 22 -> 24
        {42, 50, 244},  // 241.92 -> 242 -> 244
        {0, 100, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.fov) + " mm at " + std::to_string(c.range) + " mm");
        EXPECT_EQ(szerokoscKlatki(c.fov, c.range), c.width);
    }
    EXPECT_FALSE(szerokoscKlatki(40, 0).has_value());
    EXPECT_FALSE(szerokoscKlatki(40, -5).has_value());
}

TEST(CineFrames, WidthsOutsideFourTo4096AreNotAllowed) {
    EXPECT_FALSE(szerokoscDozwolona(0)); // a field of view of 0
    EXPECT_TRUE(szerokoscDozwolona(4));
    EXPECT_EQ(szerokoscKlatki(1422, 100), 4096);
    EXPECT_TRUE(szerokoscDozwolona(4096));
    EXPECT_EQ(szerokoscKlatki(1423, 100), 4100);
    EXPECT_FALSE(szerokoscDozwolona(4100));
    EXPECT_FALSE(szerokoscDozwolona(*szerokoscKlatki(65535, 20)));
    EXPECT_THROW(klatkaCine(std::vector<std::uint8_t>(kCineFrameBytes), false, 0), std::invalid_argument);
    EXPECT_THROW(klatkaCine(std::vector<std::uint8_t>(kCineFrameBytes), false, 4100), std::invalid_argument);
}

TEST(CineFrames, ScanLinesAreColumnsAndDepthIndexesRowsMirroredOrNot) {
    std::vector<std::uint8_t> frame(kCineFrameBytes);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>((i / 256) * 7 + (i % 256) * 3);
    auto sample = [&](int line, int depth) {
        return frame[static_cast<std::size_t>(line) * 256 + static_cast<std::size_t>(depth)];
    };

    const Bitmap24 plain = klatkaDoBitmapy(frame, false);
    const Bitmap24 mirrored = klatkaDoBitmapy(frame, true);
    ASSERT_EQ(plain.width(), 384);
    ASSERT_EQ(plain.height(), 255); // depth index 255 is not shown
    for (int line : {0, 1, 200, 383})
        for (int depth : {0, 17, 254}) {
            const std::uint8_t v = sample(line, depth);
            EXPECT_EQ(plain.at(line, depth), (TRGBStr{v, v, v})) << line << ", " << depth;
            EXPECT_EQ(mirrored.at(383 - line, depth), (TRGBStr{v, v, v})) << line << ", " << depth;
        }
    EXPECT_THROW(klatkaDoBitmapy(std::vector<std::uint8_t>(kCineFrameBytes - 1), false), std::invalid_argument);
}

// The frame of a black cine is the caption and the mark drawn on black, and nothing else.
TEST(CineFrames, CaptionInWhiteAtTheTopLeftAndTheBlueMarkOnTheSideOfScanLineZero) {
    const std::vector<std::uint8_t> black(kCineFrameBytes, 0);
    for (const bool mirrored : {false, true}) {
        SCOPED_TRACE(mirrored ? "mirrored" : "not mirrored");
        const int W = 132;
        Bitmap24 expected(W, kCineFrameHeight);
        drawText(expected, 0, 0, "KORVANTEX KELVO", kDefaultCanvasPointSize, TRGBStr{255, 255, 255}, std::nullopt);
        drawText(expected, mirrored ? W - 16 : 2, 16, "*", 20, TRGBStr{255, 0, 0}, std::nullopt);
        const Bitmap24 frame = klatkaCine(black, mirrored, W);
        EXPECT_EQ(frame.width(), W);
        EXPECT_EQ(frame.height(), 288);
        EXPECT_TRUE(frame == expected);

        // The mark is pure blue where the glyph covers it fully, on its own side.
        int blueLeft = 0, blueRight = 0;
        for (int y = 16; y < 48; ++y)
            for (int x = 0; x < W; ++x)
                if (frame.at(x, y) == TRGBStr{255, 0, 0}) ++(x < W / 2 ? blueLeft : blueRight);
        EXPECT_GT(mirrored ? blueRight : blueLeft, 0);
        EXPECT_EQ(mirrored ? blueLeft : blueRight, 0);
    }
}

// Scan lines 0 to 7 bright, the others dark (the resize to 132 columns samples every third
// line or so): the bright edge is where the mark is.
TEST(CineFrames, MirroringPutsScanLineZeroOnTheRight) {
    std::vector<std::uint8_t> frame(kCineFrameBytes, 0);
    std::fill(frame.begin(), frame.begin() + 8 * 256, std::uint8_t{200});
    const int W = 132, y = 200; // below the caption and the mark
    const Bitmap24 plain = klatkaCine(frame, false, W);
    const Bitmap24 mirrored = klatkaCine(frame, true, W);
    EXPECT_GT(plain.at(0, y).G, 150);
    EXPECT_EQ(plain.at(W - 1, y).G, 0);
    EXPECT_GT(mirrored.at(W - 1, y).G, 150);
    EXPECT_EQ(mirrored.at(0, y).G, 0);
    // The picture under the texts is the grey layout resized.
    const Bitmap24 resized = BicubicResize(klatkaDoBitmapy(frame, true), W, 288);
    for (int x = 0; x < W; ++x)
        EXPECT_EQ(mirrored.at(x, y), resized.at(x, y)) << x;
}

} // namespace
} // namespace kelvo::test
