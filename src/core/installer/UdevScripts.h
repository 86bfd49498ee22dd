#pragma once
// The installer's counterparts elsewhere: the scanner needs no driver there, only a udev rule
// that lets the logged-in user open USB 04b4:8613. Three POSIX scripts (UTF-8, LF), each run
// with root rights through pkexec: install the rule, remove it, reload the rules and re-trigger
// the scanner so that a plugged-in one gets its access at once.
#include <string>
#include <string_view>

namespace kelvo::installer {

inline constexpr const char* kInstallScript = "install_udev_rule.sh";
inline constexpr const char* kUninstallScript = "uninstall_udev_rule.sh";
inline constexpr const char* kReloadScript = "reload_udev_rules.sh";

inline constexpr const char* kUdevRuleFile = "/etc/udev/rules.d/70-kelvo.rules";
// Numbered below 73 so that systemd's seat rules, which act on "uaccess", see the tag.
inline constexpr const char* kUdevRule =
    "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"04b4\", ATTR{idProduct}==\"8613\", TAG+=\"uaccess\"";

// The rule file's path is a parameter so that the scripts can be tried on a folder of one's own.
std::string installScript(std::string_view ruleFile = kUdevRuleFile);
std::string uninstallScript(std::string_view ruleFile = kUdevRuleFile);
std::string reloadScript();

} // namespace kelvo::installer
