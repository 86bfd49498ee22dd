// The scan geometry and the tables, and the texts of a stored item's header.
#include "items/TImageData.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <span>

namespace kelvo {
namespace {

struct Zakres {
    std::int32_t mm;
    const char* text;
    std::int32_t offset;
};

// Depth-range codes 0..9. The data offset does not grow steadily: 6 has 48, more than 7..9.
constexpr Zakres kZakresy[] = {
    {250, "250", 15}, {200, "200", 15}, {150, "150", 19}, {120, "120", 26}, {100, "100", 32},
    {80, "80", 38},   {70, "70", 48},   {60, "60", 42},   {50, "50", 44},   {40, "40", 47},
};
constexpr Zakres kZakresInny = {100, "100", 32};

const Zakres& zakres(std::int32_t code) {
    if (code < 0 || code >= static_cast<std::int32_t>(std::size(kZakresy))) return kZakresInny;
    return kZakresy[code];
}

struct Czestotliwosc {
    const char* picture;
    const char* upload;
};

constexpr Czestotliwosc kCzestotliwosci[] = {
    {"4.0", "4"}, {"5.0", "5"}, {"6.0", "6"}, {"7.5", "7"}, {"9.0", "9"}, {"10.0", "5"}, {"12.0", "5"}, {"15.0", "5"},
};
constexpr Czestotliwosc kCzestotliwoscInna = {"", "5"};

const Czestotliwosc& czestotliwosc(std::int32_t code) {
    if (code < 0 || code >= static_cast<std::int32_t>(std::size(kCzestotliwosci))) return kCzestotliwoscInna;
    return kCzestotliwosci[code];
}

// floor(v) as a 32-bit integer, held at the ends of the range (no undefined conversion for
// the extreme inputs a fuzzer finds; a record's values never come near them).
std::int32_t floorToInt32(double v) {
    const double f = std::floor(v);
    if (std::isnan(f)) return 0;
    if (f <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
    if (f >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(f);
}

std::int32_t holdInt32(std::int64_t v) {
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(v);
}

template <std::size_t N>
std::string textUpToNul(const std::array<std::uint8_t, N>& field, CodePage page) {
    std::size_t n = 0;
    while (n < N && field[n] != 0) ++n;
    return decodeToUtf8(std::span<const std::uint8_t>(field.data(), n), page);
}

} // namespace

std::int32_t TImageData::dajZakresMilimetr() const { return zakres(CF_config_zakres).mm; }
std::string TImageData::dajZakresStr() const { return zakres(CF_config_zakres).text; }
std::int32_t TImageData::dajPrzesuniecjeDanychDlaZakres() const { return zakres(CF_config_zakres).offset; }

std::string TImageData::dajCzestotliwoscStr() const { return czestotliwosc(CF_config_CZESTOTLIWOSC).picture; }
std::string TImageData::dajCzestotliwoscMHz() const { return czestotliwosc(CF_config_CZESTOTLIWOSC).upload; }

// A zoom of 0 has no defined meaning. Our choice: 0 means unmagnified, as 100 does.
std::int32_t TImageData::zoomDlaSkali() const { return CF_CONFIG_ZOOM == 0 ? 100 : CF_CONFIG_ZOOM; }

double TImageData::KELVO_pomiar_l_wsp_ile_mm_pixel() const {
    const std::int64_t m = dajZakresMilimetr();
    // Integer division truncating toward zero, before the division by 256: 250 mm at zoom 300
    // gives 83, so 0.32421875 mm per unit.
    const std::int64_t q = (m * 100) / zoomDlaSkali();
    return static_cast<double>(q) / 256.0;
}

std::int32_t TImageData::KELVO_pomiar_l_policz_glebokosc(std::int32_t p_y) const {
    return floorToInt32(KELVO_pomiar_l_wsp_ile_mm_pixel() * (static_cast<double>(p_y) - 48.0));
}

std::int32_t TImageData::dlugoscPomiaruMm(const Tpomiar& p) const {
    const std::int32_t r = dlugoscPomiaru(p.x1, p.y1, p.x2, p.y2);
    return floorToInt32(static_cast<double>(r) * KELVO_pomiar_l_wsp_ile_mm_pixel());
}

PomiarNaObrazie TImageData::pomiarNaObrazie(const Tpomiar& p) const {
    const std::int64_t o = 2 * static_cast<std::int64_t>(dajPrzesuniecjeDanychDlaZakres());
    return {holdInt32(2 * std::int64_t{p.x1}), holdInt32(2 * std::int64_t{p.y1} - o), holdInt32(2 * std::int64_t{p.x2}),
            holdInt32(2 * std::int64_t{p.y2} - o)};
}

std::string TImageData::dajRfidStr(CodePage page) const { return textUpToNul(CF_RFID, page); }
std::string TImageData::dajOpisStr(CodePage page) const { return textUpToNul(CF_OPIS, page); }

std::string TImageData::dajDataStr() const {
    std::int64_t year = std::int64_t{CF_config_YY} + 2000;
    if (year > 2100) year = 2000;
    std::int32_t month = CF_config_MM;
    if (month > 12 || month < 1) month = 1;
    std::int32_t day = CF_config_DD;
    if (day > 31 || day < 1) day = 1;
    return dwieCyfry(static_cast<std::int32_t>(year)) + "-" + dwieCyfry(month) + "-" + dwieCyfry(day);
}

std::int32_t dlugoscPomiaru(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    const std::uint64_t dx = static_cast<std::uint64_t>(std::llabs(std::int64_t{x2} - x1));
    const std::uint64_t dy = static_cast<std::uint64_t>(std::llabs(std::int64_t{y2} - y1));
    // dx and dy are below 2^32, so e fits in 65 bits: kept in 128.
    __extension__ using u128 = unsigned __int128;
    const u128 e = u128{dx} * dx + u128{dy} * dy;
    if (e == 0) return 0;
    // The documented loop (r from max(dx, dy) up while r^2 <= e) ends at floor(sqrt(e)) + 1; the
    // integer square root is found directly so that long measurements cost no more than short.
    std::uint64_t r = static_cast<std::uint64_t>(std::sqrt(static_cast<long double>(e)));
    while (u128{r} * r > e) --r;
    while (u128{r + 1} * (r + 1) <= e) ++r;
    return holdInt32(static_cast<std::int64_t>(r + 1));
}

std::string dwieCyfry(std::int32_t n) {
    if (n >= 0 && n < 10) return "0" + std::to_string(n);
    return std::to_string(n);
}

std::string dajCzasStr(const TImageData& p_dane) {
    std::int64_t year = std::int64_t{p_dane.CF_config_YY} + 2000;
    if (year > 2100) year = 2000;
    std::int32_t month = p_dane.CF_config_MM;
    if (month > 12 || month < 1) month = 1;
    std::int32_t day = p_dane.CF_config_DD;
    if (day > 31 || day < 1) day = 1;
    std::int32_t hour = p_dane.CF_config_HH;
    if (hour > 23) hour = 1; // one, not zero, as the original program does
    std::int32_t minute = p_dane.CF_config_MIN;
    if (minute > 59) minute = 0;
    std::int32_t second = p_dane.CF_config_SEC;
    if (second > 59) second = 0;
    // A year of four digits is written in full by dwieCyfry.
    return dwieCyfry(day) + "." + dwieCyfry(month) + "." + dwieCyfry(static_cast<std::int32_t>(year)) + " " + dwieCyfry(hour) + ":" +
           dwieCyfry(minute) + ":" + dwieCyfry(second);
}

} // namespace kelvo
