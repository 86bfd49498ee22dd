// A raw cine file made into frame bitmaps and handed to the encoder, through the transfer
// object's Cine2AVI, with a stand-in runner: the frame names, the status texts, the break
// after a frame, short files, the untrusted field of view, and the depth-range question.
#include "CineTestSupport.h"

#include "cine/CineFrames.h"
#include "imaging/BmpFile.h"
#include "transmission/Transmisja.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A transfer object without a scanner: the export needs only its folder, field of view, break
// flag and status event.
struct Exporter {
    Exporter() : device(clock), tx(device) {
        tx.a_folder = target.path;
        tx.a_pole_widzenia = 45;
        tx.a_EventUpdateSTR = [this](TQX27R_Transmisja& sender, const std::string& text) {
            EXPECT_EQ(&sender, &tx);
            statuses.push_back(text);
            if (onStatus) onStatus(text);
        };
        settings.encoder.programFolders = platform::AppFolders{program.path, program.path, program.path};
        settings.encoder.runner = &runner;
        settings.processMessages = [this] { ++pumps; };
        writeBytes(program.path / (kNativeUploadStyle == UploadStyle::WindowsBatch ? "ffmpeg.exe" : "ffmpeg"), {});
        std::filesystem::permissions(program.path /
                                         (kNativeUploadStyle == UploadStyle::WindowsBatch ? "ffmpeg.exe" : "ffmpeg"),
                                     std::filesystem::perms::owner_all);
        std::filesystem::create_directories(target.path / "tmp");
    }
    std::filesystem::path raw(const std::vector<std::uint8_t>& bytes) {
        const auto file = target.path / "tmp" / "cine_1.bin";
        writeBytes(file, bytes);
        return file;
    }
    CineVideo convert(const std::filesystem::path& rawFile, std::int32_t zakres = 100) {
        return tx.Cine2AVI(target.path, rawFile, zakres, entry, settings);
    }
    bool frame(int k) const {
        return std::filesystem::exists(target.path / "tmp" / ("a_cine_" + std::to_string(k) + ".bmp"));
    }
    int framesPresent() const {
        int n = 0;
        while (frame(n))
            ++n;
        return n;
    }

    ScratchFolder target, program;
    VirtualClock clock;
    TUSB_Device device;
    TQX27R_Transmisja tx;
    TImageData entry;
    CineExportSettings settings;
    RecordingRunner runner;
    std::vector<std::string> statuses;
    std::function<void(const std::string&)> onStatus;
    int pumps = 0;
};

TEST(CineExport, FramesAreMeansOfNeighboursNamedFromZeroWithTheirStatusTexts) {
    Exporter e;
    const std::vector<std::uint8_t> bytes = movingCine(6);
    const CineVideo video = e.convert(e.raw(bytes));
    EXPECT_EQ(video.frames.rawFrames, 6);
    EXPECT_EQ(video.frames.written, 5);
    EXPECT_EQ(e.framesPresent(), 5);
    EXPECT_THAT(e.statuses, ElementsAre("Frame: 0/6", "Frame: 1/6", "Frame: 2/6", "Frame: 3/6", "Frame: 4/6"));
    EXPECT_EQ(e.pumps, 5);

    // Frame 2 is the mean of raw frames 2 and 3, at 45 mm over 100 mm: 132 x 288.
    std::vector<std::uint8_t> mean(kCineFrameBytes);
    const auto at = [&](int k) {
        return std::span<const std::uint8_t>(bytes).subspan(static_cast<std::size_t>(k) * kCineFrameBytes,
                                                            kCineFrameBytes);
    };
    usrednijKlatki(at(2), at(3), mean);
    EXPECT_TRUE(loadBmp(e.target.path / "tmp" / "a_cine_2.bmp") == klatkaCine(mean, false, 132));
    EXPECT_EQ(video.width, 132);

    // Then the encoder, once, for 1_cine.avi in the target folder.
    ASSERT_EQ(e.runner.runs.size(), 1u);
    if (kNativeUploadStyle == UploadStyle::PosixScript) {
        EXPECT_EQ(e.runner.runs[0].arguments.at(3), pathToUtf8(e.target.path / "tmp" / "a_cine_%d.bmp"));
        EXPECT_EQ(e.runner.runs[0].arguments.back(), pathToUtf8(e.target.path / "1_cine.avi"));
    }
    EXPECT_EQ(video.video, e.target.path / "1_cine.avi");
}

