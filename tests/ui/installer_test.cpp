// The driver installer's batch files, its udev scripts, and how it writes and starts them.
#include "installer/DriverInstallerLogic.h"
#include "UiFakes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;
using installer::InstallerButton;
using installer::InstallerStyle;

struct TempFolder {
    TempFolder() {
        std::random_device rd;
        path = fs::temp_directory_path() / ("kelvo-inst-" + std::to_string(rd()));
        fs::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const AnsiText kAnsi = AnsiText::forCodePage(CodePage::Windows1250);

TEST(BatchFiles, LineForLineWithDoubledBackslashesAndWindirLeftAlone) {
    const auto files = installer::installerFiles(InstallerStyle::WindowsBatch, "C:\\Tools\\", kAnsi);
    EXPECT_EQ(files[0].name, "install_64.bat");
    EXPECT_EQ(files[0].bytes, "md %WINDIR%\\System32\\drivers\\CyUsb\r\n"
                              "copy \"C:\\Tools\\\\CyUSB.spt\" \"%WINDIR%\\System32\\drivers\\CyUsb\"\r\n"
                              "\"C:\\Tools\\\\devcon.exe\" install \"C:\\Tools\\\\CyUSB.inf\" \"USB\\VID_04B4&PID_8613\"\r\n"
                              "pause\r\n");
    EXPECT_EQ(files[1].name, "uninstall.bat");
    EXPECT_EQ(files[1].bytes,
              "\"C:\\Tools\\\\devcon.exe\" remove \"C:\\Tools\\\\CyUSB.inf\" \"USB\\VID_04B4&PID_8613\"\r\n"
              "pause\r\n");
    EXPECT_EQ(files[2].name, "run_as_administrator_64bit_windows.bat");
    EXPECT_EQ(files[2].bytes, "\"C:\\Tools\\\\bcdedit\" /set testsigning on\r\npause\r\n");
}

TEST(BatchFiles, WrittenInTheAnsiCodePageWithoutByteOrderMark) {
    // "C:\Narzędzia\" : 'ę' is 0xEA in Windows-1250.
    const auto files = installer::installerFiles(InstallerStyle::WindowsBatch, "C:\\Narz\xC4\x99" "dzia\\", kAnsi);
    EXPECT_EQ(files[2].bytes, "\"C:\\Narz\xEA" "dzia\\\\bcdedit\" /set testsigning on\r\npause\r\n");
    for (const auto& f : files) EXPECT_NE(static_cast<unsigned char>(f.bytes[0]), 0xEF) << f.name;
}

TEST(BatchFiles, EachButtonRunsItsFileElevated) {
    installer::InstallerSetup setup;
    setup.style = InstallerStyle::WindowsBatch;
    const installer::DriverInstallerLogic logic(setup);
    struct Case {
        InstallerButton button;
        const char* file;
    };
    for (const Case c : {Case{InstallerButton::Install, "install_64.bat"},
                         Case{InstallerButton::Enable, "run_as_administrator_64bit_windows.bat"},
                         Case{InstallerButton::Remove, "uninstall.bat"}}) {
        const installer::RunAsRequest r = logic.runAsRequest(c.button);
        EXPECT_EQ(r.verb, "runas");
        EXPECT_EQ(r.file, c.file);
        EXPECT_EQ(r.parameters, "");
        EXPECT_EQ(r.mask, 0x500u);
        EXPECT_EQ(r.show, 1);
    }
}

TEST(InstallerFiles, WrittenIntoTheCurrentFolderNamingTheExecutablesFolder) {
    TempFolder current;
    installer::InstallerSetup setup;
    setup.currentFolder = current.path;
    setup.executableFolder = "D:\\Kelvo\\";
    setup.style = InstallerStyle::WindowsBatch;
    setup.ansi = kAnsi;
    fs::create_directories(current.path);
    { std::ofstream(current.path / "uninstall.bat") << "old content, longer than the new one................"; }
    installer::DriverInstallerLogic logic(setup);
    logic.FormShow();
    const auto expected = installer::installerFiles(InstallerStyle::WindowsBatch, "D:\\Kelvo\\", kAnsi);
    for (const auto& f : expected) EXPECT_EQ(readFile(current.path / f.name), f.bytes) << f.name;
    EXPECT_NE(readFile(current.path / "install_64.bat").find("D:\\Kelvo\\\\devcon.exe"), std::string::npos);
}

TEST(InstallerFiles, AFileThatCannotBeWrittenStopsTheRest) {
    TempFolder current;
    fs::create_directories(current.path / "uninstall.bat"); // a folder where the file should go
    installer::InstallerSetup setup;
    setup.currentFolder = current.path;
    setup.style = InstallerStyle::WindowsBatch;
    installer::DriverInstallerLogic logic(setup);
    EXPECT_THROW(logic.FormShow(), std::runtime_error);
    EXPECT_TRUE(fs::exists(current.path / "install_64.bat"));
    EXPECT_FALSE(fs::exists(current.path / "run_as_administrator_64bit_windows.bat"));
}

TEST(UdevScripts, TheRuleAndTheReload) {
    const std::string reload =
        "udevadm control --reload-rules\n"
        "udevadm trigger --action=change --subsystem-match=usb --attr-match=idVendor=04b4 --attr-match=idProduct=8613\n";
    const std::string header = "#!/bin/sh\n# Kelvo scanner, USB 04b4:8613: access for the logged-in user.\nset -e\n";
    EXPECT_EQ(installer::installScript(),
              header +
                  "printf '%s\\n' 'SUBSYSTEM==\"usb\", ATTR{idVendor}==\"04b4\", ATTR{idProduct}==\"8613\", "
                  "TAG+=\"uaccess\"' > '/etc/udev/rules.d/70-kelvo.rules'\n"
                  "chmod 644 '/etc/udev/rules.d/70-kelvo.rules'\n" +
                  reload);
    EXPECT_EQ(installer::uninstallScript(), header + "rm -f '/etc/udev/rules.d/70-kelvo.rules'\n" + reload);
    EXPECT_EQ(installer::reloadScript(), header + reload);
}

#ifndef _WIN32
// Runs a script with a stand-in udevadm first on PATH; returns the shell's status.
int runScript(const fs::path& folder, const std::string& script) {
    const fs::path bin = folder / "bin";
    fs::create_directories(bin);
    {
        std::ofstream udevadm(bin / "udevadm");
        udevadm << "#!/bin/sh\necho \"$*\" >> '" << (folder / "udevadm.log").string() << "'\n";
    }
    fs::permissions(bin / "udevadm", fs::perms::owner_all);
    { std::ofstream(folder / "script.sh", std::ios::binary) << script; }
    const std::string command =
        "PATH='" + bin.string() + "':\"$PATH\" /bin/sh '" + (folder / "script.sh").string() + "' 2>/dev/null";
    return std::system(command.c_str());
}

TEST(UdevScripts, InstallWritesTheRuleAndUninstallRemovesIt) {
    TempFolder folder;
    const fs::path rule = folder.path / "rules.d" / "70-kelvo.rules";
    fs::create_directories(rule.parent_path());
    ASSERT_EQ(runScript(folder.path, installer::installScript(rule.string())), 0);
    EXPECT_EQ(readFile(rule), std::string(installer::kUdevRule) + "\n");
    const std::string trigger =
        "trigger --action=change --subsystem-match=usb --attr-match=idVendor=04b4 --attr-match=idProduct=8613\n";
    EXPECT_EQ(readFile(folder.path / "udevadm.log"), "control --reload-rules\n" + trigger);

    ASSERT_EQ(runScript(folder.path, installer::uninstallScript(rule.string())), 0);
    EXPECT_FALSE(fs::exists(rule));
    ASSERT_EQ(runScript(folder.path, installer::reloadScript()), 0);
    EXPECT_EQ(readFile(folder.path / "udevadm.log"), "control --reload-rules\n" + trigger +
                                                         "control --reload-rules\n" + trigger +
                                                         "control --reload-rules\n" + trigger);

    // A rule that cannot be written stops the script before it reloads anything.
    EXPECT_NE(runScript(folder.path, installer::installScript((folder.path / "missing" / "x.rules").string())), 0);
    EXPECT_EQ(readFile(folder.path / "udevadm.log").size(), 3 * ("control --reload-rules\n" + trigger).size());
}
#endif

TEST(UdevScripts, WrittenExecutableAndStartedThroughPkexecARefusalReported) {
    TempFolder current;
    RecordingStarter starter;
    installer::InstallerSetup setup;
    setup.currentFolder = current.path;
    setup.style = InstallerStyle::PosixScript;
    setup.starter = &starter;
    installer::DriverInstallerLogic logic(setup);
    logic.FormShow();
    EXPECT_EQ(readFile(current.path / "install_udev_rule.sh"), installer::installScript());
    EXPECT_EQ(readFile(current.path / "uninstall_udev_rule.sh"), installer::uninstallScript());
    EXPECT_EQ(readFile(current.path / "reload_udev_rules.sh"), installer::reloadScript());
#ifndef _WIN32
    EXPECT_NE(fs::status(current.path / "install_udev_rule.sh").permissions() & fs::perms::owner_exec,
              fs::perms::none);
#endif

    EXPECT_EQ(logic.startElevated(InstallerButton::Install), std::nullopt);
    EXPECT_EQ(logic.startElevated(InstallerButton::Install), std::nullopt); // twice, two starts
    EXPECT_EQ(logic.startElevated(InstallerButton::Remove), std::nullopt);
    EXPECT_EQ(logic.startElevated(InstallerButton::Enable), std::nullopt);
    ASSERT_EQ(starter.started.size(), 4u);
    const auto script = [&](const char* name) { return pathToUtf8(fs::absolute(current.path / name)); };
    EXPECT_EQ(starter.started[0].program, fs::path("/usr/bin/pkexec"));
    EXPECT_EQ(starter.started[0].arguments, (std::vector<std::string>{"/bin/sh", script("install_udev_rule.sh")}));
    EXPECT_EQ(starter.started[1].arguments, starter.started[0].arguments);
    EXPECT_EQ(starter.started[2].arguments[1], script("uninstall_udev_rule.sh"));
    EXPECT_EQ(starter.started[3].arguments[1], script("reload_udev_rules.sh"));

    starter.answer = false;
    const auto refused = logic.startElevated(InstallerButton::Install);
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find("install_udev_rule.sh"), std::string::npos);
}

} // namespace
} // namespace kelvo::test
