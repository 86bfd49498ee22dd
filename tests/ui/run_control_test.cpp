// The run control: buttons in each state, the folder dialog, the run, "Break", Esc and closing
// during a run, and the folder opened afterwards.
#include "SimulatedLink.h"
#include "UiFakes.h"
#include "ui/MainWindowLogic.h"
#include "workflow/ImageWorkflow.h"
#include "workflow/Messages.h"

#include <gtest/gtest.h>

#include <thread>

namespace kelvo::test {
namespace {

using ui::ButtonStates;
constexpr ButtonStates kIdle{true, true, false};
constexpr ButtonStates kRunning{false, false, true};

struct RunControlTest : ::testing::Test {
    explicit RunControlTest(sim::Card card = smallCard()) : link(std::move(card)) {
        backend.plugged = true;
        ui::MainWindowSetup s;
        s.backend = &backend;
        s.clock = &link.clock;
        s.shell = &shell;
        s.runner = &runner;
        s.starter = &starter;
        s.executableFileName = "kelvo";
        window = std::make_unique<ui::MainWindowLogic>(s);
        window->FormShow();
    }

    SimulatedLink link;
    PluggableBackend backend{link.scanner, link.clock};
    RecordingShell shell;
    RecordingRunner runner;
    RecordingStarter starter;
    std::unique_ptr<ui::MainWindowLogic> window;
};

TEST_F(RunControlTest, TagTwoRunsCinesAnyOtherImagesWithButtonsSwitchedForTheRun) {
    struct Case {
        int tag;
        ui::RunKind kind;
    };
    for (const Case c : {Case{2, ui::RunKind::Cines}, Case{1, ui::RunKind::Images}, Case{0, ui::RunKind::Images},
                         Case{7, ui::RunKind::Images}}) {
        const std::size_t opensBefore = starter.opened.size();
        ButtonStates duringDialog;
        shell.duringFolderDialog = [&] { duringDialog = window->buttons(); };
        shell.folder = "/target/" + std::to_string(c.tag);
        window->sButtonImagesClick(c.tag);
        EXPECT_EQ(duringDialog, kRunning);
        ASSERT_FALSE(runner.requests.empty());
        const ui::RunRequest& request = runner.requests.back();
        EXPECT_EQ(request.kind, c.kind) << "tag " << c.tag;
        EXPECT_EQ(request.folder, *shell.folder);
        EXPECT_EQ(request.device, window->usb_device());
        EXPECT_EQ(request.v_usb, &window->v_usb());
        EXPECT_TRUE(window->runInProgress());
        EXPECT_EQ(window->buttons(), kRunning);
        EXPECT_EQ(starter.opened.size(), opensBefore); // not before the run is over

        // A second click cannot start a second run.
        const std::size_t requestsBefore = runner.requests.size();
        window->sButtonImagesClick(1);
        EXPECT_EQ(runner.requests.size(), requestsBefore);

        window->runFinished(ui::RunEnd::Returned);
        EXPECT_FALSE(window->runInProgress());
        EXPECT_EQ(window->buttons(), kIdle);
        ASSERT_EQ(starter.opened.size(), opensBefore + 1);
        EXPECT_EQ(starter.opened.back(), *shell.folder);
    }
    EXPECT_EQ(runner.requests.size(), 4u);
    EXPECT_EQ(starter.opened.size(), 4u);
}

TEST_F(RunControlTest, CancelledFolderDialogStartsNothingAndOpensNothing) {
    shell.folder.reset();
    window->sButtonImagesClick(1);
    EXPECT_EQ(shell.folderDialogs, 1);
    EXPECT_TRUE(runner.requests.empty());
    EXPECT_TRUE(starter.opened.empty());
    EXPECT_EQ(window->buttons(), kIdle);
    EXPECT_FALSE(window->runInProgress());
}

TEST_F(RunControlTest, ARefusedFolderOpenIsIgnored) {
    starter.answer = false;
    window->sButtonImagesClick(1);
    window->runFinished(ui::RunEnd::Returned);
    EXPECT_EQ(starter.opened.size(), 1u);
    EXPECT_EQ(window->buttons(), kIdle);
    EXPECT_TRUE(shell.errors.empty());
}

TEST_F(RunControlTest, AnUncaughtWorkflowErrorIsReportedOpensNoFolderAndRestoresTheButtons) {
    window->sButtonImagesClick(1);
    window->runFinished(ui::RunEnd::Raised, "cannot create /target/1.bmp");
    EXPECT_EQ(shell.errors, std::vector<std::string>{"cannot create /target/1.bmp"});
    EXPECT_TRUE(starter.opened.empty());
    EXPECT_EQ(window->buttons(), kIdle);
}

// The worker's side of a run: a transfer object attached for the run, as the workflows do.
struct AttachedTransfer {
    AttachedTransfer(TUSB_Device& device, RunningTransfer& v_usb) : transfer(device), scope(v_usb, transfer) {}
    TQX27R_Transmisja transfer;
    RunningTransfer::Scope scope;
};

TEST_F(RunControlTest, BreakAndEscReachTheRunningTransferObjectOnly) {
    std::unique_ptr<AttachedTransfer> worker;
    runner.onStart = [&](const ui::RunRequest& r) { worker = std::make_unique<AttachedTransfer>(*r.device, *r.v_usb); };
    window->sButtonImagesClick(1);
    ASSERT_TRUE(worker);

    EXPECT_FALSE(worker->transfer.a_break);
    window->sButtonBreakClick();
    EXPECT_TRUE(worker->transfer.a_break);

    worker->transfer.a_break = false;
    EXPECT_TRUE(window->FormKeyDown(27));
    EXPECT_TRUE(worker->transfer.a_break);
    EXPECT_EQ(shell.closeRequests, 0); // Esc during a run does not close

    worker.reset(); // the workflow freed its transfer object
    window->runFinished(ui::RunEnd::Returned);
    EXPECT_EQ(window->buttons(), kIdle);
    window->sButtonBreakClick(); // nothing left to touch
    EXPECT_TRUE(window->FormKeyDown(27));
    EXPECT_EQ(shell.closeRequests, 1);
}

TEST_F(RunControlTest, CloseDuringARunBreaksItAndClosesOnceTheFolderIsOpened) {
    std::unique_ptr<AttachedTransfer> worker;
    runner.onStart = [&](const ui::RunRequest& r) { worker = std::make_unique<AttachedTransfer>(*r.device, *r.v_usb); };
    window->sButtonImagesClick(2);
    EXPECT_EQ(window->FormCloseQuery(), ui::CloseAnswer::AfterRun);
    EXPECT_TRUE(worker->transfer.a_break);
    EXPECT_EQ(shell.closeRequests, 0);

    worker.reset();
    window->runFinished(ui::RunEnd::Returned);
    EXPECT_EQ(starter.opened, std::vector<std::filesystem::path>{"/target"});
    EXPECT_EQ(shell.closeRequests, 1);
    EXPECT_EQ(window->FormCloseQuery(), ui::CloseAnswer::Now);
    window->FormDestroy();
    EXPECT_EQ(window->usb_device(), nullptr);
}

TEST_F(RunControlTest, ATimerTickDuringARunOnlyStopsTheTimer) {
    window->sButtonImagesClick(1);
    const int attempts = backend.initCalls;
    window->Timer1Timer();
    EXPECT_FALSE(window->timerEnabled());
    EXPECT_EQ(backend.initCalls, attempts);
    EXPECT_EQ(window->buttons(), kRunning);
}

// The image workflow for real, on a worker thread, its texts handed to the window's thread.
class ThreadedImagesHost final : public ImageWorkflowHost {
public:
    void status(const std::string& p_str) override { texts.push_back(p_str); }
    void message(const std::string& text) override { messagesShown.push_back(text); }
    std::optional<std::vector<bool>> select(std::span<const std::unique_ptr<TImageData>> entries) override {
        return std::vector<bool>(entries.size(), true);
    }
    void processMessages() override {}
    std::vector<std::string> texts;
    std::vector<std::string> messagesShown;
};

struct WrongMagicTest : RunControlTest {
    static sim::Card card() {
        sim::Card c = smallCard();
        c.identity.magic_number = 7180;
        return c;
    }
    WrongMagicTest() : RunControlTest(card()) {}
};

TEST_F(WrongMagicTest, AFailedCheckStillOpensTheFolder) {
    ThreadedImagesHost host;
    std::thread worker;
    runner.onStart = [&](const ui::RunRequest& r) {
        worker = std::thread([&host, r] { (void)GetImages(*r.device, r.folder, host, *r.v_usb); });
    };
    window->sButtonImagesClick(1);
    ASSERT_TRUE(worker.joinable());
    worker.join(); // the window's thread learns of the end and hands it over
    for (const auto& text : host.texts) window->UpdateSTR(text);
    window->runFinished(ui::RunEnd::Returned);

    EXPECT_EQ(host.messagesShown, std::vector<std::string>{messages::kTryAgain});
    EXPECT_EQ(window->statusText(), "Finish!");
    EXPECT_EQ(starter.opened, std::vector<std::filesystem::path>{"/target"});
    EXPECT_EQ(window->buttons(), kIdle);
    EXPECT_EQ(link.scanner.endCommands(), 1u);
    EXPECT_FALSE(window->v_usb().running());
}

} // namespace
} // namespace kelvo::test
