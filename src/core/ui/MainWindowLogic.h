#pragma once
// The main window of the transfer program without its toolkit: the connection loop, the status
// text, which buttons are enabled, the run control, Esc, the window height and the placement
// file. The Qt and Win32 windows draw what this holds and forward their events to it.
//
// Threads: every member is called on the user-interface thread. The one thing that crosses
// threads is the running transfer object's break flag, reached through RunningTransfer: the
// workflow (on a worker thread in the windows) attaches its transfer object there, and "Break",
// Esc and a close request set its flag from this thread. The runner hands the end of a run back
// with runFinished(), again on the user-interface thread.
#include "base/Clock.h"
#include "device/DeviceBackend.h"
#include "device/UsbLibrary.h"
#include "platform/ProcessStarter.h"
#include "ui/WindowPlacement.h"
#include "workflow/RunningTransfer.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace kelvo::ui {

inline constexpr const char* kConnected = "Connected !";
inline constexpr int kEscKey = 27;

// Tags of the buttons: the download handler tells the two download buttons apart by them.
inline constexpr int kImagesTag = 1;
inline constexpr int kCinesTag = 2;

enum class RunKind { Images, Cines };
// 2 means cines; 1, and any other value, means images.
RunKind runKindForTag(int tag);

struct ButtonStates {
    bool images = false;
    bool cines = false;
    bool breakButton = false;
    bool operator==(const ButtonStates&) const = default;
};

// What the window's toolkit does for the logic.
class MainWindowShell {
public:
    virtual ~MainWindowShell() = default;
    // The status text, the buttons, the timer or the height changed: read them from the logic.
    virtual void stateChanged() = 0;
    // The application's default error report: a modal box with the error's text, OK, the stop
    // icon and the application title as caption. `detail` says in plain words what went wrong
    // (may be empty). Returns once the user has closed it.
    virtual void errorReport(const std::string& text, const std::string& detail) = 0;
    // The modal folder dialog (desktop as root, opening at the folder chosen last in this run).
    // Nothing when the user cancels.
    virtual std::optional<std::filesystem::path> chooseFolder() = 0;
    // Asks the window to close; the request comes back as FormCloseQuery.
    virtual void closeWindow() = 0;
    // Placement: the desktop's size, applying a restored placement, the window's placement now.
    virtual DesktopSize desktopSize() = 0;
    virtual void applyPlacement(const RestoredPlacement& placement) = 0;
    virtual WindowPlacement currentPlacement() = 0;
};

struct RunRequest {
    RunKind kind = RunKind::Images;
    std::filesystem::path folder;
    TUSB_Device* device = nullptr; // the program's device; stays valid until runFinished()
    RunningTransfer* v_usb = nullptr;
};

// Runs GetImages or GetCines for a request. The windows start it on a worker thread and return
// at once, and call runFinished() on the user-interface thread once the workflow has returned
// (its end steps done). A runner may also run the workflow to its end inside start() and call
// runFinished() before it returns.
class WorkflowRunner {
public:
    virtual ~WorkflowRunner() = default;
    virtual void start(const RunRequest& request) = 0;
};

// How the workflow came back.
enum class RunEnd {
    Returned, // finished, broken off, or ended by one of its own messages
    Raised,   // an error nobody caught; its text goes to the error report
};

enum class CloseAnswer {
    Now,      // the window may close now (the placement has been saved)
    AfterRun, // a run was told to break; the window closes itself once the run is over
};

struct MainWindowSetup {
    DeviceBackend* backend = nullptr;
    Clock* clock = nullptr; // paces every command sent to the device
    MainWindowShell* shell = nullptr;
    WorkflowRunner* runner = nullptr;
    platform::ProcessStarter* starter = nullptr; // opens the target folder after a run
    std::string executableFileName;              // without its folder
    bool projectSourceFileInWorkingFolder = false;
    std::filesystem::path placementFile; // empty: no placement is restored or saved
};

class MainWindowLogic {
public:
    // Timer1 is enabled from here on (1000 ms, the shell's timer).
    explicit MainWindowLogic(const MainWindowSetup& setup);
    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    // Events.
    // Restores the placement, makes the first connection attempt, then applies the height rule
    // (skipped when the attempt raised an error, which goes to the error report).
    void FormShow();
    // Once a second while the timer is enabled: an attempt, or, once connected, the timer stops
    // for good. A tick while an error report is on screen does nothing.
    void Timer1Timer();
    // One attempt to find and open the scanner. Throws ConnectError ("Function _USB_Init_Lib
    // return FALSE!") and UsbOpenError ("BLAD !!!!!!!!!"); the events above report them.
    void ConnectUSB();
    void sButtonImagesClick(int tag);
    void sButtonBreakClick();
    CloseAnswer FormCloseQuery();
    // True when the key was handled (only Esc is).
    bool FormKeyDown(int key);
    // The workflow of the run in progress has returned (on the user-interface thread).
    void runFinished(RunEnd end, const std::string& errorText = {});
    // Saves the placement unless a granted close did, and frees the device. Not while a run is
    // in progress: a close during a run comes back through closeWindow() after runFinished().
    void FormDestroy();
    // Panel 0 of the status bar; the cine workflow's status event comes here too.
    void UpdateSTR(const std::string& p_str);

    // State the window shows.
    const std::string& statusText() const { return status_; }
    ButtonStates buttons() const { return buttons_; }
    bool timerEnabled() const { return timerEnabled_; }
    bool a_connected() const { return a_connected_; }
    bool runInProgress() const { return running_; }
    // The outer height after FormShow; nothing while the designed height stands.
    std::optional<int> windowHeight() const { return height_; }
    const std::string& title() const { return title_; }
    TUSB_Device* usb_device() const { return usb_device_.get(); }
    RunningTransfer& v_usb() { return v_usb_; }

private:
    void setButtons(ButtonStates states);
    void changed();
    // Runs an attempt, sending a raised error to the report. False when it raised.
    bool attemptReported();
    void savePlacementOnce();

    MainWindowSetup setup_;
    std::string title_;
    std::string status_;
    ButtonStates buttons_;
    bool timerEnabled_ = true;
    bool a_connected_ = false;
    bool running_ = false;
    bool closeAfterRun_ = false;
    bool reportOnScreen_ = false;
    bool placementSaved_ = false;
    std::optional<int> height_;
    std::filesystem::path runFolder_;
    std::unique_ptr<TUSB_Device> usb_device_;
    RunningTransfer v_usb_;
};

} // namespace kelvo::ui
