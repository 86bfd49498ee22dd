// The driver installer's Win32 window, driven through its real window under wine: the files it
// writes on show, its buttons, and the elevated start each button asks the shell for.
#include "InstallerWindow.h"

#include "HeadlessDesktop.h"
#include "installer/DriverInstallerLogic.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;
using installer::InstallerButton;
using ::testing::HasSubstr;

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::wstring textOf(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

// What the window handed to ShellExecuteExW, copied while its texts were alive.
struct SeenRequest {
    DWORD size = 0;
    ULONG mask = 0;
    HWND owner = nullptr;
    std::wstring verb, file;
    bool parametersIsText = false;
    std::wstring parameters;
    int show = 0;
};

class InstallerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(useHeadlessDesktop()) << "no window can be created under this wine";
        previous_ = fs::current_path();
        work_ = fs::temp_directory_path() / ("kelvo-installer-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(work_);
        fs::create_directories(work_);
        // The batch files go to the working folder, which differs from the executable's.
        fs::current_path(work_);
    }
    void TearDown() override {
        window_.reset();
        fs::current_path(previous_);
        std::error_code ec;
        fs::remove_all(work_, ec);
    }

    installer::InstallerWindow& open(fs::path currentFolder = {}) {
        installer::InstallerWindowSetup setup;
        setup.logic.currentFolder = currentFolder.empty() ? fs::current_path() : currentFolder;
        setup.logic.executableFolder = "C:\\Tools\\";
        setup.logic.style = installer::InstallerStyle::WindowsBatch;
        setup.shellExecuteEx = [this](SHELLEXECUTEINFOW& record) {
            SeenRequest seen;
            seen.size = record.cbSize;
            seen.mask = record.fMask;
            seen.owner = record.hwnd;
            seen.verb = record.lpVerb ? record.lpVerb : L"";
            seen.file = record.lpFile ? record.lpFile : L"";
            seen.parametersIsText = record.lpParameters != nullptr;
            seen.parameters = record.lpParameters ? record.lpParameters : L"";
            seen.show = record.nShow;
            requests_.push_back(seen);
            if (refuseWith_ == 0) return TRUE;
            SetLastError(refuseWith_);
            return FALSE;
        };
        setup.report = [this](HWND, const std::wstring& text) { reports_.push_back(text); };
        window_ = std::make_unique<installer::InstallerWindow>(std::move(setup));
        return *window_;
    }

    HWND button(InstallerButton which) const { return GetDlgItem(window_->handle(), installer::controlIdOf(which)); }

    fs::path previous_, work_;
    std::unique_ptr<installer::InstallerWindow> window_;
    std::vector<SeenRequest> requests_;
    std::vector<std::wstring> reports_;
    DWORD refuseWith_ = 0;
};

TEST_F(InstallerWindowTest, ShowWritesTheThreeBatchFilesIntoTheWorkingFolder) {
    std::ofstream(work_ / "uninstall.bat") << "an older file, longer than the one that replaces it\r\n\r\n\r\n";
    auto& window = open();
    EXPECT_FALSE(fs::exists(work_ / "install_64.bat")) << "written before the window is shown";

    window.show(SW_SHOWNOACTIVATE);
    ASSERT_TRUE(IsWindowVisible(window.handle()));
    EXPECT_TRUE(reports_.empty());

    // The lines name the executable's folder with its own backslash after it, %WINDIR% unexpanded.
    EXPECT_EQ(readFile(work_ / "install_64.bat"),
              "md %WINDIR%\\System32\\drivers\\CyUsb\r\n"
              "copy \"C:\\Tools\\\\CyUSB.spt\" \"%WINDIR%\\System32\\drivers\\CyUsb\"\r\n"
              "\"C:\\Tools\\\\devcon.exe\" install \"C:\\Tools\\\\CyUSB.inf\" \"USB\\VID_04B4&PID_8613\"\r\n"
              "pause\r\n");
    EXPECT_EQ(readFile(work_ / "uninstall.bat"),
              "\"C:\\Tools\\\\devcon.exe\" remove \"C:\\Tools\\\\CyUSB.inf\" \"USB\\VID_04B4&PID_8613\"\r\n"
              "pause\r\n");
    EXPECT_EQ(readFile(work_ / "run_as_administrator_64bit_windows.bat"),
              "\"C:\\Tools\\\\bcdedit\" /set testsigning on\r\n"
              "pause\r\n");
    // And byte for byte what the core builds for the same folder.
    for (const auto& file : installer::installerFiles(installer::InstallerStyle::WindowsBatch, "C:\\Tools\\",
                                                      AnsiText::forCodePage(kDefaultCodePage)))
        EXPECT_EQ(readFile(work_ / file.name), file.bytes) << file.name;
}

