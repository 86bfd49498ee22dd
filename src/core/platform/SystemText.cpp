#include "platform/SystemText.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelvo::platform {

#ifdef _WIN32
namespace {

std::wstring toWide(UINT page, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::string fromWide(UINT page, std::wstring_view wide) {
    if (wide.empty()) return {};
    const char* defaultChar = page == CP_UTF8 ? nullptr : "?";
    const int n = WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, defaultChar,
                                      nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, defaultChar, nullptr);
    return out;
}

} // namespace

std::wstring utf8ToWide(std::string_view utf8) { return toWide(CP_UTF8, utf8); }
std::string wideToUtf8(std::wstring_view wide) { return fromWide(CP_UTF8, wide); }

AnsiText systemAnsiText() {
    return AnsiText{[](std::string_view bytes) { return fromWide(CP_UTF8, toWide(CP_ACP, bytes)); },
                    [](std::string_view utf8) { return fromWide(CP_ACP, toWide(CP_UTF8, utf8)); }};
}
#else
AnsiText systemAnsiText() { return AnsiText::forCodePage(kDefaultCodePage); }
#endif

} // namespace kelvo::platform
