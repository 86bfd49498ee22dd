// the depth-range and frequency tables with their fall-backs, the scale, depth and
// length of a measurement, zoom 0, where a measurement lies on the picture, the field texts.
#include "items/TImageData.h"

#include <gtest/gtest.h>

#include <limits>

namespace kelvo::test {
namespace {

TImageData withRange(std::int32_t zakres, std::int32_t zoom = 100) {
    TImageData d;
    d.CF_config_zakres = zakres;
    d.CF_CONFIG_ZOOM = zoom;
    return d;
}

TEST(DepthRange, TableOfTheTenCodes) {
    struct Row {
        std::int32_t mm;
        const char* text;
        std::int32_t offset;
    } rows[] = {{250, "250", 15}, {200, "200", 15}, {150, "150", 19}, {120, "120", 26}, {100, "100", 32},
                {80, "80", 38},   {70, "70", 48},   {60, "60", 42},   {50, "50", 44},   {40, "40", 47}};
    for (std::int32_t code = 0; code < 10; ++code) {
        const TImageData d = withRange(code);
        EXPECT_EQ(d.dajZakresMilimetr(), rows[code].mm) << code;
        EXPECT_EQ(d.dajZakresStr(), rows[code].text) << code;
        EXPECT_EQ(d.dajPrzesuniecjeDanychDlaZakres(), rows[code].offset) << code;
    }
}

TEST(DepthRange, CodesOutsideTheTableActLikeCodeFour) {
    for (std::int32_t code : {10, 11, 65535, -1, std::numeric_limits<std::int32_t>::min(),
                              std::numeric_limits<std::int32_t>::max()}) {
        const TImageData d = withRange(code);
        EXPECT_EQ(d.dajZakresMilimetr(), 100) << code;
        EXPECT_EQ(d.dajZakresStr(), "100") << code;
        EXPECT_EQ(d.dajPrzesuniecjeDanychDlaZakres(), 32) << code;
    }
}

TEST(Frequency, BothFormsAndTheirFallBacks) {
    const char* picture[] = {"4.0", "5.0", "6.0", "7.5", "9.0", "10.0", "12.0", "15.0"};
    const char* upload[] = {"4", "5", "6", "7", "9", "5", "5", "5"};
    for (std::int32_t code = 0; code < 8; ++code) {
        TImageData d;
        d.CF_config_CZESTOTLIWOSC = code;
        EXPECT_EQ(d.dajCzestotliwoscStr(), picture[code]) << code;
        EXPECT_EQ(d.dajCzestotliwoscMHz(), upload[code]) << code;
    }
    for (std::int32_t code : {8, 100, 65535, -1}) {
        TImageData d;
        d.CF_config_CZESTOTLIWOSC = code;
        EXPECT_EQ(d.dajCzestotliwoscStr(), "") << code;
        EXPECT_EQ(d.dajCzestotliwoscMHz(), "5") << code;
    }
    TImageData d;
    d.CF_config_CZESTOTLIWOSC = 3; // the documented examples
    EXPECT_EQ(d.dajCzestotliwoscStr(), "7.5");
    EXPECT_EQ(d.dajCzestotliwoscMHz(), "7");
    d.CF_config_CZESTOTLIWOSC = 6;
    EXPECT_EQ(d.dajCzestotliwoscStr(), "12.0");
    EXPECT_EQ(d.dajCzestotliwoscMHz(), "5");
}

TEST(Scale, ThePartsExamples) {
    EXPECT_DOUBLE_EQ(withRange(4, 100).KELVO_pomiar_l_wsp_ile_mm_pixel(), 0.390625);
    // Range 0 (250 mm) at zoom 150: q = 166, 166 / 256.
    EXPECT_DOUBLE_EQ(withRange(0, 150).KELVO_pomiar_l_wsp_ile_mm_pixel(), 0.6484375);
    // 250 mm at zoom 300: q = 83 (truncated before the division by 256), not 250 / 3 / 256.
    EXPECT_DOUBLE_EQ(withRange(0, 300).KELVO_pomiar_l_wsp_ile_mm_pixel(), 0.32421875);
    // At zoom 100 the scale is the range over 256.
    for (std::int32_t code = 0; code < 10; ++code) {
        const TImageData d = withRange(code, 100);
        EXPECT_DOUBLE_EQ(d.KELVO_pomiar_l_wsp_ile_mm_pixel(), d.dajZakresMilimetr() / 256.0) << code;
    }
}

TEST(Scale, ZoomZeroIsTakenAsUnmagnified) {
    // Our choice for the open case: zoom 0 means 100, so no division by zero, and the
    // measurements of such an item are shown at the range's own scale.
    for (std::int32_t code = 0; code < 11; ++code) {
        const TImageData zero = withRange(code, 0);
        const TImageData hundred = withRange(code, 100);
        EXPECT_EQ(zero.zoomDlaSkali(), 100);
        EXPECT_DOUBLE_EQ(zero.KELVO_pomiar_l_wsp_ile_mm_pixel(), hundred.KELVO_pomiar_l_wsp_ile_mm_pixel()) << code;
        EXPECT_EQ(zero.KELVO_pomiar_l_policz_glebokosc(304), hundred.KELVO_pomiar_l_policz_glebokosc(304)) << code;
    }
    const TImageData zero = withRange(4, 0);
    EXPECT_EQ(zero.KELVO_pomiar_l_policz_glebokosc(304), 100);
    EXPECT_EQ(zero.dlugoscPomiaruMm(Tpomiar{60, 10, 64, 13}), 2); // 6 units x 0.390625
}

TEST(Scale, ExtremeZoomsStayDefined) {
    EXPECT_DOUBLE_EQ(withRange(0, 1).KELVO_pomiar_l_wsp_ile_mm_pixel(), 25000 / 256.0);
    EXPECT_DOUBLE_EQ(withRange(0, 65535).KELVO_pomiar_l_wsp_ile_mm_pixel(), 0.0); // 25000 / 65535 = 0
    EXPECT_DOUBLE_EQ(withRange(0, -100).KELVO_pomiar_l_wsp_ile_mm_pixel(), -250 / 256.0);
    const TImageData big = withRange(0, 1);
    EXPECT_EQ(big.KELVO_pomiar_l_policz_glebokosc(std::numeric_limits<std::int32_t>::max()),
              std::numeric_limits<std::int32_t>::max()); // held, not overflowed
    EXPECT_EQ(big.KELVO_pomiar_l_policz_glebokosc(std::numeric_limits<std::int32_t>::min()),
              std::numeric_limits<std::int32_t>::min());
}

TEST(Depth, ThePartsExamples) {
    const TImageData d = withRange(4, 100); // 100 mm, zoom 100
    EXPECT_EQ(d.KELVO_pomiar_l_policz_glebokosc(48), 0);
    EXPECT_EQ(d.KELVO_pomiar_l_policz_glebokosc(47), -1); // toward minus infinity
    EXPECT_EQ(d.KELVO_pomiar_l_policz_glebokosc(304), 100);
    EXPECT_EQ(d.KELVO_pomiar_l_policz_glebokosc(49), 0);  // 0.390625
    EXPECT_EQ(d.KELVO_pomiar_l_policz_glebokosc(51), 1);  // 1.171875
    EXPECT_EQ(d.KELVO_pomiar_l_policz_glebokosc(0), -19); // -18.75
}

TEST(Length, ThePartsExamples) {
    EXPECT_EQ(dlugoscPomiaru(10, 60, 13, 64), 6); // dx 3, dy 4: 6, not 5
    EXPECT_EQ(dlugoscPomiaru(0, 0, 5, 0), 6);
    EXPECT_EQ(dlugoscPomiaru(0, 0, 1, 1), 2);
    EXPECT_EQ(dlugoscPomiaru(5, 5, 5, 5), 0);
    EXPECT_EQ(dlugoscPomiaru(13, 64, 10, 60), 6); // order does not matter
}

TEST(Length, AgreesWithThePartsLoop) {
    auto partsLoop = [](std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
        const std::int64_t dx = std::abs(x2 - x1), dy = std::abs(y2 - y1), e = dx * dx + dy * dy;
        if (e == 0) return std::int64_t{0};
        std::int64_t r = std::max(dx, dy);
        while (r * r <= e) ++r;
        return r;
    };
    for (std::int32_t dx = 0; dx < 70; ++dx)
        for (std::int32_t dy = 0; dy < 70; ++dy)
            ASSERT_EQ(dlugoscPomiaru(100, 200, 100 + dx, 200 - dy), partsLoop(100, 200, 100 + dx, 200 - dy)) << dx << " " << dy;
    for (std::int32_t d : {65535, 65534, 46340, 46341, 40000})
        EXPECT_EQ(dlugoscPomiaru(0, 0, d, d), partsLoop(0, 0, d, d)) << d;
    // Beyond any record's values: no overflow, the 32-bit maximum at most.
    EXPECT_EQ(dlugoscPomiaru(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min(),
                             std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(dlugoscPomiaru(0, 0, 1000000000, 0), 1000000001);
}

TEST(Measurement, PresentOnlyWithAllFourCoordinatesNonZero) {
    EXPECT_TRUE((Tpomiar{5, 5, 5, 5}.jest()));
    EXPECT_FALSE((Tpomiar{60, 0, 64, 13}.jest())); // x1 = 0
    EXPECT_FALSE((Tpomiar{0, 10, 64, 13}.jest()));
    EXPECT_FALSE((Tpomiar{60, 10, 0, 13}.jest()));
    EXPECT_FALSE((Tpomiar{60, 10, 64, 0}.jest()));
}

TEST(Measurement, LengthInMillimetresAndPlaceOnThePicture) {
    const TImageData d = withRange(4, 100);
    const Tpomiar p{60, 10, 64, 13}; // y1, x1, y2, x2
    EXPECT_EQ(d.dlugoscPomiaruMm(p), 2); // floor(6 x 0.390625)
    const PomiarNaObrazie on = d.pomiarNaObrazie(p); // column 2x, row 2y - 2 x 32
    EXPECT_EQ(on.X1, 20);
    EXPECT_EQ(on.Y1, 56);
    EXPECT_EQ(on.X2, 26);
    EXPECT_EQ(on.Y2, 64);
    const TImageData r6 = withRange(6, 100); // offset 48
    EXPECT_EQ(r6.pomiarNaObrazie(p).Y1, 120 - 96);
}

TEST(FieldTexts, UpToTheFirstNulThroughTheCodePage) {
    TImageData d;
    const std::string rfid = "AB12 \xA3\xB3 ";
    std::copy(rfid.begin(), rfid.end(), d.CF_RFID.begin());
    EXPECT_EQ(d.dajRfidStr(), "AB12 \xC5\x81\xC5\x82 "); // Łł, trailing space kept
    EXPECT_EQ(d.dajRfidStr(CodePage::Windows1252), "AB12 \xC2\xA3\xC2\xB3 ");
    d.CF_RFID[3] = 0;
    EXPECT_EQ(d.dajRfidStr(), "AB1");
    d.CF_RFID.fill('9'); // no NUL at all: all 12 characters
    EXPECT_EQ(d.dajRfidStr(), std::string(12, '9'));
    d.CF_OPIS.fill(0);
    EXPECT_EQ(d.dajOpisStr(), "");
    d.CF_OPIS.fill('x');
    EXPECT_EQ(d.dajOpisStr(), std::string(30, 'x'));
}

} // namespace
} // namespace kelvo::test
