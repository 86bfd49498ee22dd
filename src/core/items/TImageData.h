#pragma once
// The header of one stored image or cine: one per occupied slot of a catalogue.
#include <array>
#include <cstdint>

namespace kelvo {

// One distance measurement between two points, in scanner units. Present only when all four
// coordinates are non-zero.
struct Tpomiar {
    std::int32_t y1 = 0;
    std::int32_t x1 = 0;
    std::int32_t y2 = 0;
    std::int32_t x2 = 0;
};

using TDane_wymiarowania = std::array<Tpomiar, 4>;

struct TImageData {
    std::int32_t ID = 0; // slot number on the scanner; users and file names see ID + 1
    std::int32_t CF_config_zakres = 0;
    std::int32_t CF_config_gain1 = 0;
    std::int32_t CF_config_gain2 = 0;
    std::int32_t CF_config_focus = 0;
    std::int32_t CF_config_CZESTOTLIWOSC = 0;
    std::int32_t CF_config_YY = 0;
    std::int32_t CF_config_MM = 0;
    std::int32_t CF_config_DD = 0;
    std::int32_t CF_config_HH = 0;
    std::int32_t CF_config_MIN = 0;
    std::int32_t CF_config_SEC = 0;
    std::int32_t CF_CONFIG_ZOOM = 0;
    std::array<std::uint8_t, 12> CF_RFID{};
    bool CF_OPIS_jest = false;
    std::array<std::uint8_t, 30> CF_OPIS{};
    bool CF_ZAMIEN_LEWA_PRAWA = false;
    TDane_wymiarowania g_Dane_wymiarowania{};
    std::int32_t MEASURE_TRYB = 0;
};

} // namespace kelvo
