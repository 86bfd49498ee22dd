#pragma once
// The driver installer's window without its toolkit: on show it writes its three files into
// the current folder, and each button runs one of them with root / administrator rights.
//
//   Windows        the three batch files; the window hands RunAsRequest to ShellExecuteExW and
//                  reports a refusal (the last OS error) itself.
//   Linux, macOS   the three udev scripts; started here as pkexec /bin/sh <script> through a
//                  ProcessStarter, not waited for.
#include "installer/BatchFiles.h"
#include "installer/UdevScripts.h"
#include "items/CodePage.h"
#include "platform/ProcessStarter.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace kelvo::installer {

enum class InstallerStyle { WindowsBatch, PosixScript };
#ifdef _WIN32
inline constexpr InstallerStyle kNativeInstallerStyle = InstallerStyle::WindowsBatch;
#else
inline constexpr InstallerStyle kNativeInstallerStyle = InstallerStyle::PosixScript;
#endif

inline constexpr const char* kInstallerCaption = "Form53";

enum class InstallerButton { Install, Enable, Remove };

// The window's buttons, each 129 x 25.
struct ButtonInfo {
    InstallerButton button;
    const char* name;
    const char* caption;
    int left, top;
    const char* batchFile;
    const char* script;
};
inline constexpr std::array<ButtonInfo, 3> kInstallerButtons{{
    {InstallerButton::Install, "btn1", "Install DRIVER", 32, 24, kInstallBatch, kInstallScript},
    {InstallerButton::Enable, "Button1", "Enable DRIVER", 32, 55, kTestSigningBatch, kReloadScript},
    {InstallerButton::Remove, "btn2", "Remove DRIVER", 32, 152, kUninstallBatch, kUninstallScript},
}};
inline constexpr int kInstallerButtonWidth = 129;
inline constexpr int kInstallerButtonHeight = 25;

struct InstalledFile {
    std::string name;  // bare file name
    std::string bytes; // exact content
};

// The three files in the order they are written: install, uninstall, the third.
// `executableFolder` (UTF-8, with its trailing separator) only matters to the batch files.
std::array<InstalledFile, 3> installerFiles(InstallerStyle style, std::string_view executableFolder,
                                            const AnsiText& ansi);

struct InstallerSetup {
    std::filesystem::path currentFolder;  // where the files go and are started from
    std::string executableFolder;         // UTF-8, with its trailing separator
    InstallerStyle style = kNativeInstallerStyle;
    AnsiText ansi = AnsiText::forCodePage(kDefaultCodePage);
    platform::ProcessStarter* starter = nullptr;
    std::filesystem::path pkexec = "/usr/bin/pkexec";
    std::filesystem::path shell = "/bin/sh";
};

class DriverInstallerLogic {
public:
    explicit DriverInstallerLogic(InstallerSetup setup) : setup_(std::move(setup)) {}

    // Writes the three files, each replaced whole; throws std::runtime_error at the first that
    // cannot be written, leaving the later ones unwritten. Scripts are made executable.
    void FormShow();

    const char* fileOf(InstallerButton button) const;
    // The request the Windows window passes to ShellExecuteExW.
    RunAsRequest runAsRequest(InstallerButton button) const;
    // POSIX: starts pkexec /bin/sh <current folder>/<script>. Nothing on success; the text to
    // report when the start was refused. A second press starts it again.
    std::optional<std::string> startElevated(InstallerButton button);

private:
    InstallerSetup setup_;
};

} // namespace kelvo::installer
