// Kelvo_transmision, the Win32 windows: looks for the scanner every second until it is opened,
// then downloads the stored images or cines the user ticks. `--simulate` runs it against the
// built-in simulated scanner instead of a real one.
#include "MainWindow.h"
#include "SelectionDialog.h"
#include "WorkflowRunner.h"

#include "base/Clock.h"
#include "device/NativeBackend.h"
#include "platform/Paths.h"
#include "platform/ProcessStarter.h"
#include "platform/SystemText.h"
#include "session/SimulatedScanner.h"
#include "ui/AppIdentity.h"
#include "ui/SelectionLogic.h"
#include "ui/WindowPlacement.h"

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> arguments() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> out;
    for (int i = 1; argv && i < count; ++i) out.emplace_back(argv[i]);
    if (argv) LocalFree(argv);
    return out;
}

// OLE for the folder dialog, for the program's whole life.
struct OleSession {
    OleSession() { (void)OleInitialize(nullptr); }
    ~OleSession() { OleUninitialize(); }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    using namespace kelvo;
    const std::string fileName = platform::wideToUtf8(platform::executablePath().filename().wstring());
    const std::wstring title = platform::utf8ToWide(ui::applicationTitle(fileName));
    try {
        OleSession ole;
        bool simulate = false;
        for (const auto& argument : arguments())
            if (argument == L"--simulate") simulate = true;

        RealClock clock;
        std::unique_ptr<SimulatedScanner> simulated;
        std::unique_ptr<DeviceBackend> native;
        DeviceBackend* backend = nullptr;
        if (simulate) {
            simulated = std::make_unique<SimulatedScanner>(std::nullopt, clock);
            backend = &simulated->backend();
        } else {
            native = makeNativeBackend(clock, chooseUsbId(std::nullopt));
            backend = native.get();
        }
        auto starter = platform::systemProcessStarter();

        win32::MainWindow* window = nullptr;
        std::unique_ptr<win32::SelectionDialog> dialog;
        ui::SelectionLogic selection;
        win32::WorkflowWindows windows;
        windows.status = [&](const std::string& text) { window->logic().UpdateSTR(text); };
        windows.message = [&](const std::string& text) { window->errorReport(text, {}); };
        windows.select = [&](std::span<const std::unique_ptr<TImageData>> entries) {
            return ui::selectThroughDialog(selection, entries,
                                           [&](ui::SelectionLogic& logic) { return dialog->showModal(logic); });
        };
        windows.preview = [&](const MSG& message) { return window->preview(message); };
        win32::UiThreadRunner runner(std::move(windows));

        win32::MainWindowSetup setup;
        setup.logic.backend = backend;
        setup.logic.clock = &clock;
        setup.logic.runner = &runner;
        setup.logic.starter = starter.get();
        setup.logic.executableFileName = fileName;
        setup.logic.projectSourceFileInWorkingFolder =
            std::filesystem::exists(std::filesystem::current_path() / std::string(ui::kProjectSourceFile));
        setup.logic.placementFile = ui::placementFilePath(platform::AppFolders::forThisProcess());
        setup.quitOnDestroy = true;
        win32::MainWindow main(std::move(setup));
        window = &main;
        runner.onFinished([&](ui::RunEnd end, const std::string& text) { main.logic().runFinished(end, text); });
        dialog = std::make_unique<win32::SelectionDialog>(main.handle()); // hidden until a run shows it

        main.show(showCommand);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (main.preview(message)) continue;
            if (main.handle() && IsDialogMessageW(main.handle(), &message)) continue; // Tab between the buttons
            if (dialog && IsDialogMessageW(dialog->handle(), &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return static_cast<int>(message.wParam);
    } catch (const std::exception& e) {
        MessageBoxW(nullptr, platform::utf8ToWide(e.what()).c_str(), title.c_str(), MB_OK | MB_ICONSTOP);
        return 1;
    }
}
