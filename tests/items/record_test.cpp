// one description record decoded into a header, and the entries of a catalogue.
#include "TestFolders.h"

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

// Every word n holds 1000 + n (word 0 the marker): each field shows which word it came from.
Record numberedRecord() {
    Record r;
    for (std::size_t n = 0; n < 256; ++n) r.word(n, static_cast<std::uint16_t>(1000 + n));
    return r.occupied();
}

TEST(Record, EveryFieldFromItsWord) {
    const TImageData d = decodeOpisRecord(numberedRecord().view(), 7);
    EXPECT_EQ(d.ID, 7);
    EXPECT_EQ(d.CF_config_zakres, 1001);
    EXPECT_EQ(d.CF_config_gain1, 1002);
    EXPECT_EQ(d.CF_config_gain2, 1003);
    EXPECT_EQ(d.CF_config_focus, 1004);
    EXPECT_EQ(d.CF_config_CZESTOTLIWOSC, 1009);
    EXPECT_EQ(d.CF_config_YY, 1011);
    EXPECT_EQ(d.CF_config_MM, 1012);
    EXPECT_EQ(d.CF_config_DD, 1013);
    EXPECT_EQ(d.CF_config_HH, 1014);
    EXPECT_EQ(d.CF_config_MIN, 1015);
    EXPECT_EQ(d.CF_config_SEC, 1016);
    EXPECT_EQ(d.CF_CONFIG_ZOOM, 1017);
    EXPECT_TRUE(d.CF_ZAMIEN_LEWA_PRAWA); // word 18 = 1018, non-zero
    EXPECT_EQ(d.MEASURE_TRYB, 1055);
    for (std::size_t j = 0; j < 30; ++j) EXPECT_EQ(d.CF_OPIS[j], (1000 + 24 + j) & 0xFF) << "description " << j;
    for (std::size_t j = 0; j < 12; ++j) EXPECT_EQ(d.CF_RFID[j], (1000 + 64 + j) & 0xFF) << "RFID " << j;
    EXPECT_TRUE(d.CF_OPIS_jest);
}

TEST(Record, MeasurementsAreStoredBackwardsFromTheEnd) {
    const TImageData d = decodeOpisRecord(numberedRecord().view(), 0);
    for (int k = 0; k < 4; ++k) {
        const Tpomiar& p = d.g_Dane_wymiarowania[static_cast<std::size_t>(k)];
        EXPECT_EQ(p.x1, 1000 + 254 - 4 * k) << k;
        EXPECT_EQ(p.y1, 1000 + 253 - 4 * k) << k;
        EXPECT_EQ(p.x2, 1000 + 252 - 4 * k) << k;
        EXPECT_EQ(p.y2, 1000 + 251 - 4 * k) << k;
    }
    // By byte offset: measurement 0 is y2 at 502, x2 at 504, y1 at 506, x1 at 508;
    // measurement 3 begins the block at byte 478.
    Record r;
    r.occupied();
    r.word(502 / 2, 11).word(504 / 2, 12).word(506 / 2, 13).word(508 / 2, 14);
    r.word(478 / 2, 31).word(480 / 2, 32).word(482 / 2, 33).word(484 / 2, 34);
    const TImageData e = decodeOpisRecord(r.view(), 0);
    EXPECT_EQ(e.g_Dane_wymiarowania[0].y2, 11);
    EXPECT_EQ(e.g_Dane_wymiarowania[0].x2, 12);
    EXPECT_EQ(e.g_Dane_wymiarowania[0].y1, 13);
    EXPECT_EQ(e.g_Dane_wymiarowania[0].x1, 14);
    EXPECT_EQ(e.g_Dane_wymiarowania[3].y2, 31);
    EXPECT_EQ(e.g_Dane_wymiarowania[3].x2, 32);
    EXPECT_EQ(e.g_Dane_wymiarowania[3].y1, 33);
    EXPECT_EQ(e.g_Dane_wymiarowania[3].x1, 34);
    EXPECT_FALSE(e.g_Dane_wymiarowania[1].jest());
}

TEST(Record, WordsAreZeroExtended) {
    Record r;
    for (std::size_t n = 0; n < 256; ++n) r.word(n, 0xFFFF);
    r.occupied();
    const TImageData d = decodeOpisRecord(r.view(), 0);
    for (std::int32_t v : {d.CF_config_zakres, d.CF_config_gain1, d.CF_config_gain2, d.CF_config_focus,
                           d.CF_config_CZESTOTLIWOSC, d.CF_config_YY, d.CF_config_MM, d.CF_config_DD, d.CF_config_HH,
                           d.CF_config_MIN, d.CF_config_SEC, d.CF_CONFIG_ZOOM, d.MEASURE_TRYB})
        EXPECT_EQ(v, 65535);
    for (const Tpomiar& p : d.g_Dane_wymiarowania) {
        EXPECT_EQ(p.x1, 65535);
        EXPECT_EQ(p.y2, 65535);
    }
    EXPECT_EQ(d.CF_RFID[0], 0xFF);
    // And the fall-backs take such codes: 65535 is no range, no frequency.
    EXPECT_EQ(d.dajZakresMilimetr(), 100);
    EXPECT_EQ(d.dajCzestotliwoscMHz(), "5");
}

