// The annotated picture of one image: layout of the raw bytes, the bands and the scan area, the
// measurements with their colours and captions, the texts of the bands, and the swap mark.
#include "RenderTestSupport.h"

#include "imaging/Bicubic.h"
#include "imaging/TextRenderer.h"
#include "render/ImageRenderer.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kelvo::test {
namespace {

constexpr TRGBStr kStarBlue{255, 0, 0}; // B, G, R

// A header without measurements and without a description (30 spaces), range 4 (100 mm,
// offset 32), zoom 100, focus 40, frequency code 1, 12.02.2012 12:57:33, slot 2.
TImageData plainHeader() {
    TImageData h;
    h.ID = 2;
    h.CF_config_zakres = 4;
    h.CF_config_focus = 40;
    h.CF_config_CZESTOTLIWOSC = 1;
    h.CF_config_YY = 12;
    h.CF_config_MM = 2;
    h.CF_config_DD = 12;
    h.CF_config_HH = 12;
    h.CF_config_MIN = 57;
    h.CF_config_SEC = 33;
    h.CF_CONFIG_ZOOM = 100;
    h.CF_OPIS.fill(' ');
    return h;
}

void setText(std::array<std::uint8_t, 12>& field, const std::string& s) {
    field.fill(0);
    std::copy(s.begin(), s.end(), field.begin());
}
void setText(std::array<std::uint8_t, 30>& field, const std::string& s) {
    field.fill(' ');
    std::copy(s.begin(), s.end(), field.begin());
}

ExpectedText white16(int x, int y, const std::string& text) {
    return solidText(x, y, text, 16, kWhite, kBlack);
}

// The texts of the two bands for plainHeader(), each where it belongs.
std::vector<ExpectedText> bandTexts() {
    const std::string time = "12.02.2012 12:57:33";
    return {white16(2, 2, "KORVANTEX Kelvo"), white16(478 - textWidth(time, 16), 2, time),
            white16(2, 544, "Dep.100mm"),     white16(2, 576, "Foc.40mm"),
            white16(256, 544, "Freq.5.0MHz"), white16(256, 576, "ID 3")};
}

TEST(ImageRenderer, RawBytesRunUpwardLineByColumnWithTheTopTwoRowsBlack) {
    std::vector<std::uint8_t> raw(kRawImageBytes);
    for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<std::uint8_t>((i / 256) * 7 + (i % 256) * 3);
    const Bitmap24 picture = rawPicture(raw);
    ASSERT_EQ(picture.width(), 480);
    ASSERT_EQ(picture.height(), 256);
    for (int x : {0, 1, 200, 479})
        for (int c : {0, 1, 100, 253}) {
            const auto v = raw[static_cast<std::size_t>(x) * 256 + static_cast<std::size_t>(c)];
            EXPECT_EQ(picture.at(x, 255 - c), grey(v)) << x << ", " << c;
        }
    for (int x = 0; x < 480; ++x) {
        EXPECT_EQ(picture.at(x, 0), kBlack);
        EXPECT_EQ(picture.at(x, 1), kBlack);
    }
    EXPECT_THROW(rawPicture(std::vector<std::uint8_t>(kRawImageBytes - 1)), std::invalid_argument);
    EXPECT_THROW(renderImage(std::vector<std::uint8_t>(kRawImageBytes + 1), plainHeader(), {}), std::invalid_argument);
}

TEST(ImageRenderer, WhiteScanGivesBlackBandsAGreyRowAndAWhiteScanArea) {
    const Bitmap24 picture = renderImage(uniformRaw(255), plainHeader(), {});
    ASSERT_EQ(picture.width(), 480);
    ASSERT_EQ(picture.height(), 640);

    // Exact everywhere but the text cells: black bands, rows 32..34 black (the black raw rows 0
    // and 1 after resampling), row 35 mid-grey, white down to row 542, black from 543.
    Bitmap24 expected(480, 640, kBlack);
    for (int x = 0; x < 480; ++x) {
        expected.at(x, 35) = grey(128);
        for (int y = 36; y <= 542; ++y) expected.at(x, y) = kWhite;
    }
    std::vector<ExpectedText> texts = bandTexts();
    texts.push_back(clearText(16, 40, "*", 24, kStarBlue, kWhite));
    std::vector<Rect> cells;
    for (const auto& t : texts) cells.push_back(t.cell);
    EXPECT_TRUE(equalOutside(picture, expected, cells));
    // The text cells by region.
    for (const auto& t : texts) EXPECT_TRUE(showsText(picture, t)) << t.cell.x << ", " << t.cell.y;
}

TEST(ImageRenderer, ScanAreaIsTheResampledRawPictureWithoutItsLastRow) {
    // A golden built independently: the raw layout, then the resampler, then rows 0..510 at 32.
    std::vector<std::uint8_t> raw(kRawImageBytes);
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<std::uint8_t>(((i / 256) * 5 + (i % 256) * (i % 7)) & 0xFF);
    Bitmap24 layout(480, 256, kBlack);
    for (int x = 0; x < 480; ++x)
        for (int c = 0; c < 254; ++c) layout.at(x, 255 - c) = grey(raw[static_cast<std::size_t>(x * 256 + c)]);
    const Bitmap24 scaled = BicubicResize(layout, 480, 512);
    Bitmap24 expected(480, 640, kBlack);
    for (int y = 0; y <= 510; ++y)
        for (int x = 0; x < 480; ++x) expected.at(x, y + 32) = scaled.at(x, y);

    const Bitmap24 picture = renderImage(raw, plainHeader(), {});
    std::vector<Rect> cells;
    for (const auto& t : bandTexts()) cells.push_back(t.cell);
    cells.push_back(Rect{16, 40, textWidth("*", 24), textHeight(24)});
    EXPECT_TRUE(equalOutside(picture, expected, cells));
}

TEST(ImageRenderer, MeasurementColours) {
    EXPECT_EQ(dajKolorPomiaru(0), rgb(0, 255, 0));
    EXPECT_EQ(dajKolorPomiaru(1), rgb(255, 0, 0));
    EXPECT_EQ(dajKolorPomiaru(2), rgb(255, 191, 0));
    EXPECT_EQ(dajKolorPomiaru(3), rgb(0, 255, 255));
}

// Where scanner point (x, y) lies on the output picture for range 4 (offset 32): column 2x,
// row 2y - 64 of the scaled picture, 32 rows further down.
int column(int x) { return 2 * x; }
int row(int y) { return 2 * y - 64 + 32; }

TEST(ImageRenderer, EachMeasurementIsDrawnAndCaptionedInItsColour) {
    // Four vertical measurements at x = 40, 90, 140, 190 from y = 138 to 168: depth
    // floor(0.390625 x 90) = 35, length floor((30 + 1) x 0.390625) = 12.
    TImageData h = plainHeader();
    for (int k = 0; k < 4; ++k)
        h.g_Dane_wymiarowania[static_cast<std::size_t>(k)] = {138, 40 + 50 * k, 168, 40 + 50 * k};
    const Bitmap24 picture = renderImage(uniformRaw(255), h, {});
    const int captionX[] = {2, 202, 2, 202}, captionY[] = {484, 484, 514, 514};
    for (int k = 0; k < 4; ++k) {
        const TRGBStr colour = dajKolorPomiaru(k);
        const int x = column(40 + 50 * k), y1 = row(138), y2 = row(168);
        // The crosses: arms from 3 to 8 pixels away, pen 3; the centre stays free.
        for (int d : {3, 5, 8}) {
            EXPECT_EQ(picture.at(x - d, y1), colour) << k << " left arm " << d;
            EXPECT_EQ(picture.at(x + d, y2), colour) << k << " right arm " << d;
            EXPECT_EQ(picture.at(x - d, y1 + 1), colour) << k << " pen 3";
        }
        EXPECT_EQ(picture.at(x - 10, y1), kWhite) << k << " arm ends at 8";
        // Open centres; only the line passes through them.
        EXPECT_EQ(picture.at(x + 1, y1 + 1), kWhite) << k << " open centre";
        EXPECT_EQ(picture.at(x - 1, y2 + 1), kWhite) << k << " open centre";
        // The line between them, pen 1.
        EXPECT_EQ(picture.at(x, (y1 + y2) / 2), colour) << k << " line";
        EXPECT_EQ(picture.at(x + 1, (y1 + y2) / 2), kWhite) << k << " line is one pixel wide";
        EXPECT_TRUE(showsText(picture, solidText(captionX[k], captionY[k], "D" + std::to_string(k) + "=35   L" +
                                                                                std::to_string(k) + "=12",
                                                 16, colour, kBlack)))
            << k;
    }
}

TEST(ImageRenderer, CaptionsKeepTheirPlacesWhenEarlierMeasurementsAreAbsent) {
    TImageData h = plainHeader();
    h.g_Dane_wymiarowania[0] = {138, 0, 168, 100}; // x1 = 0: absent
    h.g_Dane_wymiarowania[1] = {0, 0, 0, 0};       // absent
    h.g_Dane_wymiarowania[2] = {138, 60, 168, 60}; // present: its caption at (2, 482) of the scan
    const Bitmap24 picture = renderImage(uniformRaw(255), h, {});
    EXPECT_TRUE(showsText(picture, solidText(2, 514, "D2=35   L2=12", 16, dajKolorPomiaru(2), kBlack)));
    // The places of captions 0, 1 and 3 are plain scan, and measurement 0 left no mark.
    EXPECT_TRUE(filledWith(picture, Rect{0, 484, 480, 24}, kWhite));
    EXPECT_TRUE(filledWith(picture, Rect{202, 514, 278, 24}, kWhite));
    EXPECT_EQ(picture.at(column(60) - 5, row(168)), dajKolorPomiaru(2));
    EXPECT_EQ(picture.at(column(100) - 5, row(168)), kWhite);
    EXPECT_EQ(picture.at(column(0) + 5, row(138)), kWhite);
}

TEST(ImageRenderer, IdentificationLineWithAndWithoutTheUploadHook) {
    TImageData h = plainHeader();
    setText(h.CF_RFID, "E20000171987");
    setText(h.CF_OPIS, "Liver \xB3\xF3" "d\x9F"); // Windows-1250: "Liver łódź"
    h.CF_OPIS_jest = true;

    RenderOptions hook;
    hook.rfidHook = true;
    const Bitmap24 withHook = renderImage(uniformRaw(255), h, hook);
    // "FRID: " covers "ID "; no description.
    EXPECT_TRUE(showsText(withHook, white16(256, 576, "FRID: E20000171987")));
    EXPECT_TRUE(filledWith(withHook, Rect{0, 600, 480, 40}, kBlack));

    const Bitmap24 without = renderImage(uniformRaw(255), h, {});
    EXPECT_TRUE(showsText(without, white16(256, 576, "ID 3")));
    EXPECT_TRUE(filledWith(without, Rect{256 + textWidth("ID 3", 16), 576, 224 - textWidth("ID 3", 16), 24}, kBlack));
    EXPECT_TRUE(showsText(without, white16(2, 608, "Desc.Liver \xC5\x82\xC3\xB3" "d\xC5\xBA")));

    // Thirty spaces: no description line.
    h.CF_OPIS.fill(' ');
    h.CF_OPIS_jest = false;
    EXPECT_TRUE(filledWith(renderImage(uniformRaw(255), h, {}), Rect{0, 600, 480, 40}, kBlack));
}

TEST(ImageRenderer, FrequencyOutsideItsTableLeavesFreqAndMHz) {
    TImageData h = plainHeader();
    h.CF_config_CZESTOTLIWOSC = 8;
    EXPECT_TRUE(showsText(renderImage(uniformRaw(255), h, {}), white16(256, 544, "Freq.MHz")));
}

TEST(ImageRenderer, SwapMarkGoesToTheRightHandCorner) {
    const Rect left{16, 40, textWidth("*", 24), textHeight(24)};
    const Rect right{448, 40, left.w, left.h};
    TImageData h = plainHeader();
    const Bitmap24 plain = renderImage(uniformRaw(255), h, {});
    EXPECT_TRUE(showsText(plain, clearText(16, 40, "*", 24, kStarBlue, kWhite)));
    EXPECT_TRUE(filledWith(plain, right, kWhite));

    h.CF_ZAMIEN_LEWA_PRAWA = true;
    const Bitmap24 swapped = renderImage(uniformRaw(255), h, {});
    EXPECT_TRUE(showsText(swapped, clearText(448, 40, "*", 24, kStarBlue, kWhite)));
    EXPECT_TRUE(filledWith(swapped, left, kWhite));
    // The scan itself is not mirrored: a mark at the left stays at the left.
    h.g_Dane_wymiarowania[0] = {138, 30, 168, 30};
    EXPECT_EQ(renderImage(uniformRaw(255), h, {}).at(column(30) - 5, row(138)), dajKolorPomiaru(0));
}

TEST(ImageRenderer, StarDrawsOverTheScanWithAClearBackground) {
    // Over a grey scan, the pixels between the strokes keep the scan's grey.
    const Bitmap24 picture = renderImage(uniformRaw(100), plainHeader(), {});
    EXPECT_TRUE(showsText(picture, clearText(16, 40, "*", 24, kStarBlue, grey(100))));
    EXPECT_EQ(picture.at(16, 40), grey(100));
}

} // namespace
} // namespace kelvo::test
