// The main window's connection loop, its errors, the height rule and the title.
#include "SimulatedLink.h"
#include "UiFakes.h"
#include "ui/AppIdentity.h"
#include "ui/MainWindowLogic.h"

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

using ui::ButtonStates;

#ifdef _WIN32
constexpr const char* kShippedFile = "Kelvo_transmision.exe";
#else
constexpr const char* kShippedFile = "Kelvo_transmision";
#endif

struct MainWindowTest : ::testing::Test {
    ui::MainWindowSetup setup(std::string exe = kShippedFile) {
        ui::MainWindowSetup s;
        s.backend = &backend;
        s.clock = &link.clock;
        s.shell = &shell;
        s.runner = &runner;
        s.starter = &starter;
        s.executableFileName = std::move(exe);
        return s;
    }

    SimulatedLink link;
    PluggableBackend backend{link.scanner, link.clock};
    RecordingShell shell;
    RecordingRunner runner;
    RecordingStarter starter;
};

TEST_F(MainWindowTest, LooksEverySecondUntilTheScannerIsPluggedInThenNeverAgain) {
    ui::MainWindowLogic window(setup());
    EXPECT_TRUE(window.timerEnabled()); // from creation
    EXPECT_EQ(window.buttons(), (ButtonStates{false, false, false}));

    window.FormShow();
    EXPECT_EQ(window.statusText(), "Device not found !");
    EXPECT_EQ(window.buttons(), (ButtonStates{false, false, false}));
    EXPECT_FALSE(window.a_connected());
    EXPECT_EQ(window.usb_device(), nullptr);

    for (int tick = 0; tick < 3; ++tick) {
        window.Timer1Timer();
        EXPECT_EQ(window.statusText(), "Device not found !");
        EXPECT_EQ(window.buttons(), (ButtonStates{false, false, false}));
    }
    EXPECT_EQ(backend.initCalls, 4); // one attempt on show, one per tick
    EXPECT_TRUE(window.timerEnabled());

    backend.plugged = true;
    window.Timer1Timer();
    EXPECT_EQ(window.statusText(), "Connected !");
    EXPECT_EQ(window.buttons(), (ButtonStates{true, true, false}));
    EXPECT_TRUE(window.a_connected());
    ASSERT_NE(window.usb_device(), nullptr);
    EXPECT_NE(window.usb_device()->aHandle, nullptr);
    EXPECT_EQ(backend.opens, 1);
    EXPECT_TRUE(window.timerEnabled()); // it stops at its next tick

    window.Timer1Timer();
    EXPECT_FALSE(window.timerEnabled());
    const int attempts = backend.initCalls;
    for (int tick = 0; tick < 5; ++tick) window.Timer1Timer();
    backend.plugged = false; // unplugging is not watched for
    window.Timer1Timer();
    EXPECT_EQ(backend.initCalls, attempts);
    EXPECT_EQ(backend.opens, 1);
    EXPECT_EQ(window.statusText(), "Connected !");
    EXPECT_EQ(window.buttons(), (ButtonStates{true, true, false}));
}

TEST_F(MainWindowTest, ScannerPresentAtShowConnectsAtOnce) {
    backend.plugged = true;
    ui::MainWindowLogic window(setup());
    window.FormShow();
    EXPECT_EQ(window.statusText(), "Connected !");
    EXPECT_EQ(window.buttons(), (ButtonStates{true, true, false}));
    EXPECT_EQ(window.windowHeight(), 163); // the shipped name: the short window
    EXPECT_TRUE(shell.errors.empty());
}

TEST_F(MainWindowTest, InitFailureIsReportedEveryTickAndSkipsTheHeightRule) {
    backend.initFails = true;
    backend.plugged = true;
    ui::MainWindowLogic window(setup());
    window.FormShow();
    ASSERT_EQ(shell.errors, std::vector<std::string>{"Function _USB_Init_Lib return FALSE!"});
    EXPECT_EQ(window.windowHeight(), std::nullopt);
    EXPECT_EQ(backend.findCalls, 0); // the rest of the attempt does not run
    EXPECT_EQ(window.buttons(), (ButtonStates{false, false, false}));
    EXPECT_TRUE(window.timerEnabled());

    window.Timer1Timer();
    EXPECT_EQ(shell.errors.size(), 2u);

    backend.initFails = false;
    window.Timer1Timer();
    EXPECT_EQ(window.statusText(), "Connected !");
    EXPECT_EQ(shell.errors.size(), 2u);
}

