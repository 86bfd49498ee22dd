// Kelvo_transmision: the transfer program's main window, looking for the scanner once a second.
//   Kelvo_transmision [--simulate [CARD]] [--screenshot FOLDER]
#include "DesktopOpener.h"
#include "Screenshots.h"
#include "SmokySkin.h"
#include "TForm68.h"
#include "base/Clock.h"
#include "device/NativeBackend.h"
#include "platform/Paths.h"
#include "session/SimulatedScanner.h"
#include "ui/AppIdentity.h"
#include "ui/WindowPlacement.h"

#include <QApplication>

#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Arguments {
    bool simulate = false;
    std::optional<std::filesystem::path> card;
    std::optional<std::filesystem::path> screenshots;
};

constexpr const char* kUsage = "usage: Kelvo_transmision [--simulate [CARD]] [--screenshot FOLDER]\n"
                               "  --simulate [CARD]    run against the simulated scanner (a card folder, or the built-in card)\n"
                               "  --screenshot FOLDER  save pictures of the windows in FOLDER and quit\n";

// Nothing when the arguments are wrong (the usage has been printed).
std::optional<Arguments> parse(const std::vector<std::string>& args) {
    Arguments a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--simulate") {
            a.simulate = true;
            if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) a.card = kelvo::platform::pathFromUtf8(args[++i]);
        } else if (arg == "--screenshot" && i + 1 < args.size()) {
            a.screenshots = kelvo::platform::pathFromUtf8(args[++i]);
        } else {
            std::cerr << (arg == "--help" || arg == "-h" ? "" : "unknown argument: " + arg + "\n") << kUsage;
            return std::nullopt;
        }
    }
    return a;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv); // takes Qt's own arguments (-platform and the like) out of argv
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    const auto arguments = parse(args);
    if (!arguments) return 2;

    try {
        app.setStyleSheet(kelvo::transfer::skin::styleSheet());
        kelvo::RealClock clock;
        std::unique_ptr<kelvo::SimulatedScanner> simulated;
        std::unique_ptr<kelvo::DeviceBackend> native;
        kelvo::DeviceBackend* backend = nullptr;
        if (arguments->simulate) {
            simulated = std::make_unique<kelvo::SimulatedScanner>(arguments->card, clock);
            backend = &simulated->backend();
        } else {
            native = kelvo::makeNativeBackend(clock, kelvo::chooseUsbId(std::nullopt));
            backend = native.get();
        }
        // The screenshot run opens no folder afterwards.
        std::unique_ptr<kelvo::platform::ProcessStarter> opener;
        if (arguments->screenshots) opener = kelvo::transfer::quietStarter();
        else opener = std::make_unique<kelvo::transfer::DesktopOpener>();
        std::error_code ec;
        const std::filesystem::path exe = kelvo::platform::executablePath();
        const std::string exeName = exe.empty() ? std::string("Kelvo_transmision") : kelvo::pathToUtf8(exe.filename());

        kelvo::transfer::TransferWindowSetup setup;
        setup.backend = backend;
        setup.clock = &clock;
        setup.starter = opener.get();
        setup.executableFileName = exeName;
        setup.projectSourceFileInWorkingFolder =
            std::filesystem::exists(std::filesystem::current_path(ec) / kelvo::ui::kProjectSourceFile, ec);
        std::optional<std::filesystem::path> scratch;
        if (arguments->screenshots) {
            // Pictures come from a fresh window: no placement, a scratch folder for the run.
            std::filesystem::create_directories(*arguments->screenshots);
            scratch = std::filesystem::temp_directory_path() / "kelvo-screenshot-run";
            std::filesystem::create_directories(*scratch);
            setup.chooseFolder = kelvo::transfer::fixedFolder(*scratch);
        } else {
            setup.placementFile = kelvo::ui::placementFilePath(kelvo::platform::AppFolders::forThisProcess());
        }

        kelvo::transfer::TForm68 window(setup);
        if (arguments->screenshots) kelvo::transfer::takeScreenshots(window, *arguments->screenshots);
        window.show();
        return app.exec();
    } catch (const std::exception& e) {
        std::cerr << "Kelvo_transmision: " << e.what() << '\n';
        return 1;
    }
}
