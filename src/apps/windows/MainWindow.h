#pragma once
// The transfer program's main window, "Kelvo", in plain Win32: two download buttons, "Break",
// a one-panel status bar and the one-second connection timer. Everything it does lives in
// MainWindowLogic; this class draws the logic's state and forwards the window's events to it.
#include "ui/MainWindowLogic.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kelvo::win32 {

inline constexpr int kImagesButtonId = 201;
inline constexpr int kBreakButtonId = 202;
inline constexpr int kCinesButtonId = 203;
inline constexpr int kStatusBarId = 204;
inline constexpr UINT_PTR kTimer1Id = 1;
inline constexpr UINT kTimer1Interval = 1000;

inline constexpr int kMainClientWidth = 251;
inline constexpr int kMainClientHeight = 241;

struct MainWindowSetup {
    ui::MainWindowSetup logic; // its shell is this window: leave it empty
    bool quitOnDestroy = false;
    // Stand-ins for the modal parts, for tests; empty means the system's own.
    std::function<void(const std::wstring& text, const std::wstring& caption)> messageBox;
    std::function<std::optional<std::filesystem::path>()> folderDialog;
};

class MainWindow final : public ui::MainWindowShell {
public:
    // Creates the window hidden; the logic's timer starts with it. Throws std::runtime_error.
    explicit MainWindow(MainWindowSetup setup);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND handle() const { return hwnd_; }
    ui::MainWindowLogic& logic() { return *logic_; }
    // ShowWindow; the logic's FormShow runs when the window first becomes visible.
    void show(int showCommand);
    // Key preview: the window sees each key before the focused control. True when handled.
    bool preview(const MSG& message);

    // MainWindowShell
    void stateChanged() override;
    void errorReport(const std::string& text, const std::string& detail) override;
    std::optional<std::filesystem::path> chooseFolder() override;
    void closeWindow() override;
    ui::DesktopSize desktopSize() override;
    void applyPlacement(const ui::RestoredPlacement& placement) override;
    ui::WindowPlacement currentPlacement() override;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void layout();
    void guarded(const std::function<void()>& event);

    MainWindowSetup setup_;
    HWND hwnd_ = nullptr;
    HWND images_ = nullptr, break_ = nullptr, cines_ = nullptr, status_ = nullptr;
    HFONT font_ = nullptr;
    bool shown_ = false;
    bool timerRunning_ = false;
    std::optional<std::filesystem::path> lastFolder_;
    std::unique_ptr<ui::MainWindowLogic> logic_;
};

} // namespace kelvo::win32
