#include "installer/BatchFiles.h"

namespace kelvo::installer {
namespace {

constexpr std::string_view kHardwareId = "\"USB\\VID_04B4&PID_8613\"";

std::string devconLine(std::string_view dir, std::string_view verb) {
    const std::string d(dir);
    return "\"" + d + "\\devcon.exe\" " + std::string(verb) + " \"" + d + "\\CyUSB.inf\" " + std::string(kHardwareId);
}

} // namespace

std::vector<std::string> installLines(std::string_view dir) {
    const std::string d(dir);
    return {
        "md %WINDIR%\\System32\\drivers\\CyUsb",
        "copy \"" + d + "\\CyUSB.spt\" \"%WINDIR%\\System32\\drivers\\CyUsb\"",
        devconLine(dir, "install"),
        "pause",
    };
}

std::vector<std::string> uninstallLines(std::string_view dir) { return {devconLine(dir, "remove"), "pause"}; }

std::vector<std::string> testSigningLines(std::string_view dir) {
    return {"\"" + std::string(dir) + "\\bcdedit\" /set testsigning on", "pause"};
}

std::string batchBytes(const std::vector<std::string>& lines, const AnsiText& ansi) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return ansi.fromUtf8 ? ansi.fromUtf8(text) : encodeFromUtf8(text);
}

RunAsRequest runAsRequest(std::string_view batchFile) {
    RunAsRequest request;
    request.file = std::string(batchFile);
    return request;
}

} // namespace kelvo::installer
