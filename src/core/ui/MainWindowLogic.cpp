#include "ui/MainWindowLogic.h"

#include "session/Connection.h"
#include "ui/AppIdentity.h"

#include <exception>
#include <stdexcept>

namespace kelvo::ui {

RunKind runKindForTag(int tag) { return tag == kCinesTag ? RunKind::Cines : RunKind::Images; }

MainWindowLogic::MainWindowLogic(const MainWindowSetup& setup)
    : setup_(setup), title_(applicationTitle(setup.executableFileName)) {
    if (!setup_.backend || !setup_.clock || !setup_.shell || !setup_.runner || !setup_.starter)
        throw std::invalid_argument("the main window needs a backend, a clock, a shell, a runner and a starter");
}

void MainWindowLogic::changed() { setup_.shell->stateChanged(); }

void MainWindowLogic::setButtons(ButtonStates states) {
    buttons_ = states;
    changed();
}

void MainWindowLogic::UpdateSTR(const std::string& p_str) {
    status_ = p_str;
    changed();
}

void MainWindowLogic::ConnectUSB() {
    a_connected_ = false;
    if (!USB_Init_Lib(*setup_.backend))
        throw ConnectError(kInitLibFailed, "the USB library of this system could not be loaded");
    std::string path;
    if (!USB_Find_Device(*setup_.backend, path, kScannerInterfaceClass)) UpdateSTR(kDeviceNotFound);
    // Asked a second time, as the scanner may have come up in between.
    if (USB_Find_Device(*setup_.backend, path, kScannerInterfaceClass)) {
        auto device = std::make_unique<TUSB_Device>(*setup_.clock);
        USB_Open_Device(*setup_.backend, *device, path); // throws "BLAD !!!!!!!!!"
        usb_device_ = std::move(device);
        a_connected_ = true;
        UpdateSTR(kConnected);
    }
    setButtons({a_connected_, a_connected_, buttons_.breakButton});
}

bool MainWindowLogic::attemptReported() {
    std::string text, detail;
    try {
        ConnectUSB();
        return true;
    } catch (const ConnectError& e) {
        text = e.what(), detail = e.hint();
    } catch (const UsbOpenError& e) {
        text = e.what(), detail = e.hint();
    } catch (const std::exception& e) {
        text = e.what();
    }
    // Ticks that come while the box is up (a nested message loop) make no attempt of their own.
    reportOnScreen_ = true;
    try {
        setup_.shell->errorReport(text, detail);
    } catch (...) {
        reportOnScreen_ = false;
        throw;
    }
    reportOnScreen_ = false;
    return false;
}

void MainWindowLogic::FormShow() {
    if (!setup_.placementFile.empty())
        setup_.shell->applyPlacement(loadPlacement(setup_.placementFile, setup_.shell->desktopSize()));
    if (!attemptReported()) return; // the height rule is skipped after a raised error
    height_ = ui::windowHeight(setup_.executableFileName, setup_.projectSourceFileInWorkingFolder);
    changed();
}

void MainWindowLogic::Timer1Timer() {
    if (!timerEnabled_ || reportOnScreen_) return;
    if (a_connected_) {
        timerEnabled_ = false; // never enabled again
        changed();
        return;
    }
    (void)attemptReported();
}

void MainWindowLogic::sButtonImagesClick(int tag) {
    // The buttons are disabled before the connection and for the whole run.
    if (running_ || !usb_device_) return;
    const RunKind kind = runKindForTag(tag);
    running_ = true;
    setButtons({false, false, true});

    std::optional<std::filesystem::path> folder;
    try {
        folder = setup_.shell->chooseFolder();
    } catch (...) {
        running_ = false;
        setButtons({true, true, false});
        throw;
    }
    if (!folder) {
        running_ = false;
        setButtons({true, true, false});
        if (closeAfterRun_) {
            closeAfterRun_ = false;
            setup_.shell->closeWindow();
        }
        return;
    }
    runFolder_ = *folder;
    RunRequest request;
    request.kind = kind;
    request.folder = *folder;
    request.device = usb_device_.get();
    request.v_usb = &v_usb_;
    setup_.runner->start(request); // may call runFinished() before it returns
}

void MainWindowLogic::runFinished(RunEnd end, const std::string& errorText) {
    if (!running_) return;
    running_ = false;
    if (end == RunEnd::Returned) {
        (void)setup_.starter->shellOpen(runFolder_); // the shell's answer is not looked at
    }
    // Restored after an uncaught error too, so that the user can try again.
    setButtons({true, true, false});
    if (end == RunEnd::Raised) setup_.shell->errorReport(errorText, {});
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        setup_.shell->closeWindow();
    }
}

void MainWindowLogic::sButtonBreakClick() {
    // Nothing is remembered when no transfer object exists (yet, or any more).
    (void)v_usb_.requestBreak();
}

CloseAnswer MainWindowLogic::FormCloseQuery() {
    if (running_) {
        (void)v_usb_.requestBreak();
        closeAfterRun_ = true;
        return CloseAnswer::AfterRun;
    }
    savePlacementOnce();
    return CloseAnswer::Now;
}

bool MainWindowLogic::FormKeyDown(int key) {
    if (key != kEscKey) return false;
    if (buttons_.breakButton) sButtonBreakClick();
    else setup_.shell->closeWindow();
    return true;
}

void MainWindowLogic::savePlacementOnce() {
    if (placementSaved_ || setup_.placementFile.empty()) return;
    placementSaved_ = true;
    try {
        savePlacement(setup_.placementFile, setup_.shell->currentPlacement(), setup_.shell->desktopSize());
    } catch (const std::exception& e) {
        setup_.shell->errorReport(e.what(), "the window's position could not be saved");
    }
}

void MainWindowLogic::FormDestroy() {
    savePlacementOnce();
    usb_device_.reset();
}

} // namespace kelvo::ui
