#include "installer/UdevScripts.h"

#include "items/UploadHook.h" // shellQuote

namespace kelvo::installer {
namespace {

constexpr std::string_view kHeader = "#!/bin/sh\n"
                                     "# Kelvo scanner, USB 04b4:8613: access for the logged-in user.\n"
                                     "set -e\n";

constexpr std::string_view kReload =
    "udevadm control --reload-rules\n"
    "udevadm trigger --action=change --subsystem-match=usb --attr-match=idVendor=04b4 --attr-match=idProduct=8613\n";

} // namespace

std::string installScript(std::string_view ruleFile) {
    std::string text(kHeader);
    text += "printf '%s\\n' " + shellQuote(kUdevRule) + " > " + shellQuote(ruleFile) + "\n";
    text += "chmod 644 " + shellQuote(ruleFile) + "\n";
    text += kReload;
    return text;
}

std::string uninstallScript(std::string_view ruleFile) {
    std::string text(kHeader);
    text += "rm -f " + shellQuote(ruleFile) + "\n";
    text += kReload;
    return text;
}

std::string reloadScript() {
    std::string text(kHeader);
    text += kReload;
    return text;
}

} // namespace kelvo::installer
