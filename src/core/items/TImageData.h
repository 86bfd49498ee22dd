#pragma once
// The header of one stored image or cine: one per occupied slot of a catalogue.
// A plain class: fields in the record's order, read-only operations, no owned resources.
#include "items/CodePage.h"

#include <array>
#include <cstdint>
#include <string>

namespace kelvo {

// One distance measurement between two points, in scanner units. Present only when all four
// coordinates are non-zero.
struct Tpomiar {
    std::int32_t y1 = 0;
    std::int32_t x1 = 0;
    std::int32_t y2 = 0;
    std::int32_t x2 = 0;

    // All four coordinates non-zero; a measurement with any zero coordinate is ignored.
    bool jest() const { return y1 != 0 && x1 != 0 && y2 != 0 && x2 != 0; }
};

using TDane_wymiarowania = std::array<Tpomiar, 4>;

// Where a measurement lies on the rendered 480 x 512 scaled picture:
// column 2x, row 2y - 2o, with o the depth range's data offset.
struct PomiarNaObrazie {
    std::int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

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

    // Depth range, per the table; codes outside 0..9 act like code 4
    // (100 mm, "100", offset 32).
    std::int32_t dajZakresMilimetr() const;
    std::string dajZakresStr() const;
    std::int32_t dajPrzesuniecjeDanychDlaZakres() const;

    // Transmit frequency: the picture's annotation ("4.0" .. "15.0", empty outside 0..7) and the
    // upload tool's form ("4", "5", "6", "7", "9"; "5" for codes 5, 6, 7 and any other).
    std::string dajCzestotliwoscStr() const;
    std::string dajCzestotliwoscMHz() const;

    // The zoom that divides the scale. A zoom of 0 (no zoom recorded) is taken as 100, the
    // unmagnified picture: its measurements are shown at the depth range's own scale rather
    // than dropped, and nothing divides by zero.
    std::int32_t zoomDlaSkali() const;

    // Millimetres per scanner unit: ((range mm x 100) / zoom, truncated) / 256.
    double KELVO_pomiar_l_wsp_ile_mm_pixel() const;
    // Depth in millimetres of vertical coordinate p_y: floor(scale x (p_y - 48)).
    std::int32_t KELVO_pomiar_l_policz_glebokosc(std::int32_t p_y) const;
    // The length in millimetres that the picture shows for a measurement:
    // floor(dlugoscPomiaru(...) x scale).
    std::int32_t dlugoscPomiaruMm(const Tpomiar& p) const;
    // The measurement's two points on the scaled picture.
    PomiarNaObrazie pomiarNaObrazie(const Tpomiar& p) const;

    // The texts of the character fields: the bytes up to the first NUL, each decoded through
    // the code page (Windows-1250 unless the caller chooses another), as UTF-8. Trailing
    // spaces stay.
    std::string dajRfidStr(CodePage page = kDefaultCodePage) const;
    std::string dajOpisStr(CodePage page = kDefaultCodePage) const;

    // The recording date for the upload tool, YYYY-MM-DD.
    std::string dajDataStr() const;
};

// Length of a measurement in scanner units: 0 when both points coincide, otherwise
// floor(sqrt(dx^2 + dy^2)) + 1 (also for perfect squares: 3, 4 gives 6). Exact for every
// 32-bit input; a result beyond the 32-bit range is held at its largest value.
std::int32_t dlugoscPomiaru(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

// n with at least two digits: 0..9 get a leading "0", any other is written in full
// ("10", "2012", and a negative number as it is: "-5").
std::string dwieCyfry(std::int32_t n);

// The time text of an entry, "DD.MM.YYYY HH:MM:SS", with the limits: year above 2100
// -> 2000; month above 12 or below 1 -> 1; day above 31 or below 1 -> 1; hour above 23 -> 1;
// minute, second above 59 -> 0.
std::string dajCzasStr(const TImageData& p_dane);

} // namespace kelvo
