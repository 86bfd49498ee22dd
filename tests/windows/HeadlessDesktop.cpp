#include "HeadlessDesktop.h"

#include <windows.h>

#include <string>

namespace kelvo::test {
namespace {

void addNullDriverFallback() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    DWORD size = 0;
    if (RegQueryValueExW(key, L"Graphics", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        const wchar_t drivers[] = L"x11,null";
        RegSetValueExW(key, L"Graphics", 0, REG_SZ, reinterpret_cast<const BYTE*>(drivers), sizeof drivers);
    }
    RegCloseKey(key);
}

} // namespace

bool useHeadlessDesktop() {
    static const bool ready = [] {
        addNullDriverFallback();
        const std::wstring name = L"kelvo-tests-" + std::to_wstring(GetCurrentProcessId());
        HDESK desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        if (!desktop || !SetThreadDesktop(desktop)) return false;
        HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        if (!probe) return false;
        DestroyWindow(probe);
        return true;
    }();
    return ready;
}

} // namespace kelvo::test
