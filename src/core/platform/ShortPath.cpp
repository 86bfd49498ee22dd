#include "platform/ShortPath.h"

#include "base/AtomicFile.h"

#ifdef _WIN32
#include "platform/SystemText.h"

#include <windows.h>

#include <vector>
#endif

namespace kelvo::platform {

std::string shortPathText(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::wstring longPath = path.wstring();
    const DWORD needed = GetShortPathNameW(longPath.c_str(), nullptr, 0);
    if (needed == 0) return {}; // missing, or the system could not tell
    std::vector<wchar_t> buffer(needed);
    const DWORD length = GetShortPathNameW(longPath.c_str(), buffer.data(), needed);
    if (length == 0 || length >= needed) return {};
    return wideToUtf8(std::wstring_view(buffer.data(), length));
#else
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return {};
    return pathToUtf8(path);
#endif
}

} // namespace kelvo::platform
