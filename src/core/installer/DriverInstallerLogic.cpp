#include "installer/DriverInstallerLogic.h"

#include "base/AtomicFile.h"

#include <cstdint>
#include <span>
#include <system_error>

namespace kelvo::installer {
namespace {

const ButtonInfo& infoOf(InstallerButton button) {
    for (const auto& info : kInstallerButtons)
        if (info.button == button) return info;
    return kInstallerButtons[0];
}

} // namespace

std::array<InstalledFile, 3> installerFiles(InstallerStyle style, std::string_view executableFolder,
                                            const AnsiText& ansi) {
    if (style == InstallerStyle::WindowsBatch)
        return {{{kInstallBatch, batchBytes(installLines(executableFolder), ansi)},
                 {kUninstallBatch, batchBytes(uninstallLines(executableFolder), ansi)},
                 {kTestSigningBatch, batchBytes(testSigningLines(executableFolder), ansi)}}};
    return {{{kInstallScript, installScript()}, {kUninstallScript, uninstallScript()}, {kReloadScript, reloadScript()}}};
}

void DriverInstallerLogic::FormShow() {
    for (const auto& file : installerFiles(setup_.style, setup_.executableFolder, setup_.ansi)) {
        const auto target = setup_.currentFolder / file.name;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.bytes.data());
        writeFileAtomically(target, std::span<const std::uint8_t>(bytes, file.bytes.size()));
        if (setup_.style == InstallerStyle::PosixScript) {
            std::error_code ec; // runnable by hand too; pkexec goes through the shell anyway
            std::filesystem::permissions(target,
                                         std::filesystem::perms::owner_exec | std::filesystem::perms::group_exec |
                                             std::filesystem::perms::others_exec,
                                         std::filesystem::perm_options::add, ec);
        }
    }
}

const char* DriverInstallerLogic::fileOf(InstallerButton button) const {
    const ButtonInfo& info = infoOf(button);
    return setup_.style == InstallerStyle::WindowsBatch ? info.batchFile : info.script;
}

RunAsRequest DriverInstallerLogic::runAsRequest(InstallerButton button) const {
    return installer::runAsRequest(fileOf(button));
}

std::optional<std::string> DriverInstallerLogic::startElevated(InstallerButton button) {
    const std::filesystem::path script = std::filesystem::absolute(setup_.currentFolder / fileOf(button));
    const std::string what = pathToUtf8(script);
    if (!setup_.starter) return "Cannot start " + what + ": nothing to start it with";
    // pkexec wants an absolute program; the script goes to the shell as its one argument.
    if (!setup_.starter->startDetached(setup_.pkexec, {pathToUtf8(setup_.shell), what}))
        return "Cannot start " + what + " with root rights: " + pathToUtf8(setup_.pkexec) + " could not be started";
    return std::nullopt;
}

} // namespace kelvo::installer