TEST(Record, SwapFlagIsAnyNonZeroWord) {
    Record r;
    r.occupied();
    EXPECT_FALSE(decodeOpisRecord(r.view(), 0).CF_ZAMIEN_LEWA_PRAWA);
    r.word(18, 0x0100); // only the high byte
    EXPECT_TRUE(decodeOpisRecord(r.view(), 0).CF_ZAMIEN_LEWA_PRAWA);
}

TEST(Record, DescriptionPresence) {
    Record spaces;
    spaces.occupied().lowBytes(24, std::string(30, ' '));
    EXPECT_FALSE(decodeOpisRecord(spaces.view(), 0).CF_OPIS_jest);

    // The high bytes are not read: spaces in the low bytes stay "no description".
    Record highBytes = spaces;
    for (std::size_t j = 0; j < 30; ++j) highBytes.bytes[2 * (24 + j) + 1] = 'A';
    EXPECT_FALSE(decodeOpisRecord(highBytes.view(), 0).CF_OPIS_jest);

    Record firstNul = spaces;
    firstNul.bytes[48] = 0;
    const TImageData n = decodeOpisRecord(firstNul.view(), 0);
    EXPECT_TRUE(n.CF_OPIS_jest);
    EXPECT_EQ(n.dajOpisStr(), "");

    Record zeros;
    zeros.occupied();
    const TImageData z = decodeOpisRecord(zeros.view(), 0);
    EXPECT_TRUE(z.CF_OPIS_jest);
    EXPECT_EQ(z.dajOpisStr(), "");

    Record text = spaces;
    text.lowBytes(24, "Liver left  \xB3\xF3");
    const TImageData t = decodeOpisRecord(text.view(), 0);
    EXPECT_TRUE(t.CF_OPIS_jest);
    EXPECT_EQ(t.dajOpisStr(), "Liver left  \xC5\x82\xC3\xB3" + std::string(16, ' ')); // trailing spaces stay
}

TEST(Record, RfidFromTheLowBytesOfWords64To75) {
    Record r;
    r.occupied().lowBytes(64, "123456789012");
    r.bytes[2 * 64 + 1] = 'X'; // high byte not read
    EXPECT_EQ(decodeOpisRecord(r.view(), 0).dajRfidStr(), "123456789012");
    r.bytes[2 * 70] = 0;
    EXPECT_EQ(decodeOpisRecord(r.view(), 0).dajRfidStr(), "123456");
}

TEST(Catalogue, OccupiedSlotsInSlotOrder) {
    Record a, empty, c;
    a.occupied().word(1, 4);
    empty.word(1, 9); // marker 0
    c.occupied().word(1, 2);
    const auto bytes = catalogueOf({a, empty, c});
    const auto entries = decodeCatalogue(bytes, 3);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].ID, 0); // position 0
    EXPECT_EQ(entries[0].CF_config_zakres, 4);
    EXPECT_EQ(entries[1].ID, 2); // position 1
    EXPECT_EQ(entries[1].CF_config_zakres, 2);
}

TEST(Catalogue, NoMarkerAtAll) {
    Record other;
    other.word(0, kOpisSlotMarker + 1);
    Record swapped; // the marker's bytes the wrong way round
    swapped.bytes[0] = 0x7A;
    swapped.bytes[1] = 0xB7;
    EXPECT_TRUE(decodeCatalogue(catalogueOf({other, swapped, Record{}}), 3).empty());
}

TEST(Catalogue, OnlyRecordsLyingWhollyInsideTheBytesAndTheCount) {
    Record r;
    r.occupied();
    const auto bytes = catalogueOf({r, r, r});
    EXPECT_EQ(decodeCatalogue(bytes, 2).size(), 2u);   // the count bounds it
    EXPECT_EQ(decodeCatalogue(bytes, 9).size(), 3u);   // and the bytes do
    EXPECT_EQ(decodeCatalogue(std::span(bytes).first(2 * 512 + 511), 3).size(), 2u);
    EXPECT_EQ(decodeCatalogue(std::span(bytes).first(511), 3).size(), 0u);
    EXPECT_EQ(decodeCatalogue(bytes, 0).size(), 0u);
    EXPECT_EQ(decodeCatalogue(bytes, -1).size(), 0u);
}

} // namespace
} // namespace kelvo::test