TEST(CineExport, NoStatusEventStillMakesTheFrames) {
    Exporter e;
    e.tx.a_EventUpdateSTR = nullptr;
    const CineVideo video = e.convert(e.raw(movingCine(3)));
    EXPECT_EQ(video.frames.written, 2);
    EXPECT_EQ(e.framesPresent(), 2);
}

TEST(CineExport, ABreakDuringFrameTenLeavesFramesZeroToTenAndNoVideo) {
    Exporter e;
    e.onStatus = [&](const std::string& text) {
        if (text == "Frame: 10/20") e.tx.a_break = true;
    };
    const CineVideo video = e.convert(e.raw(movingCine(20)));
    EXPECT_EQ(video.outcome, CineVideo::Outcome::Broken);
    EXPECT_EQ(video.frames.written, 11);
    EXPECT_EQ(e.framesPresent(), 11); // a_cine_0 .. a_cine_10
    EXPECT_EQ(e.statuses.back(), "Frame: 10/20");
    EXPECT_TRUE(e.runner.runs.empty());
    EXPECT_FALSE(std::filesystem::exists(e.program.path / "zzz.sh"));
    EXPECT_FALSE(std::filesystem::exists(e.program.path / "zzz.bat"));
    EXPECT_TRUE(video.problem.empty());
}

// Another cine's frames lie in "tmp": a file too short for a frame must not hand them to the
// encoder, and a shorter cine must end the encoder's series after its own last frame.
TEST(CineExport, TheEncoderNeverSeesAnotherCinesFrames) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{100}, kCineFrameBytes, 2 * kCineFrameBytes - 1}) {
        SCOPED_TRACE(size);
        Exporter e;
        for (int k = 0; k < 5; ++k)
            writeBytes(e.target.path / "tmp" / ("a_cine_" + std::to_string(k) + ".bmp"), {1});
        const CineVideo video = e.convert(e.raw(std::vector<std::uint8_t>(size, 9)));
        EXPECT_EQ(video.outcome, CineVideo::Outcome::NoFrames);
        EXPECT_EQ(video.frames.written, 0);
        EXPECT_TRUE(e.runner.runs.empty());
        EXPECT_TRUE(e.statuses.empty());
        EXPECT_THAT(video.problem, HasSubstr("No video for cine 1: "));
        EXPECT_THAT(video.problem, HasSubstr("holds fewer than two frames"));
        EXPECT_EQ(e.framesPresent(), 5); // left as they were
    }

    Exporter e;
    for (int k = 0; k < 8; ++k)
        writeBytes(e.target.path / "tmp" / ("a_cine_" + std::to_string(k) + ".bmp"), {1});
    const CineVideo video = e.convert(e.raw(movingCine(4)));
    EXPECT_EQ(video.frames.written, 3);
    EXPECT_EQ(e.framesPresent(), 3); // the encoder stops before the old a_cine_3
    EXPECT_TRUE(e.frame(4));         // beyond it nothing is touched
    EXPECT_EQ(e.runner.runs.size(), 1u);
}

TEST(CineExport, AFieldOfViewThatGivesNoSensibleWidthRefusesTheCine) {
    for (const std::int32_t fov : {0, 65535, -3}) {
        SCOPED_TRACE(fov);
        Exporter e;
        e.tx.a_pole_widzenia = fov;
        const CineVideo video = e.convert(e.raw(movingCine(3)), 20);
        EXPECT_EQ(video.outcome, CineVideo::Outcome::WidthRefused);
        EXPECT_EQ(e.framesPresent(), 0);
        EXPECT_TRUE(e.runner.runs.empty());
        EXPECT_THAT(video.problem, HasSubstr("Cine 1 refused: a field of view of " + std::to_string(fov) +
                                             " mm at a depth range of 20 mm"));
    }
}

