#pragma once
// Starting one of the installer's batch files with administrator rights through the shell, and
// the text a refusal is reported with.
#include "installer/BatchFiles.h"

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

namespace kelvo::installer {

// The shell's call, behind a function so that tests see the request without elevating anything.
using ShellExecuteExCall = std::function<BOOL(SHELLEXECUTEINFOW&)>;
ShellExecuteExCall systemShellExecuteEx();

// The wide texts a SHELLEXECUTEINFOW points into; they must outlive the call.
struct ShellExecuteTexts {
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
};

// The record zeroed, then size, mask, owner, verb, file, parameters and show command set from
// the request. The record's size is the platform's own (sizeof(SHELLEXECUTEINFOW)).
SHELLEXECUTEINFOW shellExecuteRecord(const RunAsRequest& request, HWND owner, ShellExecuteTexts& texts);

// "System Error.  Code: 1223.\r\n" followed by the system's text for the code, as the
// application's error report shows an operating-system error.
std::wstring systemErrorReport(DWORD code);

} // namespace kelvo::installer
