#pragma once
// Single-byte text from the scanner and for the Windows batch files. Inside the program every
// text is UTF-8; the scanner's character fields and the batch files are single bytes of an ANSI
// code page. ASCII (0x00..0x7F) is the same in every code page here; a byte from 0x80 on is
// decoded through the chosen code page, Windows-1250 unless the caller says otherwise.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kelvo {

enum class CodePage {
    Windows1250, // Central European: the scanner's and the first program's code page (default)
    Windows1252, // Western European
    Iso8859_1,   // Latin-1: every byte is the code point of the same number
};

inline constexpr CodePage kDefaultCodePage = CodePage::Windows1250;

// "windows-1250", "cp1250", "1250", "windows-1252", "cp1252", "1252", "iso-8859-1", "latin1"
// (any case); nothing for other names. For a setting that overrides the default.
std::optional<CodePage> codePageByName(std::string_view name);

// The Unicode code point of one byte in the code page. Bytes that the code page leaves
// undefined (0x81, 0x83, 0x88, 0x90, 0x98 in Windows-1250) give U+FFFD, the replacement
// character, so that they show as something rather than vanish.
char32_t codePointOf(std::uint8_t byte, CodePage page);

// Every byte decoded (NUL bytes included: cutting at the first NUL is the caller's business).
std::string decodeToUtf8(std::span<const std::uint8_t> bytes, CodePage page = kDefaultCodePage);
std::string decodeToUtf8(std::string_view bytes, CodePage page = kDefaultCodePage);

// UTF-8 to the code page: a character the code page has no byte for, and every byte of a
// malformed UTF-8 sequence, becomes `replacement`.
std::string encodeFromUtf8(std::string_view utf8, CodePage page = kDefaultCodePage, char replacement = '?');

bool isValidUtf8(std::string_view text);

// Text of unknown encoding, as a settings file holds it: valid UTF-8 is taken as it is (a file
// saved as UTF-8), anything else is decoded through the code page (a file saved as ANSI).
std::string textToUtf8(std::string_view bytes, CodePage page = kDefaultCodePage);

void appendUtf8(std::string& out, char32_t codePoint);

// How texts travel between the program (UTF-8) and a single-byte ANSI code page. The pure code
// takes one of these as a parameter; platform/SystemText.h gives the system's own (on Windows
// the ANSI code page of the running system, through the Windows API).
struct AnsiText {
    std::function<std::string(std::string_view bytes)> toUtf8;   // ANSI bytes -> UTF-8
    std::function<std::string(std::string_view utf8)> fromUtf8; // UTF-8 -> ANSI bytes

    static AnsiText forCodePage(CodePage page);
};

} // namespace kelvo
