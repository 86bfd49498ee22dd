// The image run: the transfer-size request first, the checks with their messages, the
// selection, the per-entry status texts, the break flag, and the end steps on every way out.
#include "RenderTestSupport.h"
#include "SimulatedLink.h"

#include "workflow/ImageWorkflow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

namespace kelvo::test {
namespace {

using ::testing::ElementsAre;

// Records what the user would see, in order: "status:...", "message:...", "select:N".
class RecordingHost final : public ImageWorkflowHost {
public:
    void status(const std::string& p_str) override { seen.push_back("status:" + p_str); }
    void message(const std::string& text) override { seen.push_back("message:" + text); }
    std::optional<std::vector<bool>> select(std::span<const std::unique_ptr<TImageData>> entries) override {
        seen.push_back("select:" + std::to_string(entries.size()));
        if (!ticks) return std::nullopt;
        return ticks->empty() ? std::vector<bool>(entries.size(), true) : *ticks;
    }
    void processMessages() override { ++pumps; }
    void imageDone(std::int32_t p_id, const TImageData&, const ImageDownload& result) override {
        done.push_back(p_id);
        if (onDone) onDone(p_id, result);
    }

    std::vector<std::string> seen;
    std::optional<std::vector<bool>> ticks = std::vector<bool>{}; // empty: every row, as the dialog starts
    std::vector<std::int32_t> done;
    int pumps = 0;
    std::function<void(std::int32_t, const ImageDownload&)> onDone;
};

struct ImageRunOnCard : SimulatedLink {
    explicit ImageRunOnCard(sim::Card card = smallCard()) : SimulatedLink(std::move(card)) {
        settings.programFolders = platform::AppFolders{program.path, program.path, program.path};
    }
    ImageRun go() { return GetImages(device, target.path, host, running, settings); }

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& f : std::filesystem::directory_iterator(target.path))
            names.push_back(f.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Every command-13 block on the wire.
    std::vector<std::string> imageCommands() const {
        std::vector<std::string> found;
        for (const auto& line : wire())
            if (line.starts_with("write 02 512 FE013801390D")) found.push_back(line.substr(13));
        return found;
    }
    // The run ended with the end-of-transmission command, and nothing after it.
    void expectEnded() const {
        const auto lines = wire();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_THAT(std::vector<std::string>(lines.end() - 3, lines.end()),
                    ::testing::ElementsAreArray(commandLines("FE01380139")));
        EXPECT_EQ(scanner.endCommands(), 1u);
        EXPECT_FALSE(scanner.usbMode());
        EXPECT_FALSE(running.running());
        EXPECT_TRUE(scanner.protocolErrors().empty());
    }

    ScratchFolder target, program;
    RecordingHost host;
    RunningTransfer running;
    ImageDownloadSettings settings;
};

TEST(ImageRun, EachFailedCheckShowsItsMessageThenFinishes) {
    struct Case {
        const char* name;
        std::function<void(sim::Card&)> change;
        std::string message;
    } cases[] = {
        {"wrong magic", [](sim::Card& c) { c.identity.magic_number = 7180; }, "Try again !"},
        {"magic silent", [](sim::Card& c) { c.faults.silentCommands.insert(51); }, "Try again !"},
        {"revision 1811", [](sim::Card& c) { c.identity.svn_version = 1811; },
         "To old hardware !\r\nYour version: 1811, request version 1812"},
        {"revision 1750", [](sim::Card& c) { c.identity.svn_version = 1750; },
         "To old hardware !\r\nYour version: 1750, request version 1812"},
        {"revision silent", [](sim::Card& c) { c.faults.silentCommands.insert(50); }, "Transmision problem !"},
        {"count silent", [](sim::Card& c) { c.faults.silentCommands.insert(10); }, "Transmision problem !"},
        {"no images", [](sim::Card& c) { c.imageMax = 0; }, "No images !"},
        {"catalogue silent", [](sim::Card& c) { c.faults.silentCommands.insert(11); },
         "Transmision problem !\r\nWith images descriptions"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Card card = smallCard();
        c.change(card);
        ImageRunOnCard run(std::move(card));
        const ImageRun result = run.go();
        EXPECT_EQ(result.end, ImageRun::End::CheckFailed);
        EXPECT_EQ(result.message, c.message);
        // No status text before the box; "Finish!" once it is closed.
        EXPECT_THAT(run.host.seen, ElementsAre("message:" + c.message, "status:Finish!"));
        EXPECT_EQ(run.wire().front(), "transfer-size 86 131072");
        run.expectEnded();
        EXPECT_TRUE(run.imageCommands().empty());
    }
}

TEST(ImageRun, Revision1812Passes) {
    sim::Card card = smallCard();
    card.identity.svn_version = 1812;
    ImageRunOnCard run(std::move(card));
    EXPECT_EQ(run.go().end, ImageRun::End::Finished);
    EXPECT_THAT(run.files(), ElementsAre("1.bmp", "3.bmp"));
}

TEST(ImageRun, EveryEntryGetsItsStatusAndOnlyTheTickedOneIsDownloaded) {
    ImageRunOnCard run(cardWithSlots(6, {0, 2, 3, 4, 5})); // five entries; slot 1 empty
    run.host.ticks = std::vector<bool>{false, false, true}; // the 3rd; positions beyond count as not ticked
    const ImageRun result = run.go();
    EXPECT_EQ(result.end, ImageRun::End::Finished);
    EXPECT_THAT(run.host.seen, ElementsAre("select:5", "status:Image 1/5", "status:Image 2/5", "status:Image 3/5",
                                           "status:Image 4/5", "status:Image 5/5", "status:Finish!"));
    EXPECT_THAT(run.imageCommands(), ElementsAre("FE013801390D3A033B00")); // position 2 is slot 3
    EXPECT_THAT(run.files(), ElementsAre("4.bmp"));
    EXPECT_EQ(run.host.pumps, 5 * 3); // twice before and once after each entry
    EXPECT_EQ(result.ticked, 1);
    EXPECT_EQ(result.saved, 1);
    run.expectEnded();
}

TEST(ImageRun, CancelledSelectionDownloadsNothing) {
    ImageRunOnCard run;
    run.host.ticks.reset();
    EXPECT_EQ(run.go().end, ImageRun::End::Cancelled);
    EXPECT_THAT(run.host.seen, ElementsAre("select:2", "status:Finish!"));
    EXPECT_TRUE(run.imageCommands().empty());
    EXPECT_TRUE(run.files().empty());
    run.expectEnded();
}

TEST(ImageRun, CatalogueWithoutEntriesInUseRunsNoLoop) {
    ImageRunOnCard run(cardWithSlots(3, {}));
    EXPECT_EQ(run.go().end, ImageRun::End::Finished);
    EXPECT_THAT(run.host.seen, ElementsAre("select:0", "status:Finish!"));
    run.expectEnded();
}

TEST(ImageRun, BreakTakesEffectAfterTheCurrentImage) {
    for (std::int32_t k : {0, 2, 4}) {
        SCOPED_TRACE(k);
        ImageRunOnCard run(cardWithSlots(6, {0, 2, 3, 4, 5}));
        run.host.onDone = [&](std::int32_t p_id, const ImageDownload& result) {
            EXPECT_TRUE(result.saved()); // the image being downloaded is finished first
            if (p_id == k) {
                EXPECT_TRUE(run.running.requestBreak());
            }
        };
        const ImageRun result = run.go();
        std::vector<std::int32_t> expected;
        for (std::int32_t p = 0; p <= k; ++p) expected.push_back(p);
        EXPECT_EQ(run.host.done, expected);
        EXPECT_EQ(run.host.seen.back(), "status:Finish!");
        EXPECT_EQ(run.host.seen[run.host.seen.size() - 2], "status:Image " + std::to_string(k + 1) + "/5");
        EXPECT_EQ(run.files().size(), static_cast<std::size_t>(k + 1));
        // A break at the last entry leaves nothing undone.
        EXPECT_EQ(result.end, k == 4 ? ImageRun::End::Finished : ImageRun::End::Broken);
        run.expectEnded();
        EXPECT_FALSE(run.running.requestBreak()); // the freed object is out of reach
    }
}

TEST(ImageRun, FailedImagesDoNotStopTheRun) {
    sim::Card card = cardWithSlots(4, {0, 1, 2, 3});
    card.image = [](unsigned slot) -> std::optional<std::vector<std::uint8_t>> {
        if (slot == 1) return std::nullopt; // never answered
        return uniformRaw(static_cast<std::uint8_t>(slot + 1));
    };
    ImageRunOnCard run(std::move(card));
    const ImageRun result = run.go();
    EXPECT_EQ(result.end, ImageRun::End::Finished);
    EXPECT_THAT(run.files(), ElementsAre("1.bmp", "3.bmp", "4.bmp"));
    EXPECT_THAT(result.failed, ElementsAre(1));
    EXPECT_EQ(result.saved, 3);
    EXPECT_TRUE(run.host.seen.size() == 6 && run.host.seen[1] == "status:Image 1/4");
    run.expectEnded();
}

TEST(ImageRun, AnErrorStillRunsTheEndStepsThenReachesTheCaller) {
    ImageRunOnCard run;
    const auto missing = run.target.path / "gone";
    run.host.onDone = [](std::int32_t, const ImageDownload&) { ADD_FAILURE() << "no image can be saved"; };
    EXPECT_THROW(GetImages(run.device, missing, run.host, run.running, run.settings), std::runtime_error);
    EXPECT_THAT(run.host.seen, ElementsAre("select:2", "status:Image 1/2", "status:Finish!"));
    run.expectEnded();
}

TEST(ImageRun, UploadMessagesReachTheHost) {
    ImageRunOnCard run;
    writeText(run.program.path / "RFID.ini", "[dane]\nexe=missing-tool.exe\n");
    RecordingStarter starter;
    run.settings.starter = &starter;
    run.host.ticks = std::vector<bool>{true};
    EXPECT_EQ(run.go().end, ImageRun::End::Finished);
    EXPECT_THAT(run.host.seen, ElementsAre("select:2", "status:Image 1/2", "message:Brak pliku:missing-tool.exe",
                                           "status:Image 2/2", "status:Finish!"));
    EXPECT_EQ(starter.started.size(), 1u);
}

TEST(RunningTransfer, BreakReachesTheAttachedObjectFromAnotherThread) {
    SimulatedLink link;
    RunningTransfer running;
    EXPECT_FALSE(running.requestBreak());
    {
        TQX27R_Transmisja tx(link.device);
        const RunningTransfer::Scope attached(running, tx);
        EXPECT_TRUE(running.running());
        EXPECT_THROW(RunningTransfer::Scope(running, tx), std::logic_error); // one run at a time
        bool reached = false;
        std::thread other([&] { reached = running.requestBreak(); });
        other.join();
        EXPECT_TRUE(reached);
        EXPECT_TRUE(tx.a_break);
    }
    EXPECT_FALSE(running.running());
    EXPECT_FALSE(running.requestBreak());
}

} // namespace
} // namespace kelvo::test
