// The transfer program's Win32 main window and selection dialog, driven through their real
// windows under wine against the simulated scanner: connection on show, the window's height
// rule, Esc, and an image run through the selection dialog.
#include "MainWindow.h"
#include "SelectionDialog.h"
#include "WorkflowRunner.h"

#include "HeadlessDesktop.h"
#include "base/Clock.h"
#include "platform/ProcessStarter.h"
#include "session/SimulatedScanner.h"
#include "ui/SelectionLogic.h"

#include <commctrl.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;

class RecordingStarter final : public platform::ProcessStarter {
public:
    bool shellOpen(const fs::path& file) override {
        opened.push_back(file);
        return true;
    }
    bool startDetached(const fs::path&, const std::vector<std::string>&) override { return true; }
    std::vector<fs::path> opened;
};

std::wstring textOf(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::size_t bitmapsIn(const fs::path& folder) {
    std::size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".bmp") ++n;
    return n;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(useHeadlessDesktop()) << "no window can be created under this wine";
        folder_ = fs::temp_directory_path() / ("kelvo-main-window-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        scanner_ = std::make_unique<SimulatedScanner>(std::nullopt, clock_);
    }
    void TearDown() override {
        window_.reset();
        dialog_.reset();
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    win32::MainWindow& open(const std::string& fileName) {
        win32::WorkflowWindows windows;
        windows.status = [this](const std::string& text) { window_->logic().UpdateSTR(text); };
        windows.message = [this](const std::string& text) { messages_.push_back(text); };
        windows.select = [this](std::span<const std::unique_ptr<TImageData>> entries) {
            return ui::selectThroughDialog(selection_, entries,
                                           [this](ui::SelectionLogic& logic) { return dialog_->showModal(logic); });
        };
        windows.preview = [this](const MSG& m) { return window_->preview(m); };
        runner_ = std::make_unique<win32::UiThreadRunner>(std::move(windows));

        win32::MainWindowSetup setup;
        setup.logic.backend = &scanner_->backend();
        setup.logic.clock = &clock_;
        setup.logic.runner = runner_.get();
        setup.logic.starter = &starter_;
        setup.logic.executableFileName = fileName;
        setup.messageBox = [this](const std::wstring& text, const std::wstring&) { reports_.push_back(text); };
        setup.folderDialog = [this]() -> std::optional<fs::path> { return folder_; };
        window_ = std::make_unique<win32::MainWindow>(std::move(setup));
        runner_->onFinished([this](ui::RunEnd end, const std::string& text) { window_->logic().runFinished(end, text); });
        dialog_ = std::make_unique<win32::SelectionDialog>(window_->handle());
        window_->show(SW_SHOWNOACTIVATE);
        pump(); // FormShow comes once the window is visible
        return *window_;
    }

    HWND item(int id) const { return GetDlgItem(window_->handle(), id); }
    std::wstring statusText() const {
        wchar_t buffer[128] = {};
        SendMessageW(item(win32::kStatusBarId), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    // Queues clicks for the selection dialog's modal loop, which serves them once it runs.
    void answerDialogWith(std::initializer_list<int> buttonIds) {
        for (int id : buttonIds) PostMessageW(GetDlgItem(dialog_->handle(), id), BM_CLICK, 0, 0);
    }

    VirtualClock clock_;
    fs::path folder_;
    std::unique_ptr<SimulatedScanner> scanner_;
    RecordingStarter starter_;
    ui::SelectionLogic selection_;
    std::unique_ptr<win32::UiThreadRunner> runner_;
    std::unique_ptr<win32::MainWindow> window_;
    std::unique_ptr<win32::SelectionDialog> dialog_;
    std::vector<std::string> messages_;
    std::vector<std::wstring> reports_;
};

TEST_F(MainWindowTest, ShowConnectsToTheScannerAndEnablesTheDownloadButtons) {
    auto& window = open("Kelvo_transmision.exe");
    EXPECT_EQ(textOf(window.handle()), L"Kelvo");
    EXPECT_EQ(statusText(), L"Connected !");
    EXPECT_TRUE(IsWindowEnabled(item(win32::kImagesButtonId)));
    EXPECT_TRUE(IsWindowEnabled(item(win32::kCinesButtonId)));
    EXPECT_FALSE(IsWindowEnabled(item(win32::kBreakButtonId)));
    EXPECT_EQ(textOf(item(win32::kImagesButtonId)), L"Get Kelvo images");
    EXPECT_EQ(textOf(item(win32::kCinesButtonId)), L"Get Kelvo\r\ncines");
    EXPECT_TRUE(reports_.empty());
    // The timer's next tick after the connection stops it for good.
    SendMessageW(window.handle(), WM_TIMER, win32::kTimer1Id, 0);
    EXPECT_FALSE(window.logic().timerEnabled());
}

TEST_F(MainWindowTest, HeightFollowsTheExecutableName) {
    for (const auto& [name, height] : {std::pair{"KELVO_transmision.EXE", 163}, std::pair{"kelvo-copy.exe", 273}}) {
        auto& window = open(name);
        RECT r{};
        GetWindowRect(window.handle(), &r);
        EXPECT_EQ(r.bottom - r.top, height) << name;
        RECT client{};
        GetClientRect(window.handle(), &client);
        EXPECT_EQ(client.right - client.left, win32::kMainClientWidth) << name;
        // "Break" keeps its distance from the bottom edge; the status bar stays docked there.
        RECT b{};
        GetWindowRect(item(win32::kBreakButtonId), &b);
        MapWindowPoints(HWND_DESKTOP, window.handle(), reinterpret_cast<POINT*>(&b), 2);
        EXPECT_EQ(client.bottom - b.bottom, 32) << name;
        window_.reset();
        dialog_.reset();
    }
}

TEST_F(MainWindowTest, EscWhileIdleClosesTheWindow) {
    auto& window = open("Kelvo_transmision.exe");
    MSG esc{};
    esc.hwnd = item(win32::kImagesButtonId);
    esc.message = WM_KEYDOWN;
    esc.wParam = VK_ESCAPE;
    EXPECT_TRUE(window.preview(esc));
    pump();
    EXPECT_EQ(window.handle(), nullptr);
}

TEST_F(MainWindowTest, ImageRunDownloadsWhatIsTickedInTheSelectionDialog) {
    open("Kelvo_transmision.exe");
    answerDialogWith({win32::kSelectUncheckAllId, win32::kSelectOkId});
    SendMessageW(item(win32::kImagesButtonId), BM_CLICK, 0, 0);
    ASSERT_FALSE(selection_.rows().empty()) << "the built-in card has stored images";
    EXPECT_EQ(bitmapsIn(folder_), 0u);
    EXPECT_EQ(statusText(), L"Finish!");
    ASSERT_EQ(starter_.opened.size(), 1u);
    EXPECT_EQ(starter_.opened[0], folder_);
    EXPECT_TRUE(IsWindowEnabled(item(win32::kImagesButtonId)));
    EXPECT_FALSE(IsWindowEnabled(item(win32::kBreakButtonId)));

    answerDialogWith({win32::kSelectOkId}); // every row ticked at first
    SendMessageW(item(win32::kImagesButtonId), BM_CLICK, 0, 0);
    EXPECT_EQ(bitmapsIn(folder_), selection_.rows().size());
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(reports_.empty());
}

TEST_F(MainWindowTest, CancelledSelectionDownloadsNothing) {
    open("Kelvo_transmision.exe");
    answerDialogWith({win32::kSelectCancelId});
    SendMessageW(item(win32::kImagesButtonId), BM_CLICK, 0, 0);
    EXPECT_EQ(bitmapsIn(folder_), 0u);
    EXPECT_TRUE(IsWindowEnabled(item(win32::kImagesButtonId)));
}

} // namespace
} // namespace kelvo::test
