// The cine run: its own checks and messages, the field of view, the per-entry status texts with
// the frame texts of the cine in hand, fetching only ticked cines, failures that do not stop
// the run, what the user is told, the break flag, and the end steps on every way out.
#include "CineTestSupport.h"
#include "SimulatedLink.h"

#include "workflow/CineWorkflow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Records what the user would see, in order: "status:...", "message:...", "select:N",
// "done:P:why". The frame texts are counted, and kept only when `frames` says so.
class RecordingHost final : public CineWorkflowHost {
public:
    void status(const std::string& p_str) override {
        if (p_str.starts_with("Frame: ")) {
            ++frameTexts;
            if (onFrame) onFrame(p_str);
            if (!frames) return;
        }
        seen.push_back("status:" + p_str);
    }
    void message(const std::string& text) override { seen.push_back("message:" + text); }
    std::optional<std::vector<bool>> select(std::span<const std::unique_ptr<TImageData>> entries) override {
        seen.push_back("select:" + std::to_string(entries.size()));
        if (!ticks) return std::nullopt;
        return ticks->empty() ? std::vector<bool>(entries.size(), true) : *ticks;
    }
    void processMessages() override { ++pumps; }
    void cineDone(std::int32_t p_id, const TImageData&, const CineItem& item) override {
        done.push_back(p_id);
        items.push_back(item);
    }

    std::vector<std::string> seen;
    std::optional<std::vector<bool>> ticks = std::vector<bool>{}; // empty: every row
    bool frames = false;
    int frameTexts = 0;
    int pumps = 0;
    std::vector<std::int32_t> done;
    std::vector<CineItem> items;
    std::function<void(const std::string&)> onFrame;
};

struct CineRunOnCard : SimulatedLink {
    explicit CineRunOnCard(sim::Card card) : SimulatedLink(std::move(card)) {
        settings.encoder.programFolders = platform::AppFolders{program.path, program.path, program.path};
        settings.encoder.runner = &runner;
        settings.encoder.searchPath = false;
        runner.makeVideo = true;
        const auto encoder = program.path / (kNativeUploadStyle == UploadStyle::WindowsBatch ? "ffmpeg.exe" : "ffmpeg");
        writeBytes(encoder, {});
        std::filesystem::permissions(encoder, std::filesystem::perms::owner_all);
    }
    CineRun go() { return GetCines(device, target.path, host, running, settings); }

    // The words of every command 23 on the wire, as "3A xx 3B yy" hex.
    std::vector<std::string> cineCommands() const {
        std::vector<std::string> found;
        for (const auto& line : wire())
            if (line.starts_with("write 02 512 FE0138013917")) found.push_back(line.substr(25));
        return found;
    }
    bool sent(const std::string& code) const {
        for (const auto& line : wire())
            if (line == "write 02 512 FE01380139" + code) return true;
        return false;
    }
    bool inTmp(const std::string& name) const { return std::filesystem::exists(target.path / "tmp" / name); }
    void expectEnded() const {
        const auto lines = wire();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_THAT(std::vector<std::string>(lines.end() - 3, lines.end()),
                    ElementsAreArray(commandLines("FE01380139")));
        EXPECT_EQ(scanner.endCommands(), 1u);
        EXPECT_FALSE(scanner.usbMode());
        EXPECT_FALSE(running.running());
        EXPECT_TRUE(scanner.protocolErrors().empty());
    }

    ScratchFolder target, program;
    RecordingHost host;
    RunningTransfer running;
    RecordingRunner runner;
    CineExportSettings settings;
};

