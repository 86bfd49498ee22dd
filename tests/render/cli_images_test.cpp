// The image commands of kelvo through their run functions, on the simulated scanner in
// virtual time.
#include "RenderTestSupport.h"

#include "CommandLine.h"
#include "Commands.h"
#include "InterruptBreak.h"
#include "SimulatedLink.h"
#include "imaging/BmpFile.h"
#include "render/ImageRenderer.h"
#include "simulator/Card.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <csignal>
#endif

namespace kelvo::cli {
namespace {

using test::ScratchFolder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct ToolRun {
    int status = -1;
    std::string out, err;
};

struct Tool {
    ScratchFolder program; // no "RFID.ini" unless a test puts one there

    ToolRun run(const std::vector<std::string>& args) {
        Options options = parseCommandLine(args);
        options.virtualTime = true;
        options.programFolder = program.path;
        std::ostringstream out, err;
        ToolRun r;
        if (options.command == "images") r.status = runImages(options, out, err);
        else if (options.command == "list") r.status = runListImages(options, out, err);
        else if (options.command == "render") r.status = runRender(options, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
};

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(folder)) names.push_back(f.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A text file as lines end in it on this system (the trace is written in text mode).
std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::size_t imageCommandsIn(const std::string& trace) {
    std::size_t n = 0;
    for (std::size_t at = trace.find("FE013801390D"); at != std::string::npos; at = trace.find("FE013801390D", at + 1))
        ++n;
    return n;
}

// A card folder holding the built-in card, with a change.
std::filesystem::path cardFolder(const ScratchFolder& folder, const std::function<void(sim::Card&)>& change) {
    sim::Card card = sim::syntheticCard();
    change(card);
    sim::writeCardFolder(card, folder.path);
    return folder.path;
}

TEST(KelvoImages, WritesEveryStoredImageNamedAfterItsNumber) {
    Tool tool;
    ScratchFolder out;
    const auto dir = out.path / "new" / "images"; // made when missing
    const ToolRun r = tool.run({"images", "--simulate", "-o", dir.string()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    // Slot 2 of the built-in card is empty.
    EXPECT_THAT(filesIn(dir), ElementsAre("1.bmp", "2.bmp", "4.bmp", "5.bmp", "6.bmp", "7.bmp", "8.bmp"));
    EXPECT_EQ(r.out, "Wrote 7 images to \"" + dir.string() + "\"\n");
    // Not a terminal: one plain line per image.
    EXPECT_THAT(r.err, HasSubstr("Image 3/7: " + (dir / "4.bmp").string() + "\n"));
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    const Bitmap24 picture = loadBmp(dir / "4.bmp");
    EXPECT_EQ(picture.width(), 480);
    EXPECT_EQ(picture.height(), 640);
}

TEST(KelvoImages, SelectNamesTheNumbersShown) {
    Tool tool;
    ScratchFolder out;
    const auto trace = out.path / "t.log";
    const ToolRun r = tool.run(
        {"images", "--select", "1,4-5,8", "-o", (out.path / "x").string(), "--simulate", "--trace", trace.string()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_THAT(filesIn(out.path / "x"), ElementsAre("1.bmp", "4.bmp", "5.bmp", "8.bmp"));
    EXPECT_EQ(imageCommandsIn(readAll(trace)), 4u);
    EXPECT_EQ(r.out, "Wrote 4 images to \"" + (out.path / "x").string() + "\"\n");
}

TEST(KelvoImages, NumberNotInTheCatalogueFailsBeforeAnyDownload) {
    Tool tool;
    ScratchFolder out;
    const auto trace = out.path / "t.log";
    try {
        tool.run({"images", "--select", "2-3,40", "-o", (out.path / "x").string(), "--simulate", "--trace",
                  trace.string()});
        ADD_FAILURE() << "no error";
    } catch (const UsageError& e) {
        EXPECT_THAT(e.what(), HasSubstr("no image 3, 40"));
        EXPECT_THAT(e.what(), HasSubstr("1, 2, 4-8"));
    }
    const std::string wire = readAll(trace);
    EXPECT_EQ(imageCommandsIn(wire), 0u);
    const auto lines = linesOf(wire);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(lines[lines.size() - 3].ends_with(" write 02 512 FE01380139")) << "the transmission is ended";
    EXPECT_TRUE(filesIn(out.path / "x").empty());
}

TEST(KelvoImages, BadSelectListsAreRejectedBeforeTheScannerIsTouched) {
    for (const char* list : {"", "1,,2", "5-3", "0", "x", "1-", "-2", "65537", "2,"}) {
        Tool tool;
        ScratchFolder out;
        const auto trace = out.path / "t.log";
        EXPECT_THROW(tool.run({"images", "--select", list, "-o", out.path.string(), "--simulate", "--trace",
                               trace.string()}),
                     UsageError)
            << list;
        EXPECT_FALSE(std::filesystem::exists(trace)) << list;
    }
    Tool tool;
    EXPECT_THROW(tool.run({"images", "--simulate"}), UsageError);                      // no -o
    EXPECT_THROW(tool.run({"images", "-o"}), UsageError);                              // no value
    EXPECT_THROW(tool.run({"images", "-o", "/tmp", "--frobnicate"}), UsageError);      // unknown option
    EXPECT_THROW(tool.run({"images", "-o", "/tmp", "stray"}), UsageError);             // stray word
    EXPECT_THROW(parseCommandLine({"info", "-o", "/tmp"}), UsageError);                // not an info option
}

TEST(KelvoImages, FailedImagesAreNamedAndTheRunGoesOn) {
    Tool tool;
    ScratchFolder card, out;
    const auto folder = cardFolder(card, [](sim::Card& c) { c.faults.shortReplies[13] = 65536; });
    std::filesystem::remove(folder / "image_4.raw"); // slot 4 (number 5) never answers
    const ToolRun r = tool.run({"images", "--simulate", folder.string(), "-o", out.path.string(), "--select", "4-6"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_TRUE(filesIn(out.path).empty());
    EXPECT_THAT(r.err, HasSubstr("Not written: 4.bmp (the reply ended after 65536 of 131072 bytes), 5.bmp (no answer "
                                 "from the scanner), 6.bmp (the reply ended after 65536 of 131072 bytes)\n"));
    EXPECT_EQ(r.out, "Wrote 0 of 3 images to \"" + out.path.string() + "\"\n");
}

TEST(KelvoImages, FailedCheckShowsItsMessage) {
    Tool tool;
    ScratchFolder card, out;
    const auto folder = cardFolder(card, [](sim::Card& c) { c.identity.svn_version = 1790; });
    const ToolRun r = tool.run({"images", "--simulate", folder.string(), "-o", out.path.string()});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.err, "To old hardware !\nYour version: 1790, request version 1812\n");
    EXPECT_EQ(r.out, "");
}

TEST(KelvoListImages, ShowsTheCatalogueAndDownloadsNothing) {
    Tool tool;
    ScratchFolder out;
    const auto trace = out.path / "t.log";
    const ToolRun r = tool.run({"list", "images", "--simulate", "--trace", trace.string()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    const auto lines = linesOf(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out;
    EXPECT_TRUE(lines[0].starts_with("No.   Time ")) << lines[0];
    EXPECT_EQ(lines[1], "1     03.11.2025 09:14:27  Liver left lobe                 E20000171987  120 mm  "
                        "4.0 MHz   0, 1");
    EXPECT_TRUE(lines[3].starts_with("4     14.12.2025 11:05:52  ")) << lines[3]; // slot 2 is empty
    EXPECT_TRUE(lines[3].ends_with("150 mm  5.0 MHz   0, 1, 2")) << lines[3];
    EXPECT_TRUE(lines[4].ends_with("9.0 MHz   -")) << lines[4];
    EXPECT_TRUE(lines[7].ends_with("6.0 MHz   0, 2")) << lines[7];
    EXPECT_EQ(imageCommandsIn(readAll(trace)), 0u);
    EXPECT_THROW(tool.run({"list", "--simulate"}), UsageError);
    EXPECT_THROW(tool.run({"list", "videos", "--simulate"}), UsageError);
}

TEST(KelvoListImages, FailedCheckShowsItsMessage) {
    Tool tool;
    ScratchFolder card;
    const auto folder = cardFolder(card, [](sim::Card& c) { c.imageMax = 0; });
    const ToolRun r = tool.run({"list", "images", "--simulate", folder.string()});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.err, "No images !\n");
}

TEST(KelvoRender, RendersTheRawFileWithTheHeaderFromItsOptions) {
    Tool tool;
    ScratchFolder dir;
    std::vector<std::uint8_t> raw(kRawImageBytes);
    for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<std::uint8_t>(i * 31 / 256);
    const auto rawFile = dir.path / "scan.raw";
    std::ofstream(rawFile, std::ios::binary)
        .write(reinterpret_cast<const char*>(raw.data()), std::streamsize(raw.size()));

    const auto bmp = dir.path / "out.bmp";
    const ToolRun r = tool.run({"render", rawFile.string(), "-o", bmp.string(), "--zakres", "3", "--focus", "55",
                                "--freq", "2", "--zoom", "150", "--time", "2014-03-07 09:08:07", "--id", "12",
                                "--rfid", "E200", "--desc", "K\xC5\x82oda", "--swap", "--measure", "60,100,70,130",
                                "--measure", "0,0,0,0", "--measure=80,90,100,140", "--rfid-ini"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Wrote \"" + bmp.string() + "\"\n");

    TImageData h;
    h.ID = 11;
    h.CF_config_zakres = 3;
    h.CF_config_focus = 55;
    h.CF_config_CZESTOTLIWOSC = 2;
    h.CF_CONFIG_ZOOM = 150;
    h.CF_config_YY = 14;
    h.CF_config_MM = 3;
    h.CF_config_DD = 7;
    h.CF_config_HH = 9;
    h.CF_config_MIN = 8;
    h.CF_config_SEC = 7;
    h.CF_RFID = {'E', '2', '0', '0'};
    h.CF_OPIS.fill(' ');
    const std::uint8_t desc[] = {'K', 0xB3, 'o', 'd', 'a'}; // Windows-1250
    std::copy(std::begin(desc), std::end(desc), h.CF_OPIS.begin());
    h.CF_OPIS_jest = true;
    h.CF_ZAMIEN_LEWA_PRAWA = true;
    h.g_Dane_wymiarowania[0] = {100, 60, 130, 70};
    h.g_Dane_wymiarowania[2] = {90, 80, 140, 100};
    RenderOptions options;
    options.rfidHook = true;
    EXPECT_EQ(loadBmp(bmp), renderImage(raw, h, options));

    // Without --desc the description is thirty spaces: no description line.
    const ToolRun plain = tool.run({"render", rawFile.string(), "-o", bmp.string()});
    ASSERT_EQ(plain.status, kExitOk) << plain.err;
    TImageData none;
    none.CF_CONFIG_ZOOM = 100;
    none.CF_config_MM = 1;
    none.CF_config_DD = 1;
    none.CF_OPIS.fill(' ');
    EXPECT_EQ(loadBmp(bmp), renderImage(raw, none, {}));
}

TEST(KelvoRender, RejectsWhatItCannotRender) {
    Tool tool;
    ScratchFolder dir;
    const auto shortRaw = dir.path / "short.raw";
    std::ofstream(shortRaw, std::ios::binary) << std::string(1000, 'x');
    const auto bmp = (dir.path / "o.bmp").string();
    const ToolRun r = tool.run({"render", shortRaw.string(), "-o", bmp});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_THAT(r.err, HasSubstr("holds 1000 bytes; a raw image holds 131072"));
    EXPECT_EQ(tool.run({"render", (dir.path / "none.raw").string(), "-o", bmp}).status, kExitFailed);
    const std::string raw = shortRaw.string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"render", "-o", bmp},
             {"render", raw},
             {"render", raw, "-o", bmp, "--time", "2014-03-07 09:08"},
             {"render", raw, "-o", bmp, "--time", "1999-03-07 09:08:07"},
             {"render", raw, "-o", bmp, "--rfid", "1234567890123"},
             {"render", raw, "-o", bmp, "--desc", std::string(31, 'a')},
             {"render", raw, "-o", bmp, "--measure", "1,2,3"},
             {"render", raw, "-o", bmp, "--measure", "1,2,3,4,5"},
             {"render", raw, "-o", bmp, "--measure", "1,2,3,4", "--measure", "1,2,3,4", "--measure", "1,2,3,4",
              "--measure", "1,2,3,4", "--measure", "1,2,3,4"},
             {"render", raw, "-o", bmp, "--id", "0"},
             {"render", raw, "-o", bmp, "--zakres", "four"},
             {"render", raw, "-o", bmp, "--code-page", "ebcdic"},
         })
        EXPECT_THROW(tool.run(args), UsageError) << args.back();
}

#ifndef _WIN32
TEST(KelvoInterrupt, CtrlCSetsTheBreakFlagOfTheRunningTransfer) {
    test::SimulatedLink link;
    static RunningTransfer running;
    struct sigaction before {};
    sigaction(SIGINT, nullptr, &before);
    {
        const InterruptBreak interrupt(running);
        TQX27R_Transmisja tx(link.device);
        {
            const RunningTransfer::Scope attached(running, tx);
            std::raise(SIGINT);
            EXPECT_TRUE(tx.a_break);
            EXPECT_EQ(InterruptBreak::interrupts(), 1);
        }
    }
    struct sigaction after {};
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler); // the previous handler is back
}
#endif

} // namespace
} // namespace kelvo::cli
