#include "items/OpisRecord.h"

#include <algorithm>

namespace kelvo {
namespace {

// Record words.
enum Word : std::size_t {
    kMarker = 0,
    kZakres = 1,
    kGain1 = 2,
    kGain2 = 3,
    kFocus = 4,
    kCzestotliwosc = 9,
    kYY = 11,
    kMM = 12,
    kDD = 13,
    kHH = 14,
    kMIN = 15,
    kSEC = 16,
    kZoom = 17,
    kZamienLewaPrawa = 18,
    kOpis = 24,          // 30 words
    kMeasureTryb = 55,
    kRfid = 64,          // 12 words
    kPomiary = 254,      // measurement k counts down from here
};

std::int32_t field(TOpis_512B record, std::size_t n) { return std::int32_t{opisWord(record, n)}; }

} // namespace

std::uint16_t opisWord(TOpis_512B record, std::size_t n) {
    return static_cast<std::uint16_t>(record[2 * n] | (record[2 * n + 1] << 8));
}

bool opisSlotZajety(TOpis_512B record) { return opisWord(record, kMarker) == kOpisSlotMarker; }

TImageData decodeOpisRecord(TOpis_512B record, std::int32_t p_id) {
    TImageData d; // zero-initialised, then filled
    d.ID = p_id;
    d.CF_config_zakres = field(record, kZakres);
    d.CF_config_gain1 = field(record, kGain1);
    d.CF_config_gain2 = field(record, kGain2);
    d.CF_config_focus = field(record, kFocus);
    d.CF_config_CZESTOTLIWOSC = field(record, kCzestotliwosc);
    d.CF_config_YY = field(record, kYY);
    d.CF_config_MM = field(record, kMM);
    d.CF_config_DD = field(record, kDD);
    d.CF_config_HH = field(record, kHH);
    d.CF_config_MIN = field(record, kMIN);
    d.CF_config_SEC = field(record, kSEC);
    d.CF_CONFIG_ZOOM = field(record, kZoom);
    d.CF_ZAMIEN_LEWA_PRAWA = opisWord(record, kZamienLewaPrawa) != 0;
    for (std::size_t j = 0; j < d.CF_OPIS.size(); ++j) d.CF_OPIS[j] = record[2 * (kOpis + j)];
    d.CF_OPIS_jest = std::any_of(d.CF_OPIS.begin(), d.CF_OPIS.end(), [](std::uint8_t c) { return c != 0x20; });
    d.MEASURE_TRYB = field(record, kMeasureTryb);
    for (std::size_t j = 0; j < d.CF_RFID.size(); ++j) d.CF_RFID[j] = record[2 * (kRfid + j)];
    for (std::size_t k = 0; k < d.g_Dane_wymiarowania.size(); ++k) {
        Tpomiar& p = d.g_Dane_wymiarowania[k];
        p.x1 = field(record, kPomiary - 4 * k);
        p.y1 = field(record, kPomiary - 1 - 4 * k);
        p.x2 = field(record, kPomiary - 2 - 4 * k);
        p.y2 = field(record, kPomiary - 3 - 4 * k);
    }
    return d;
}

std::vector<TImageData> decodeCatalogue(std::span<const std::uint8_t> bytes, std::int32_t p_ilosc) {
    std::vector<TImageData> entries;
    const std::size_t whole = bytes.size() / kOpisRecordBytes;
    const std::size_t count = p_ilosc > 0 ? std::min(whole, static_cast<std::size_t>(p_ilosc)) : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const TOpis_512B record(bytes.data() + i * kOpisRecordBytes, kOpisRecordBytes);
        if (!opisSlotZajety(record)) continue; // other markers are skipped without notice
        entries.push_back(decodeOpisRecord(record, static_cast<std::int32_t>(i)));
    }
    return entries;
}

} // namespace kelvo