TEST(CineExport, DepthRangeZeroIsAskedForAndACancelledBoxMeans100) {
    struct Case {
        const char* name;
        std::optional<std::string> answer;
        bool asked;
        std::int64_t width; // 0: refused
    } cases[] = {
        {"no box", std::nullopt, false, 116},          {"cancelled", std::nullopt, true, 116},
        {"120", std::string("120"), true, 96},         {"spaces", std::string(" 80 "), true, 144},
        {"not a number", std::string("sto"), true, 0}, {"zero", std::string("0"), true, 0},
        {"negative", std::string("-100"), true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Exporter e;
        e.tx.a_pole_widzenia = 40;
        int asked = 0;
        if (c.asked)
            e.settings.askRange = [&] {
                ++asked;
                return c.answer;
            };
        const CineVideo video = e.convert(e.raw(movingCine(2)), 0);
        EXPECT_EQ(asked, c.asked ? 1 : 0);
        if (c.width == 0) {
            EXPECT_EQ(video.outcome, CineVideo::Outcome::RangeRefused);
            EXPECT_THAT(video.problem, HasSubstr("the depth range \"" + *c.answer + "\" is not a whole number"));
            EXPECT_EQ(e.framesPresent(), 0);
        } else {
            EXPECT_EQ(video.width, c.width);
            EXPECT_EQ(loadBmp(e.target.path / "tmp" / "a_cine_0.bmp").width(), c.width);
        }
    }
}

TEST(CineExport, AnEncoderThatFailsIsReported) {
    Exporter e;
    e.runner.answer = {platform::ProgramExit::End::Exited, 1};
    const CineVideo video = e.convert(e.raw(movingCine(2)));
    EXPECT_EQ(video.outcome, CineVideo::Outcome::EncoderFailed);
    EXPECT_THAT(video.problem, HasSubstr("No video for cine 1: the encoder ended with exit status 1"));
    e.runner.answer = {};
    EXPECT_THAT(e.convert(e.raw(movingCine(2))).problem, HasSubstr("could not be started"));
}

TEST(CineExport, ARawFileThatCannotBeOpenedIsAnError) {
    Exporter e;
    EXPECT_THROW(e.convert(e.target.path / "tmp" / "missing.bin"), std::runtime_error);
}

TEST(CineExport, ZapiszAviUsesTheEntrysRawFileAndDepthRange) {
    Exporter e;
    auto entry = std::make_unique<TImageData>();
    entry->ID = 6;
    entry->CF_config_zakres = 9; // 40 mm
    entry->CF_ZAMIEN_LEWA_PRAWA = true;
    e.tx.a_pole_widzenia = 40;
    e.tx.a_image_list.push_back(std::move(entry));
    writeBytes(e.target.path / "tmp" / "cine_7.bin", movingCine(2));
    const CineVideo video = e.tx.zapiszAVI(0, e.settings);
    EXPECT_EQ(video.zakres, e.tx.a_image_list[0]->dajZakresMilimetr());
    EXPECT_EQ(video.width, *szerokoscKlatki(40, video.zakres));
    EXPECT_EQ(video.video, e.target.path / "7_cine.avi");
    std::vector<std::uint8_t> mean(kCineFrameBytes);
    const auto raw = movingCine(2);
    usrednijKlatki(std::span(raw).first(kCineFrameBytes), std::span(raw).subspan(kCineFrameBytes), mean);
    EXPECT_TRUE(loadBmp(e.target.path / "tmp" / "a_cine_0.bmp") ==
                klatkaCine(mean, true, static_cast<int>(video.width)));
}

} // namespace
} // namespace kelvo::test