TEST_F(InstallerWindowTest, WindowAndButtonsAsDesigned) {
    auto& window = open();
    EXPECT_EQ(textOf(window.handle()), L"Form53");
    RECT client{};
    GetClientRect(window.handle(), &client);
    EXPECT_EQ(client.right - client.left, 635);
    EXPECT_EQ(client.bottom - client.top, 222);

    struct Expected {
        InstallerButton which;
        const wchar_t* caption;
        int left, top;
    };
    for (const Expected& e : {Expected{InstallerButton::Install, L"Install DRIVER", 32, 24},
                              Expected{InstallerButton::Enable, L"Enable DRIVER", 32, 55},
                              Expected{InstallerButton::Remove, L"Remove DRIVER", 32, 152}}) {
        HWND b = button(e.which);
        ASSERT_NE(b, nullptr) << installer::controlIdOf(e.which);
        EXPECT_EQ(textOf(b), e.caption);
        RECT r{};
        GetWindowRect(b, &r);
        MapWindowPoints(HWND_DESKTOP, window.handle(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, e.left);
        EXPECT_EQ(r.top, e.top);
        EXPECT_EQ(r.right - r.left, 129);
        EXPECT_EQ(r.bottom - r.top, 25);
    }
}

TEST_F(InstallerWindowTest, EachButtonAsksTheShellToRunItsBatchFileElevated) {
    auto& window = open();
    window.show(SW_SHOWNOACTIVATE);
    const std::pair<InstallerButton, const wchar_t*> cases[] = {
        {InstallerButton::Install, L"install_64.bat"},
        {InstallerButton::Enable, L"run_as_administrator_64bit_windows.bat"},
        {InstallerButton::Remove, L"uninstall.bat"},
    };
    for (const auto& [which, file] : cases) {
        requests_.clear();
        SendMessageW(button(which), BM_CLICK, 0, 0);
        ASSERT_EQ(requests_.size(), 1u) << installer::controlIdOf(which);
        const SeenRequest& seen = requests_[0];
        EXPECT_EQ(seen.size, sizeof(SHELLEXECUTEINFOW));
        EXPECT_EQ(seen.mask, static_cast<ULONG>(SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI));
        EXPECT_EQ(seen.mask, 0x500u);
        EXPECT_EQ(seen.owner, window.handle());
        EXPECT_EQ(seen.verb, L"runas");
        EXPECT_EQ(seen.file, file); // the bare name: the shell resolves it against the working folder
        EXPECT_TRUE(seen.parametersIsText);
        EXPECT_EQ(seen.parameters, L"");
        EXPECT_EQ(seen.show, SW_SHOWNORMAL);
    }
    EXPECT_TRUE(reports_.empty());

    // A second press starts it again.
    requests_.clear();
    SendMessageW(button(InstallerButton::Install), BM_CLICK, 0, 0);
    SendMessageW(button(InstallerButton::Install), BM_CLICK, 0, 0);
    ASSERT_EQ(requests_.size(), 2u);
    EXPECT_EQ(requests_[1].file, L"install_64.bat");
}

TEST_F(InstallerWindowTest, RefusedElevationReportsTheSystemErrorAndCanBeTriedAgain) {
    auto& window = open();
    window.show(SW_SHOWNOACTIVATE);
    refuseWith_ = ERROR_CANCELLED;
    SendMessageW(button(InstallerButton::Remove), BM_CLICK, 0, 0);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_THAT(reports_[0], HasSubstr(L"System Error.  Code: 1223.\r\n"));
    EXPECT_EQ(reports_[0], installer::systemErrorReport(ERROR_CANCELLED));
    EXPECT_GT(reports_[0].size(), std::wstring(L"System Error.  Code: 1223.\r\n").size()) << "no system text";

    refuseWith_ = 0;
    SendMessageW(button(InstallerButton::Remove), BM_CLICK, 0, 0);
    EXPECT_EQ(requests_.size(), 2u);
    EXPECT_EQ(reports_.size(), 1u);
}

TEST_F(InstallerWindowTest, UnwritableFolderIsReportedAndLeavesTheLaterFilesUnwritten) {
    const fs::path missing = work_ / "no such folder";
    auto& window = open(missing);
    window.show(SW_SHOWNOACTIVATE);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_FALSE(reports_[0].empty());
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(IsWindowVisible(window.handle())); // the window stays; its buttons still work
}

} // namespace
} // namespace kelvo::test
