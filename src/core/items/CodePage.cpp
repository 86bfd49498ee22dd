#include "items/CodePage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

namespace kelvo {
namespace {

constexpr char32_t kUndefined = 0xFFFD;

// Windows-1250, bytes 0x80..0xFF (Microsoft's table "cp1250"; the five undefined bytes are
// U+FFFD here).
constexpr std::array<char32_t, 128> kWindows1250 = {
    // 0x80
    0x20AC, kUndefined, 0x201A, kUndefined, 0x201E, 0x2026, 0x2020, 0x2021,
    kUndefined, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    // 0x90
    kUndefined, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    kUndefined, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    // 0xA0
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    // 0xB0
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    // 0xC0
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    // 0xD0
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    // 0xE0
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    // 0xF0
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// Windows-1252, bytes 0x80..0x9F; from 0xA0 on it is Latin-1.
constexpr std::array<char32_t, 32> kWindows1252Low = {
    0x20AC, kUndefined, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, kUndefined, 0x017D, kUndefined,
    kUndefined, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, kUndefined, 0x017E, 0x0178,
};

// Decodes one UTF-8 sequence at `at`; nothing when it is malformed (overlong, surrogate,
// beyond U+10FFFF, cut short). `length` is the number of bytes taken (1 for a bad byte).
std::optional<char32_t> nextCodePoint(std::string_view s, std::size_t at, std::size_t& length) {
    const auto b0 = static_cast<unsigned char>(s[at]);
    length = 1;
    if (b0 < 0x80) return b0;
    std::size_t n = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) { n = 2; cp = b0 & 0x1F; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { n = 3; cp = b0 & 0x0F; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { n = 4; cp = b0 & 0x07; min = 0x10000; }
    else return std::nullopt;
    if (at + n > s.size()) return std::nullopt;
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[at + i]);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    length = n;
    return cp;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

} // namespace

std::optional<CodePage> codePageByName(std::string_view name) {
    const std::string n = lowerAscii(name);
    if (n == "windows-1250" || n == "cp1250" || n == "1250") return CodePage::Windows1250;
    if (n == "windows-1252" || n == "cp1252" || n == "1252") return CodePage::Windows1252;
    if (n == "iso-8859-1" || n == "iso8859-1" || n == "latin1" || n == "latin-1") return CodePage::Iso8859_1;
    return std::nullopt;
}

char32_t codePointOf(std::uint8_t byte, CodePage page) {
    if (byte < 0x80) return byte;
    switch (page) {
    case CodePage::Windows1250: return kWindows1250[byte - 0x80u];
    case CodePage::Windows1252: return byte < 0xA0 ? kWindows1252Low[byte - 0x80u] : char32_t{byte};
    case CodePage::Iso8859_1: return byte;
    }
    return kUndefined;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string decodeToUtf8(std::span<const std::uint8_t> bytes, CodePage page) {
    std::string out;
    out.reserve(bytes.size());
    for (const std::uint8_t b : bytes) appendUtf8(out, codePointOf(b, page));
    return out;
}

std::string decodeToUtf8(std::string_view bytes, CodePage page) {
    return decodeToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), page);
}

std::string encodeFromUtf8(std::string_view utf8, CodePage page, char replacement) {
    std::map<char32_t, char> reverse; // small: 128 entries at most
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        const char32_t cp = codePointOf(static_cast<std::uint8_t>(b), page);
        if (cp != kUndefined) reverse.emplace(cp, static_cast<char>(b));
    }
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        std::size_t length = 1;
        const auto cp = nextCodePoint(utf8, at, length);
        at += length;
        if (!cp) out += replacement;
        else if (*cp < 0x80) out += static_cast<char>(*cp);
        else if (auto r = reverse.find(*cp); r != reverse.end()) out += r->second;
        else out += replacement;
    }
    return out;
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 1;
        if (!nextCodePoint(text, at, length)) return false;
        at += length;
    }
    return true;
}

std::string textToUtf8(std::string_view bytes, CodePage page) {
    return isValidUtf8(bytes) ? std::string(bytes) : decodeToUtf8(bytes, page);
}

AnsiText AnsiText::forCodePage(CodePage page) {
    return AnsiText{[page](std::string_view bytes) { return decodeToUtf8(bytes, page); },
                    [page](std::string_view utf8) { return encodeFromUtf8(utf8, page); }};
}

} // namespace kelvo
