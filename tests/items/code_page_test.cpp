// Single-byte texts: ASCII unchanged, bytes from 0x80 through Windows-1250 by default, the
// code page chosen by parameter, and back for the batch files.
#include "items/CodePage.h"
#include "platform/SystemText.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelvo::test {
namespace {

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

TEST(CodePage, AsciiIsUnchangedInEveryCodePage) {
    std::string ascii;
    for (int b = 0; b < 0x80; ++b) ascii += static_cast<char>(b);
    for (CodePage page : {CodePage::Windows1250, CodePage::Windows1252, CodePage::Iso8859_1}) {
        EXPECT_EQ(decodeToUtf8(ascii, page), ascii);
        EXPECT_EQ(encodeFromUtf8(ascii, page), ascii);
    }
}

TEST(CodePage, Windows1250IsTheDefault) {
    // Ł ó d ź: A3 F3 64 9F in Windows-1250.
    const std::string lodz = bytes({0xA3, 0xF3, 0x64, 0x9F});
    EXPECT_EQ(decodeToUtf8(lodz), "\xC5\x81\xC3\xB3" "d\xC5\xBA"); // "Łódź"
    EXPECT_EQ(kDefaultCodePage, CodePage::Windows1250);
}

TEST(CodePage, TheWholeWindows1250TableAtSomePoints) {
    struct Case {
        int byte;
        char32_t cp;
    } cases[] = {
        {0x80, 0x20AC}, {0x8A, 0x0160}, {0x8C, 0x015A}, {0x8F, 0x0179}, {0x9C, 0x015B}, {0x9F, 0x017A},
        {0xA0, 0x00A0}, {0xA3, 0x0141}, {0xA5, 0x0104}, {0xAF, 0x017B}, {0xB3, 0x0142}, {0xB9, 0x0105},
        {0xBF, 0x017C}, {0xC6, 0x0106}, {0xCA, 0x0118}, {0xD1, 0x0143}, {0xD3, 0x00D3}, {0xE6, 0x0107},
        {0xEA, 0x0119}, {0xF1, 0x0144}, {0xF3, 0x00F3}, {0xFF, 0x02D9},
    };
    for (const auto& c : cases)
        EXPECT_EQ(codePointOf(static_cast<std::uint8_t>(c.byte), CodePage::Windows1250), c.cp) << std::hex << c.byte;
    // The five bytes Windows-1250 leaves undefined show as the replacement character.
    for (int b : {0x81, 0x83, 0x88, 0x90, 0x98})
        EXPECT_EQ(codePointOf(static_cast<std::uint8_t>(b), CodePage::Windows1250), char32_t{0xFFFD}) << b;
}

TEST(CodePage, AnotherCodePageByParameterOrName) {
    const std::string b = bytes({0xA3, 0xE9, 0x80});
    EXPECT_EQ(decodeToUtf8(b, CodePage::Windows1252), "\xC2\xA3\xC3\xA9\xE2\x82\xAC"); // "£é€"
    EXPECT_EQ(decodeToUtf8(b, CodePage::Iso8859_1), "\xC2\xA3\xC3\xA9\xC2\x80");
    EXPECT_EQ(codePageByName("CP1252"), CodePage::Windows1252);
    EXPECT_EQ(codePageByName("windows-1250"), CodePage::Windows1250);
    EXPECT_EQ(codePageByName("latin1"), CodePage::Iso8859_1);
    EXPECT_FALSE(codePageByName("koi8-r").has_value());
}

TEST(CodePage, RoundTripOfEveryDefinedByte) {
    for (CodePage page : {CodePage::Windows1250, CodePage::Windows1252, CodePage::Iso8859_1}) {
        for (int b = 0x80; b <= 0xFF; ++b) {
            if (codePointOf(static_cast<std::uint8_t>(b), page) == 0xFFFD) continue;
            const std::string one(1, static_cast<char>(b));
            EXPECT_EQ(encodeFromUtf8(decodeToUtf8(one, page), page), one) << b;
        }
    }
}

TEST(CodePage, WhatACodePageCannotHoldBecomesTheReplacement) {
    EXPECT_EQ(encodeFromUtf8("a\xE2\x98\x83" "b"), "a?b");             // a snowman
    EXPECT_EQ(encodeFromUtf8("a\xFF" "b"), "a?b");                     // malformed UTF-8
    EXPECT_EQ(encodeFromUtf8("\xC3\xA9", CodePage::Windows1250), "\xE9"); // é is in both
}

TEST(CodePage, SettingsTextUtf8OrAnsi) {
    EXPECT_TRUE(isValidUtf8("\xC5\x81ukasz"));
    EXPECT_FALSE(isValidUtf8("\xA3ukasz"));
    EXPECT_FALSE(isValidUtf8("\xC0\x80")); // overlong NUL
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_EQ(textToUtf8("\xC5\x81ukasz"), "\xC5\x81ukasz");
    EXPECT_EQ(textToUtf8("\xA3ukasz"), "\xC5\x81ukasz");
}

TEST(CodePage, TheSystemsAnsiCodePage) {
    // Whatever the system's code page (Windows: GetACP; elsewhere Windows-1250 stands in), ASCII
    // and the letters Windows-1250 and Windows-1252 share go there and back.
#ifdef _WIN32
    if (GetACP() != 1250 && GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
#endif
    const AnsiText ansi = platform::systemAnsiText();
    const std::string text = "C:\\out\\12.bmp \"usg\" \xC3\xA9\xC3\xB3\xC3\x96";
    const std::string bytes = ansi.fromUtf8(text);
    EXPECT_EQ(bytes.size(), text.size() - 3);
    EXPECT_EQ(ansi.toUtf8(bytes), text);
    EXPECT_EQ(ansi.fromUtf8("\xE2\x98\x83"), "?"); // a snowman is in no ANSI code page
    EXPECT_EQ(ansi.fromUtf8(""), "");
}

} // namespace
} // namespace kelvo::test
