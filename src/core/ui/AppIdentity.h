#pragma once
// What the transfer program takes from its own file name: the title of its message boxes and
// the height of its main window.
#include <optional>
#include <string>
#include <string_view>

namespace kelvo::ui {

// The name the program ships under, upper-cased, without the executable suffix.
inline constexpr std::string_view kShippedNameUpper = "KELVO_TRANSMISION";
#ifdef _WIN32
inline constexpr std::string_view kExecutableSuffixUpper = ".EXE";
#else
inline constexpr std::string_view kExecutableSuffixUpper = "";
#endif

// The project source file that marks the program's own source folder: a window started there
// keeps the height it was designed with. The shell's CMake source list carries this name.
inline constexpr std::string_view kProjectSourceFile = "Kelvo_transmision.cmake";

// Outer heights of the main window: the short one shows only "Get Kelvo images", a shortened
// "Break" and the status bar; the full one shows the whole design with both download buttons.
inline constexpr int kShortWindowHeight = 163;
inline constexpr int kFullWindowHeight = 273;

// ASCII letters only: other bytes (UTF-8 sequences among them) stay as they are.
std::string asciiUpper(std::string_view text);

// The message-box caption: the executable's file name (no folder), cut at its first full stop,
// every letter after the first in lower case. "KELVO_TRANSMISION.EXE" gives "Kelvo_transmision".
std::string applicationTitle(std::string_view executableFileName);

// The outer height the window takes on show: nothing (keep the designed height) when the
// project source file lies in the working folder; otherwise the short height when the file name
// upper-cased equals the shipped name plus the executable suffix, the full height for any other.
std::optional<int> windowHeight(std::string_view executableFileName, bool projectSourceFileInWorkingFolder,
                                std::string_view executableSuffixUpper = kExecutableSuffixUpper);

} // namespace kelvo::ui