TEST_F(MainWindowTest, TicksWhileAnErrorReportIsOnScreenMakeNoAttempt) {
    backend.initFails = true;
    ui::MainWindowLogic window(setup());
    int nestedTicks = 0;
    shell.duringErrorReport = [&] {
        // The box's own message loop keeps the timer firing.
        for (int i = 0; i < 3; ++i, ++nestedTicks) window.Timer1Timer();
    };
    window.FormShow();
    EXPECT_EQ(nestedTicks, 3);
    EXPECT_EQ(backend.initCalls, 1);
    EXPECT_EQ(shell.errors.size(), 1u);
}

TEST_F(MainWindowTest, OpenFailureShowsBladAndLeavesTheWindowUnconnected) {
    backend.plugged = true;
    backend.openFails = true;
    ui::MainWindowLogic window(setup());
    window.FormShow();
    ASSERT_EQ(shell.errors, std::vector<std::string>{"BLAD !!!!!!!!!"});
    EXPECT_FALSE(window.a_connected());
    EXPECT_EQ(window.buttons(), (ButtonStates{false, false, false}));
    EXPECT_NE(window.statusText(), "Connected !");
    EXPECT_EQ(window.windowHeight(), std::nullopt);

    backend.openFails = false;
    window.Timer1Timer();
    EXPECT_TRUE(window.a_connected());
    EXPECT_EQ(window.buttons(), (ButtonStates{true, true, false}));
}

TEST_F(MainWindowTest, ConnectUsbItselfRaisesTheFixedTexts) {
    ui::MainWindowLogic window(setup());
    backend.initFails = true;
    try {
        window.ConnectUSB();
        ADD_FAILURE() << "no error raised";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Function _USB_Init_Lib return FALSE!");
    }
    backend.initFails = false;
    backend.plugged = true;
    backend.openFails = true;
    EXPECT_THROW(window.ConnectUSB(), UsbOpenError);
}

TEST_F(MainWindowTest, EscWhileIdleClosesTheWindowAndOtherKeysAreNotHandled) {
    backend.plugged = true;
    ui::MainWindowLogic window(setup());
    window.FormShow();
    EXPECT_FALSE(window.FormKeyDown(13));
    EXPECT_EQ(shell.closeRequests, 0);
    EXPECT_TRUE(window.FormKeyDown(27));
    EXPECT_EQ(shell.closeRequests, 1);
    EXPECT_EQ(window.FormCloseQuery(), ui::CloseAnswer::Now);
}

TEST(WindowHeight, ShippedNameInAnyCaseGivesTheShortWindow) {
    struct Case {
        const char* name;
        const char* suffix;
        bool projectFile;
        std::optional<int> height;
    };
    const Case cases[] = {
        {"Kelvo_transmision.exe", ".EXE", false, 163},
        {"KELVO_TRANSMISION.EXE", ".EXE", false, 163},
        {"kelvo_Transmision.Exe", ".EXE", false, 163},
        {"Kelvo_transmision.exe", ".EXE", true, std::nullopt}, // run from its source folder
        {"Kelvo_transmision (2).exe", ".EXE", false, 273},
        {"Kelvo_transmision", ".EXE", false, 273},
        {"kelvo.exe", ".EXE", false, 273},
        {"Kelvo_transmision", "", false, 163},
        {"kelvo_transmision", "", false, 163},
        {"Kelvo_transmision.exe", "", false, 273},
        {"kelvo-transmision", "", false, 273},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::windowHeight(c.name, c.projectFile, c.suffix), c.height) << c.name << " / " << c.suffix;
}

TEST_F(MainWindowTest, AnotherFileNameShowsTheFullWindowAndTheSourceFolderKeepsTheDesign) {
    backend.plugged = true;
    ui::MainWindowLogic other(setup("kelvo-dev"));
    other.FormShow();
    EXPECT_EQ(other.windowHeight(), 273);

    auto s = setup(std::string(ui::kShippedNameUpper) + std::string(ui::kExecutableSuffixUpper));
    s.projectSourceFileInWorkingFolder = true;
    ui::MainWindowLogic fromSources(s);
    fromSources.FormShow();
    EXPECT_EQ(fromSources.windowHeight(), std::nullopt);
}

TEST(ApplicationTitle, CutAtTheFirstFullStopWithTheRestLowerCase) {
    EXPECT_EQ(ui::applicationTitle("Kelvo_transmision.exe"), "Kelvo_transmision");
    EXPECT_EQ(ui::applicationTitle("KELVO_TRANSMISION.EXE"), "Kelvo_transmision");
    EXPECT_EQ(ui::applicationTitle("kelvo.v2.exe"), "kelvo");
    EXPECT_EQ(ui::applicationTitle("Kelvo_transmision"), "Kelvo_transmision");
    EXPECT_EQ(ui::applicationTitle(""), "");
}

} // namespace
} // namespace kelvo::test