TEST(CineRun, EachFailedCheckShowsItsMessageThenFinishes) {
    struct Case {
        const char* name;
        std::function<void(sim::Card&)> change;
        std::string message;
    } cases[] = {
        {"magic silent", [](sim::Card& c) { c.faults.silentCommands.insert(51); },
         "Transmision problem, \"magic number\", please restart device! !"},
        {"wrong magic", [](sim::Card& c) { c.identity.magic_number = 7180; },
         "Wrong \"magic number\", please restart device! !"},
        {"revision silent", [](sim::Card& c) { c.faults.silentCommands.insert(50); }, "Transmision problem !"},
        {"revision 1811", [](sim::Card& c) { c.identity.svn_version = 1811; },
         "To old hardware !\r\nYour version: 1811, request version 1812"},
        {"field of view silent", [](sim::Card& c) { c.faults.silentCommands.insert(54); },
         "Transmision problem, [field of view] !"},
        {"count silent", [](sim::Card& c) { c.faults.silentCommands.insert(20); }, "Transmision problem !"},
        {"no cines", [](sim::Card& c) { c.cineMax = 0; }, "No images !"},
        {"catalogue silent", [](sim::Card& c) { c.faults.silentCommands.insert(21); },
         "Transmision problem !\r\nWith cine descriptions"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Card card = cineCard(2, {0, 1});
        c.change(card);
        CineRunOnCard run(std::move(card));
        const CineRun result = run.go();
        EXPECT_EQ(result.end, CineRun::End::CheckFailed);
        EXPECT_EQ(result.message, c.message);
        EXPECT_THAT(run.host.seen, ElementsAre("message:" + c.message, "status:Finish!"));
        EXPECT_EQ(run.wire().front(), "transfer-size 86 131072");
        EXPECT_TRUE(run.cineCommands().empty());
        run.expectEnded();
    }
    // A failing field-of-view query comes after the revision check and before the count.
    sim::Card card = cineCard(2, {0, 1});
    card.faults.silentCommands.insert(54);
    CineRunOnCard run(std::move(card));
    run.go();
    EXPECT_TRUE(run.sent("32"));  // revision
    EXPECT_TRUE(run.sent("36"));  // field of view
    EXPECT_FALSE(run.sent("14")); // cine count
}

// Five entries, the 2nd and 4th ticked: every entry has its text, and the frame texts of cine 2
// lie between "Cine 2/5" and "Cine 3/5".
TEST(CineRun, OnlyTickedCinesAreFetchedAndTheirFrameTextsShowInBetween) {
    CineRunOnCard run(cineCard(6, {0, 1, 3, 4, 5}, 38)); // slot 2 empty: position 2 is slot 3
    run.host.ticks = std::vector<bool>{false, true, false, true};
    run.host.frames = true;
    const CineRun result = run.go();
    EXPECT_EQ(result.end, CineRun::End::Finished);
    EXPECT_EQ(result.ticked, 2);
    EXPECT_EQ(result.videos, 2);

    std::vector<std::string> expected{"select:5", "status:Cine 1/5", "status:Cine 2/5"};
    for (int k = 0; k < 255; ++k)
        expected.push_back("status:Frame: " + std::to_string(k) + "/256");
    expected.insert(expected.end(), {"status:Cine 3/5", "status:Cine 4/5"});
    for (int k = 0; k < 255; ++k)
        expected.push_back("status:Frame: " + std::to_string(k) + "/256");
    expected.insert(expected.end(), {"status:Cine 5/5", "status:Finish!"});
    EXPECT_EQ(run.host.seen, expected);

    EXPECT_THAT(run.cineCommands(), ElementsAre("3A013B00", "3A043B00")); // positions 1 and 3: slots 1 and 4
    EXPECT_TRUE(readBytes(run.target.path / "tmp" / "cine_2.bin") == cardCine(1));
    EXPECT_TRUE(readBytes(run.target.path / "tmp" / "cine_5.bin") == cardCine(4));
    EXPECT_FALSE(run.inTmp("cine_1.bin"));
    EXPECT_EQ(run.runner.runs.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(run.target.path / "2_cine.avi"));
    EXPECT_TRUE(std::filesystem::exists(run.target.path / "5_cine.avi"));
    // 38 mm over 100 mm: 108 pixels wide.
    ASSERT_EQ(run.host.items.size(), 2u);
    EXPECT_EQ(run.host.items[0].video->width, 108);
    // Twice before and once after each entry, and once for each frame.
    EXPECT_EQ(run.host.pumps, 5 * 3 + 2 * 255);
    run.expectEnded();
}

TEST(CineRun, ACineThatNeverArrivesIsSkippedWithoutAWord) {
    CineRunOnCard run(cineCard(3, {0, 1, 2}, 40, {0}));
    run.host.ticks = std::vector<bool>{true, false, true};
    const CineRun result = run.go();
    EXPECT_EQ(result.end, CineRun::End::Finished);
    EXPECT_THAT(run.host.seen,
                ElementsAre("select:3", "status:Cine 1/3", "status:Cine 2/3", "status:Cine 3/3", "status:Finish!"));
    EXPECT_THAT(run.host.done, ElementsAre(0, 2));
    EXPECT_EQ(run.host.items[0].download.outcome, CineDownload::Outcome::NoReply);
    EXPECT_FALSE(run.host.items[0].video.has_value());
    EXPECT_FALSE(run.inTmp("cine_1.bin"));
    EXPECT_FALSE(std::filesystem::exists(run.target.path / "1_cine.avi"));
    EXPECT_TRUE(run.host.items[1].made());
    EXPECT_THAT(result.failed, ElementsAre(0));
    run.expectEnded();
}

TEST(CineRun, ABreakDuringTheFramesStopsThemAndTheLoop) {
    CineRunOnCard run(cineCard(3, {0, 1, 2}));
    run.host.onFrame = [&](const std::string& text) {
        if (text == "Frame: 10/256") {
            EXPECT_TRUE(run.running.requestBreak());
        }
    };
    const CineRun result = run.go();
    EXPECT_EQ(result.end, CineRun::End::Broken);
    EXPECT_THAT(run.cineCommands(), ElementsAre("3A003B00"));
    EXPECT_TRUE(run.inTmp("a_cine_10.bmp"));
    EXPECT_FALSE(run.inTmp("a_cine_11.bmp"));
    EXPECT_TRUE(run.runner.runs.empty());
    EXPECT_FALSE(std::filesystem::exists(run.target.path / "1_cine.avi"));
    EXPECT_THAT(run.host.seen, ElementsAre("select:3", "status:Cine 1/3", "status:Finish!"));
    run.expectEnded();
    EXPECT_FALSE(run.running.requestBreak()); // the freed object is out of reach
}

// The user hears of a loop that came in part, and of every cine that got no video, once for
// each text.
TEST(CineRun, WhatCostAVideoIsToldOnceEach) {
    {
        sim::Card card = cineCard(1, {0});
        card.faults.shortReplies[23] = 1048576;
        CineRunOnCard run(std::move(card));
        EXPECT_EQ(run.go().videos, 1); // the part that came is still a video
        EXPECT_THAT(run.host.seen,
                    ElementsAre("select:1", "status:Cine 1/1",
                                "message:Cine 1 arrived only in part: 1048576 of 33554432 bytes, 8 of 256 frames. The "
                                "rest of the loop is black.",
                                "status:Finish!"));
        EXPECT_EQ(std::filesystem::file_size(run.target.path / "tmp" / "cine_1.bin"), 33554432u);
    }
    {
        CineRunOnCard run(cineCard(2, {0, 1}, 0)); // a field of view of 0
        const CineRun result = run.go();
        EXPECT_EQ(result.videos, 0);
        ASSERT_EQ(run.host.seen.size(), 6u);
        EXPECT_EQ(run.host.seen[2], "message:Cine 1 refused: a field of view of 0 mm at a depth range of 100 mm makes "
                                    "frames 0 pixels wide, outside 4 to 4096. No video was made.");
        EXPECT_TRUE(run.host.seen[4].starts_with("message:Cine 2 refused: "));
        EXPECT_TRUE(run.inTmp("cine_2.bin")); // the raw loop is kept
        EXPECT_FALSE(run.inTmp("a_cine_0.bmp"));
        run.expectEnded();
    }
    {
        CineRunOnCard run(cineCard(2, {0, 1}));
        std::filesystem::remove_all(run.program.path /
                                    (kNativeUploadStyle == UploadStyle::WindowsBatch ? "ffmpeg.exe" : "ffmpeg"));
        const CineRun result = run.go();
        EXPECT_EQ(result.videos, 0);
        EXPECT_THAT(result.failed, ElementsAre(0, 1));
        int messages = 0;
        for (const auto& s : run.host.seen)
            messages += s.starts_with("message:No video can be made: the encoder") ? 1 : 0;
        EXPECT_EQ(messages, 1);
        EXPECT_EQ(run.host.seen.size(), 5u); // select, two cines, one message, Finish!
        EXPECT_TRUE(run.runner.runs.empty());
    }
}

TEST(CineRun, ACancelledSelectionFetchesNothing) {
    CineRunOnCard run(cineCard(2, {0, 1}));
    run.host.ticks.reset();
    EXPECT_EQ(run.go().end, CineRun::End::Cancelled);
    EXPECT_THAT(run.host.seen, ElementsAre("select:2", "status:Finish!"));
    EXPECT_TRUE(run.cineCommands().empty());
    run.expectEnded();
}

TEST(CineRun, AnErrorStillRunsTheEndStepsThenReachesTheCaller) {
    CineRunOnCard run(cineCard(1, {0}));
    const auto missing = run.target.path / "gone"; // its "tmp" cannot be made: the raw file cannot be written
    EXPECT_THROW(GetCines(run.device, missing, run.host, run.running, run.settings), std::runtime_error);
    EXPECT_EQ(run.host.seen.back(), "status:Finish!");
    EXPECT_EQ(run.host.seen[run.host.seen.size() - 2], "status:Cine 1/1");
    run.expectEnded();
}

} // namespace
} // namespace kelvo::test
