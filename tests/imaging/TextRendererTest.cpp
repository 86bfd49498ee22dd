// Text: sizes as VCL maps points to pixels, widths, backgrounds, blending and clipping.
#include "imaging/TextRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>

namespace kelvo {
namespace {

const TRGBStr kBlack{0, 0, 0};
const TRGBStr kWhite{255, 255, 255};
const TRGBStr kGrey{128, 128, 128};
const TRGBStr kBlue{255, 0, 0};

// The bounding box of the pixels that differ from `background`; false when there are none.
struct Box {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
};
bool inkBox(const Bitmap24& b, TRGBStr background, Box& box) {
    bool any = false;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (!(b.at(x, y) == background)) {
                any = true;
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return any;
}

TEST(TextRenderer, PointsToPixelsAsVclAt96Dpi) {
    EXPECT_EQ(pixelsForPoints(16), 21);
    EXPECT_EQ(pixelsForPoints(24), 32);
    EXPECT_EQ(pixelsForPoints(20), 27);
    EXPECT_EQ(pixelsForPoints(8), 11);
    EXPECT_THROW(pixelsForPoints(0), std::invalid_argument);
    EXPECT_THROW(textWidth("x", -3), std::invalid_argument);
}

TEST(TextRenderer, CellHeights) {
    // The em square is pixelsForPoints(pt); the cell adds the font's ascent above and descent
    // below it (DejaVu Sans: 1901 + 483 units of 2048).
    EXPECT_EQ(textHeight(16), 24);
    EXPECT_EQ(textHeight(24), 38);
    EXPECT_GE(textHeight(16), pixelsForPoints(16));
    EXPECT_LT(textAscent(16), textHeight(16));
}

TEST(TextRenderer, CapitalsAreAsTallAsTheEmSuggests) {
    // DejaVu Sans capitals are 0.73 em: at 16 pt (21 px em) about 15 px of ink.
    Bitmap24 b(100, 40, kBlack);
    drawText(b, 0, 0, "H", 16, kWhite, std::nullopt);
    Box box;
    ASSERT_TRUE(inkBox(b, kBlack, box));
    EXPECT_GE(box.bottom - box.top + 1, 14);
    EXPECT_LE(box.bottom - box.top + 1, 17);
    EXPECT_EQ(box.bottom, textAscent(16) - 1); // sits on the baseline
}

TEST(TextRenderer, Widths) {
    EXPECT_GT(textWidth("W", 16), textWidth("i", 16));
    EXPECT_EQ(textWidth("", 16), 0);
    EXPECT_EQ(textWidth("Wi", 16), textWidth("W", 16) + textWidth("i", 16)); // no kerning
    EXPECT_GT(textWidth("KORVANTEX Kelvo", 24), textWidth("KORVANTEX Kelvo", 16));
    EXPECT_LT(textWidth("KORVANTEX Kelvo", 16), 240); // leaves room for the date on the right
}

TEST(TextRenderer, SolidBackgroundFillsItsCell) {
    const TRGBStr kOlive{10, 200, 30};
    Bitmap24 b(200, 60, kOlive);
    const std::string text = "D0=35   L0=12";
    drawText(b, 10, 5, text, 16, kWhite, kBlack);
    const int w = textWidth(text, 16);
    const int h = textHeight(16);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const bool inCell = x >= 10 && x < 10 + w && y >= 5 && y < 5 + h;
            const TRGBStr p = b.at(x, y);
            if (!inCell)
                EXPECT_EQ(p, kOlive) << x << "," << y;
            else
                EXPECT_TRUE(p.R == p.G && p.G == p.B) << x << "," << y; // black, white or between
        }
    // Inside the three spaces: pure background.
    EXPECT_EQ(b.at(10 + textWidth("D0=35 ", 16), 5 + h / 2), kBlack);
}

TEST(TextRenderer, ClearBackgroundLeavesPixelsBetweenStrokes) {
    Bitmap24 b(100, 50, kGrey);
    drawText(b, 4, 4, "O", 24, kBlue, std::nullopt);
    Box box;
    ASSERT_TRUE(inkBox(b, kGrey, box));
    // The hole of the O keeps the background, as does everything outside the ink.
    EXPECT_EQ(b.at((box.left + box.right) / 2, (box.top + box.bottom) / 2), kGrey);
    EXPECT_EQ(b.at(box.left - 1, box.top), kGrey);
    // Somewhere the stroke is fully covered and exactly blue.
    bool solid = false;
    for (int x = box.left; x <= box.right; ++x)
        solid = solid || b.at(x, (box.top + box.bottom) / 2) == kBlue;
    EXPECT_TRUE(solid);
}

TEST(TextRenderer, AntialiasingBlendsOverWhatIsThere) {
    Bitmap24 b(60, 40, TRGBStr{0, 0, 200});
    drawText(b, 2, 2, "/", 16, TRGBStr{0, 200, 0}, std::nullopt);
    bool mixed = false;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const TRGBStr p = b.at(x, y);
            EXPECT_EQ(p.B, 0);
            EXPECT_NEAR(static_cast<int>(p.R) + static_cast<int>(p.G), 200, 1); // a blend of the two
            if (p.R > 0 && p.R < 200 && p.G > 0 && p.G < 200) mixed = true;
        }
    EXPECT_TRUE(mixed); // edge pixels are mixtures of text and background
}

TEST(TextRenderer, RightAlignedAt478EndsAtOrBefore478) {
    for (const std::string text : {"12.05.2023 14:03:22", "2023-05-12 09:07", "Wy", "KORVANTEX Kelvo"}) {
        Bitmap24 b(480, 40, kBlack);
        const int w = textWidth(text, 16);
        drawText(b, 478 - w, 2, text, 16, kWhite, std::nullopt);
        Box box;
        ASSERT_TRUE(inkBox(b, kBlack, box)) << text;
        EXPECT_LE(box.right, 478) << text;
        EXPECT_GE(box.right, 478 - 4) << text;
    }
}

TEST(TextRenderer, ClippedAtTheEdges) {
    Bitmap24 b(30, 10, kBlack);
    drawText(b, -15, -8, "KORVANTEX", 24, kWhite, kGrey);
    drawText(b, 25, 5, "W", 24, kWhite, kGrey);
    drawText(b, INT_MAX - 3, INT_MAX - 3, "WWWW", 16, kWhite, kGrey);
    drawText(b, INT_MIN, INT_MIN, "WWWW", 16, kWhite, kGrey);
    EXPECT_NE(b.at(0, 0), kBlack);
    EXPECT_NE(b.at(29, 9), kBlack);
}

TEST(TextRenderer, Utf8AndPolishCharacters) {
    // Texts come decoded from Windows-1250: Polish letters are ordinary glyphs.
    EXPECT_GT(textWidth("\xC5\x81\xC3\xB3"
                        "d\xC5\xBA",
                        16),
              0); // "Łódź"
    EXPECT_EQ(textWidth("\xC5\x81", 16), textWidth("\xC5\x81", 16));
    EXPECT_EQ(textWidth("\xFF", 16), textWidth("\xEF\xBF\xBD", 16));         // invalid byte = U+FFFD
    EXPECT_EQ(textWidth("\xC5", 16), textWidth("\xEF\xBF\xBD", 16));         // truncated sequence
    EXPECT_EQ(textWidth("\xC0\x80", 16), 2 * textWidth("\xEF\xBF\xBD", 16)); // overlong NUL
    Bitmap24 b(100, 40, kBlack);
    drawText(b, 0, 0,
             "\xC5\x81\xC3\xB3"
             "d\xC5\xBA",
             16, kWhite, std::nullopt);
    Box box;
    EXPECT_TRUE(inkBox(b, kBlack, box));
}

TEST(TextRenderer, DefaultCanvasSize) {
    EXPECT_EQ(kDefaultCanvasPointSize, 8);
    EXPECT_EQ(pixelsForPoints(kDefaultCanvasPointSize), 11);
    EXPECT_GT(textWidth("KORVANTEX KELVO", kDefaultCanvasPointSize), 0);
    EXPECT_LT(textWidth("KORVANTEX KELVO", kDefaultCanvasPointSize), 132); // fits the narrowest cine frame
}

} // namespace
} // namespace kelvo
