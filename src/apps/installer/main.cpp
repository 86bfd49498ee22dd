// driver_installer: writes the three batch files that install the scanner's CyUSB driver, remove
// it and switch on test signing, and runs the chosen one with administrator rights.
#include "InstallerWindow.h"

#include "platform/Paths.h"
#include "platform/SystemText.h"
#include "ui/AppIdentity.h"

#include <windows.h>

#include <exception>
#include <filesystem>
#include <string>

namespace {

// The executable's folder as the system gives it, with its trailing backslash.
std::string executableFolderText() {
    std::wstring folder = kelvo::platform::executableFolder().wstring();
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return kelvo::platform::wideToUtf8(folder);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    using namespace kelvo;
    const std::wstring title = platform::utf8ToWide(
        ui::applicationTitle(platform::wideToUtf8(platform::executablePath().filename().wstring())));
    try {
        installer::InstallerWindowSetup setup;
        setup.logic.currentFolder = std::filesystem::current_path();
        setup.logic.executableFolder = executableFolderText();
        setup.logic.ansi = platform::systemAnsiText();
        setup.title = title;
        setup.quitOnClose = true;
        installer::InstallerWindow window(std::move(setup));
        window.show(showCommand);

        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (IsDialogMessageW(window.handle(), &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return static_cast<int>(message.wParam);
    } catch (const std::exception& e) {
        MessageBoxW(nullptr, platform::utf8ToWide(e.what()).c_str(), title.c_str(), MB_OK | MB_ICONSTOP);
        return 1;
    }
}
