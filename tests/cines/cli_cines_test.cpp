// The cine commands of kelvo through their run functions, on the simulated scanner in virtual
// time: list cines, cines, cine2avi.
#include "CineTestSupport.h"

#include "CommandLine.h"
#include "Commands.h"
#include "simulator/Card.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace kelvo::cli {
namespace {

using test::ScratchFolder;
using ::testing::HasSubstr;

struct ToolRun {
    int status = -1;
    std::string out, err;
};

struct Tool {
    ScratchFolder program; // where the encoder is looked for first: nothing there unless a test puts it

    ToolRun run(const std::vector<std::string>& args) {
        Options options = parseCommandLine(args);
        options.virtualTime = true;
        options.programFolder = program.path;
        std::ostringstream out, err;
        ToolRun r;
        if (options.command == "cines")
            r.status = runCines(options, out, err);
        else if (options.command == "list")
            r.status = runListImages(options, out, err);
        else if (options.command == "cine2avi")
            r.status = runCine2Avi(options, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    // An encoder next to the program that writes an empty video and ends well (POSIX).
    void fakeEncoder() {
        const auto fake = program.path / "ffmpeg";
        std::ofstream(fake) << "#!/bin/sh\nfor last in \"$@\"; do :; done\n: > \"$last\"\n";
        std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    }
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(CineCommands, ListCinesShowsTheCatalogueOfTheBuiltInCard) {
    Tool tool;
    const auto before = std::filesystem::current_path();
    const ToolRun r = tool.run({"--simulate", "list", "cines"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = linesOf(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_TRUE(lines[0].starts_with("No.   Time"));
    EXPECT_THAT(lines[0], HasSubstr("Mirrored"));
    EXPECT_TRUE(lines[1].starts_with("1     ")) << lines[1];
    EXPECT_THAT(lines[1], HasSubstr("Carotid pulse"));
    EXPECT_THAT(lines[1], HasSubstr("50 mm"));
    EXPECT_TRUE(lines[1].ends_with("no"));
    EXPECT_TRUE(lines[2].starts_with("3     ")) << lines[2]; // slot 1 is empty
    EXPECT_THAT(lines[2], HasSubstr("Liver breathing"));
    EXPECT_THAT(lines[2], HasSubstr("80 mm"));
    EXPECT_TRUE(lines[2].ends_with("yes"));
    EXPECT_FALSE(std::filesystem::exists(before / "tmp" / "cine_opisy")); // nothing left in the working folder
}

TEST(CineCommands, ListCinesFailsWithTheRunsMessage) {
    Tool tool;
    ScratchFolder cardFolder;
    sim::Card card = sim::syntheticCard();
    card.faults.silentCommands.insert(54);
    sim::writeCardFolder(card, cardFolder.path);
    const ToolRun r = tool.run({"--simulate", cardFolder.path.string(), "list", "cines"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Transmision problem, [field of view] !\n");
    EXPECT_TRUE(r.out.empty());
}

TEST(CineCommands, CinesWritesTheRawLoopFramesAndVideoOfTheSelection) {
    if (!test::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not on PATH";
    Tool tool;
    ScratchFolder out;
    const auto folder = out.path / "new folder";
    const ToolRun r = tool.run({"--simulate", "cines", "-o", folder.string(), "--select", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Cine 2/2: " + (folder / "3_cine.avi").string() + "\n");
    EXPECT_EQ(r.out, "Wrote 1 video to \"" + folder.string() + "\" (raw cines and frames in \"" +
                         (folder / "tmp").string() + "\")\n");
    EXPECT_EQ(std::filesystem::file_size(folder / "tmp" / "cine_3.bin"), 33554432u);
    EXPECT_FALSE(std::filesystem::exists(folder / "tmp" / "cine_1.bin"));
    EXPECT_TRUE(std::filesystem::exists(folder / "tmp" / "a_cine_254.bmp"));
    EXPECT_GT(std::filesystem::file_size(folder / "3_cine.avi"), 10000u);
}

#ifndef _WIN32
TEST(CineCommands, CinesNamesEveryCineWithoutAVideo) {
    Tool tool;
    tool.fakeEncoder();
    ScratchFolder cardFolder, out;
    sim::Card card = sim::syntheticCard();
    const auto whole = card.cine;
    card.cine = [whole](unsigned slot) -> std::optional<std::vector<std::uint8_t>> {
        if (slot == 0) return std::nullopt; // never answered
        return whole(slot);
    };
    sim::writeCardFolder(card, cardFolder.path);
    const ToolRun r = tool.run({"--simulate", cardFolder.path.string(), "cines", "-o", out.path.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("Cine 1/2: 1_cine.avi not written: no answer from the scanner\n"));
    EXPECT_THAT(r.err, HasSubstr("Cine 2/2: " + (out.path / "3_cine.avi").string() + "\n"));
    EXPECT_THAT(r.err, HasSubstr("Not written: 1_cine.avi (no answer from the scanner)\n"));
    EXPECT_EQ(r.out, "Wrote 1 of 2 videos to \"" + out.path.string() + "\"\n");
}
#endif

TEST(CineCommands, ANumberTheScannerDoesNotHoldIsAnErrorBeforeAnyDownload) {
    Tool tool;
    ScratchFolder out;
    EXPECT_THROW(tool.run({"--simulate", "cines", "-o", out.path.string(), "--select", "2"}), UsageError);
    EXPECT_FALSE(std::filesystem::exists(out.path / "tmp" / "cine_1.bin"));
    EXPECT_THROW(tool.run({"--simulate", "cines", "--select", "1"}), UsageError); // no -o
}

TEST(CineCommands, Cine2AviMakesARawFileIntoFramesAndAVideo) {
    if (!test::haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not on PATH";
    Tool tool;
    ScratchFolder out;
    const auto raw = out.path / "cine_7.bin";
    test::writeBytes(raw, test::movingCine(5));
    const ToolRun r =
        tool.run({"cine2avi", raw.string(), "-o", out.path.string(), "--fov", "40", "--range", "100", "--mirror"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Wrote 4 frames (116 x 288) to \"" + (out.path / "tmp").string() + "\" and the video \"" +
                         (out.path / "7_cine.avi").string() + "\"\n");
    EXPECT_TRUE(std::filesystem::exists(out.path / "tmp" / "a_cine_3.bmp"));
    EXPECT_GT(std::filesystem::file_size(out.path / "7_cine.avi"), 1000u);
}

TEST(CineCommands, Cine2AviSaysWhyThereIsNoVideo) {
    Tool tool;
    ScratchFolder out;
    const auto raw = out.path / "loop.bin";
    test::writeBytes(raw, test::movingCine(3));
    const ToolRun refused =
        tool.run({"cine2avi", raw.string(), "-o", out.path.string(), "--fov", "0", "--range", "50"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "kelvo: Cine 1 refused: a field of view of 0 mm at a depth range of 50 mm makes frames 0 "
                           "pixels wide, outside 4 to 4096. No video was made.\n");
    EXPECT_THROW(tool.run({"cine2avi", raw.string(), "-o", out.path.string(), "--range", "50"}), UsageError);
    EXPECT_THROW(tool.run({"cine2avi", raw.string(), "-o", out.path.string(), "--fov", "40", "--range", "0"}),
                 UsageError);
    EXPECT_THROW(tool.run({"cine2avi", "-o", out.path.string(), "--fov", "40", "--range", "50"}), UsageError);
    const ToolRun missing = tool.run(
        {"cine2avi", (out.path / "none.bin").string(), "-o", out.path.string(), "--fov", "40", "--range", "50"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("cannot read"));
}

} // namespace
} // namespace kelvo::cli
