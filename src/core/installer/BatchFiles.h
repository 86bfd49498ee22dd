#pragma once
// The driver installer's three Windows batch files and the elevated start of one of them.
// `dir` is the installer's own folder as the system gives it, with its trailing backslash;
// every line adds its own backslash after it, so the paths carry a doubled one
// ("C:\Tools\\devcon.exe"), which Windows accepts. %WINDIR% is left for the interpreter.
#include "items/CodePage.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::installer {

inline constexpr const char* kInstallBatch = "install_64.bat";
inline constexpr const char* kUninstallBatch = "uninstall.bat";
inline constexpr const char* kTestSigningBatch = "run_as_administrator_64bit_windows.bat";

// The lines as UTF-8, without line ends.
std::vector<std::string> installLines(std::string_view dir);
std::vector<std::string> uninstallLines(std::string_view dir);
std::vector<std::string> testSigningLines(std::string_view dir);

// Every line followed by CR LF, in the ANSI code page, no byte-order mark.
std::string batchBytes(const std::vector<std::string>& lines, const AnsiText& ansi);

// The ShellExecuteExW request that runs a batch file elevated: verb "runas", the mask
// SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI, the bare file name (resolved against the current
// folder), no parameters, a normal window, the application's main window as owner. The record
// is zeroed first and its size is that of the platform's record (60 bytes in a 32-bit build).
struct RunAsRequest {
    static constexpr std::uint32_t kMask = 0x500;
    static constexpr int kShowNormal = 1;
    std::string verb = "runas";
    std::string file;
    std::string parameters;
    std::uint32_t mask = kMask;
    int show = kShowNormal;
};

RunAsRequest runAsRequest(std::string_view batchFile);

} // namespace kelvo::installer
