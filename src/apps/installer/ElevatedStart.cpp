#include "ElevatedStart.h"

#include "platform/SystemText.h"

#include <cstring>

namespace kelvo::installer {

ShellExecuteExCall systemShellExecuteEx() {
    return [](SHELLEXECUTEINFOW& record) { return ShellExecuteExW(&record); };
}

SHELLEXECUTEINFOW shellExecuteRecord(const RunAsRequest& request, HWND owner, ShellExecuteTexts& texts) {
    texts.verb = platform::utf8ToWide(request.verb);
    texts.file = platform::utf8ToWide(request.file);
    texts.parameters = platform::utf8ToWide(request.parameters);

    SHELLEXECUTEINFOW record;
    std::memset(&record, 0, sizeof record);
    record.cbSize = sizeof record;
    record.fMask = request.mask;
    record.hwnd = owner;
    record.lpVerb = texts.verb.c_str();
    record.lpFile = texts.file.c_str();
    record.lpParameters = texts.parameters.c_str(); // an empty text, not a null pointer
    record.nShow = request.show;
    return record;
}

std::wstring systemErrorReport(DWORD code) {
    std::wstring text = L"System Error.  Code: " + std::to_wstring(code) + L".\r\n";
    wchar_t* message = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (n > 0 && message) {
        std::wstring system(message, n);
        while (!system.empty() && (system.back() == L'\n' || system.back() == L'\r' || system.back() == L' '))
            system.pop_back();
        text += system;
    }
    if (message) LocalFree(message);
    return text;
}

} // namespace kelvo::installer
