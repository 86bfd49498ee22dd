#pragma once
// The installer's one window, "Form53", in plain Win32: showing it writes the three batch files
// into the current folder, and each of its three buttons starts one of them elevated. What the
// window does lives in DriverInstallerLogic; this class only draws it and forwards the events.
#include "ElevatedStart.h"
#include "installer/DriverInstallerLogic.h"

#include <windows.h>

#include <functional>
#include <string>

namespace kelvo::installer {

// The buttons' control ids, in the order of kInstallerButtons.
inline constexpr int kFirstButtonId = 101;
int controlIdOf(InstallerButton button);

// Client area of the window as designed.
inline constexpr int kInstallerClientWidth = 635;
inline constexpr int kInstallerClientHeight = 222;

struct InstallerWindowSetup {
    InstallerSetup logic;
    ShellExecuteExCall shellExecuteEx = systemShellExecuteEx();
    // The application's error report; by default a modal box with OK and the stop icon.
    std::function<void(HWND owner, const std::wstring& text)> report;
    std::wstring title = L"Driver_installer"; // caption of the error report
    bool quitOnClose = false;                 // the program's main window ends the message loop
};

class InstallerWindow {
public:
    // Creates the window hidden, with its buttons. Throws std::runtime_error when it cannot.
    explicit InstallerWindow(InstallerWindowSetup setup);
    ~InstallerWindow();
    InstallerWindow(const InstallerWindow&) = delete;
    InstallerWindow& operator=(const InstallerWindow&) = delete;

    HWND handle() const { return hwnd_; }
    // ShowWindow; the batch files are written when the window becomes visible.
    void show(int showCommand);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createButtons();
    void FormShow();
    void buttonClick(InstallerButton button);
    void report(const std::wstring& text);

    InstallerWindowSetup setup_;
    DriverInstallerLogic logic_;
    HWND hwnd_ = nullptr;
};

} // namespace kelvo::installer
