// The placement file: its text, what a restore takes from it, and where it lives.
#include "ui/MainWindowLogic.h"
#include "ui/WindowPlacement.h"
#include "SimulatedLink.h"
#include "UiFakes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;

struct TempFolder {
    TempFolder() {
        std::random_device rd;
        path = fs::temp_directory_path() / ("kelvo-ui-" + std::to_string(rd()));
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

ui::WindowPlacement sample() {
    ui::WindowPlacement p;
    p.showCmd = ui::kShowNormal;
    p.flags = 0;
    p.pixelsPerInch = 96;
    p.minPosition = {-1, -1};
    p.maxPosition = {-8, -31};
    p.normalPosition = {412, 300, 679, 463};
    return p;
}

TEST(PlacementText, TheSectionAndKeysByteForByte) {
    EXPECT_EQ(ui::placementText(sample(), {1920, 1080}, "\r\n"),
              "[Form68]\r\n"
              "ShowCmd=1\r\n"
              "Flags=0\r\n"
              "PixelsPerInch=96\r\n"
              "MinMaxPos=-1,-1,-8,-31\r\n"
              "MinMaxPos(1920x1080)=-1,-1,-8,-31\r\n"
              "NormPos=412,300,679,463\r\n"
              "NormPos(1920x1080)=412,300,679,463\r\n");
    EXPECT_EQ(ui::placementText(sample(), {1920, 1080}, "\n").find('\r'), std::string::npos);
}

TEST(PlacementText, RoundTripRestoresShowStateAndPositionOnly) {
    ui::WindowPlacement p = sample();
    p.showCmd = ui::kShowMinimized;
    const auto restored = ui::readPlacement(ui::placementText(p, {1280, 1024}), {1280, 1024});
    EXPECT_EQ(restored, (ui::RestoredPlacement{ui::kShowMinimized, ui::Point{412, 300}}));
}

TEST(PlacementText, TheDesktopSizedKeyWinsOverThePlainOne) {
    const std::string text = "[form68]\n"
                             "ShowCmd=3\n"
                             "NormPos=10,20,30,40\n"
                             "NormPos(800x600)=50,60,70,80\n";
    EXPECT_EQ(ui::readPlacement(text, {800, 600}).position, (ui::Point{50, 60}));
    EXPECT_EQ(ui::readPlacement(text, {1920, 1080}).position, (ui::Point{10, 20}));
    EXPECT_EQ(ui::readPlacement(text, {800, 600}).showCmd, 3);
}

TEST(PlacementText, MissingOrBrokenValuesRestoreNothingOfThem) {
    EXPECT_EQ(ui::readPlacement("", {800, 600}), ui::RestoredPlacement{});
    EXPECT_EQ(ui::readPlacement("[Other]\nShowCmd=1\nNormPos=1,2,3,4\n", {800, 600}), ui::RestoredPlacement{});
    const auto broken = ui::readPlacement("[Form68]\nShowCmd=x\nNormPos=1,2,3\n", {800, 600});
    EXPECT_EQ(broken, ui::RestoredPlacement{});
    const auto extra = ui::readPlacement("[Form68]\nNormPos=1,2,3,4,5\n", {800, 600});
    EXPECT_EQ(extra.position, std::nullopt);
}

TEST(PlacementFile, NextToTheExecutableOrInTheConfigFolder) {
    TempFolder exe, config;
    platform::AppFolders folders{exe.path, exe.path / "state", config.path / "kelvo"};
    EXPECT_EQ(ui::placementFilePath(folders), exe.path / "Kelvo_transmision.ini");

    // A folder that cannot be written to (here one that does not exist, which holds for any
    // user, root included): the per-user config folder takes the file.
    folders.executable = exe.path / "read-only-install";
    const fs::path file = ui::placementFilePath(folders);
    EXPECT_EQ(file, config.path / "kelvo" / "Kelvo_transmision.ini");
    ui::savePlacement(file, sample(), {1024, 768}); // creates the config folder
    EXPECT_EQ(readFile(file), ui::placementText(sample(), {1024, 768}));
}

TEST(PlacementFile, SavedThenLoaded) {
    TempFolder folder;
    const fs::path file = folder.path / ui::kPlacementFileName;
    EXPECT_EQ(ui::loadPlacement(file, {800, 600}), ui::RestoredPlacement{});
    ui::savePlacement(file, sample(), {800, 600});
    EXPECT_EQ(ui::loadPlacement(file, {800, 600}), (ui::RestoredPlacement{1, ui::Point{412, 300}}));
    EXPECT_THROW(ui::savePlacement(folder.path / ui::kPlacementFileName / "x.ini", sample(), {800, 600}),
                 std::runtime_error);
}

TEST(PlacementFile, TheWindowRestoresOnShowAndSavesOnceOnClose) {
    TempFolder folder;
    const fs::path file = folder.path / ui::kPlacementFileName;
    ui::WindowPlacement before = sample();
    before.normalPosition = {100, 200, 367, 363};
    ui::savePlacement(file, before, {1920, 1080});

    SimulatedLink link;
    PluggableBackend backend(link.scanner, link.clock);
    RecordingShell shell;
    RecordingRunner runner;
    RecordingStarter starter;
    ui::MainWindowSetup s;
    s.backend = &backend;
    s.clock = &link.clock;
    s.shell = &shell;
    s.runner = &runner;
    s.starter = &starter;
    s.executableFileName = "kelvo";
    s.placementFile = file;
    ui::MainWindowLogic window(s);
    window.FormShow();
    ASSERT_EQ(shell.applied.size(), 1u);
    EXPECT_EQ(shell.applied[0], (ui::RestoredPlacement{1, ui::Point{100, 200}}));

    shell.current = sample(); // the user moved the window
    EXPECT_EQ(window.FormCloseQuery(), ui::CloseAnswer::Now);
    EXPECT_EQ(readFile(file), ui::placementText(sample(), {1920, 1080}));
    shell.current.normalPosition = {1, 1, 2, 2};
    window.FormDestroy(); // already saved by the granted close
    EXPECT_EQ(readFile(file), ui::placementText(sample(), {1920, 1080}));
}

} // namespace
} // namespace kelvo::test
