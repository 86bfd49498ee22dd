#pragma once
// The system's own ANSI code page. On Windows: the code page of the running system (GetACP),
// through MultiByteToWideChar / WideCharToMultiByte; a character it has no byte for becomes
// '?'. Elsewhere there is no such thing: Windows-1250, the scanner's code page, stands in.
#include "items/CodePage.h"

#include <string>
#include <string_view>

namespace kelvo::platform {

AnsiText systemAnsiText();

#ifdef _WIN32
std::wstring utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::wstring_view wide);
#endif

} // namespace kelvo::platform
