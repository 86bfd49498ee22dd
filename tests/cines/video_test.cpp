// A standard raw cine through the real encoder (Debian's ffmpeg, found on PATH): 255 frame
// bitmaps, and a video that decodes, is MPEG-4 Part 2 at the frame size and shows the loop.
#include "CineTestSupport.h"

#include "cine/CineFrames.h"
#include "imaging/BmpFile.h"
#include "platform/Paths.h"
#include "transmission/Transmisja.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

namespace kelvo::test {
namespace {

// Runs a tool of the ffmpeg package and gives back what it wrote.
std::string runTool(const std::string& tool, const std::vector<std::string>& arguments, const ScratchFolder& scratch) {
    const auto program = platform::findOnPath(tool);
    if (!program) return {};
    const auto out = scratch.path / (tool + ".out");
    const auto exit = platform::systemProgramRunner()->runAndWait(*program, arguments, out, {});
    EXPECT_TRUE(exit.succeeded()) << tool << ": " << readText(out);
    return readText(out);
}

std::map<std::string, std::string> probe(const std::filesystem::path& video, const ScratchFolder& scratch) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(runTool("ffprobe",
                                     {"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                                      "stream=codec_name,codec_tag_string,width,height,nb_read_frames", "-of",
                                      "default=noprint_wrappers=1", video.string()},
                                     scratch));
    for (std::string line; std::getline(lines, line);)
        if (const auto eq = line.find('='); eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    return fields;
}

// Mean absolute difference of the green channel between a decoded frame (BGR bytes) and a bitmap.
double difference(std::span<const std::uint8_t> bgr, const Bitmap24& bitmap) {
    double sum = 0;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            sum += std::abs(int{bgr[(static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.width()) +
                                     static_cast<std::size_t>(x)) *
                                        3 +
                                    1]} -
                            int{bitmap.at(x, y).G});
    return sum / (bitmap.width() * bitmap.height());
}

double difference(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int{a[i]} - int{b[i]});
    return sum / static_cast<double>(a.size());
}

TEST(CineVideo, AStandardCineBecomes255FramesAndAnMpeg4VideoOfTheLoop) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH";
    ScratchFolder target, program, scratch;
    VirtualClock clock;
    TUSB_Device device(clock);
    TQX27R_Transmisja tx(device);
    tx.a_folder = target.path;
    tx.a_pole_widzenia = 45;
    int statuses = 0;
    tx.a_EventUpdateSTR = [&](TQX27R_Transmisja&, const std::string&) { ++statuses; };
    std::filesystem::create_directories(target.path / "tmp");
    const auto raw = target.path / "tmp" / "cine_1.bin";
    writeBytes(raw, movingCine(256));

    CineExportSettings settings;
    settings.encoder.programFolders = platform::AppFolders{program.path, program.path, program.path};
    TImageData entry; // slot 0
    const CineVideo video = tx.Cine2AVI(target.path, raw, 100, entry, settings);
    ASSERT_EQ(video.outcome, CineVideo::Outcome::Made) << video.problem;
    EXPECT_EQ(video.frames.written, 255);
    EXPECT_EQ(statuses, 255);
    EXPECT_TRUE(std::filesystem::exists(target.path / "tmp" / "a_cine_254.bmp"));
    EXPECT_FALSE(std::filesystem::exists(target.path / "tmp" / "a_cine_255.bmp"));
    EXPECT_EQ(video.video, target.path / "1_cine.avi");
    EXPECT_TRUE(std::filesystem::exists(program.path / "zzz.sh"));

    const auto fields = probe(video.video, scratch);
    EXPECT_EQ(fields.at("codec_name"), "mpeg4");
    EXPECT_EQ(fields.at("width"), "132");
    EXPECT_EQ(fields.at("height"), "288");
    // One picture per frame bitmap; played at 12 per second and written at 15, the decoder shows
    // them over 21.25 s, repeating every fourth.
    EXPECT_EQ(fields.at("nb_read_frames"), "255");

    runTool("ffmpeg",
            {"-v", "error", "-i", video.video.string(), "-f", "rawvideo", "-pix_fmt", "bgr24",
             (scratch.path / "frames.bgr").string()},
            scratch);
    const std::vector<std::uint8_t> decoded = readBytes(scratch.path / "frames.bgr");
    const std::size_t frameBytes = 132u * 288u * 3u;
    ASSERT_EQ(decoded.size() % frameBytes, 0u);
    const int frames = static_cast<int>(decoded.size() / frameBytes);
    EXPECT_GE(frames, 318);
    EXPECT_LE(frames, 320);
    const auto decodedFrame = [&](int j) {
        return std::span<const std::uint8_t>(decoded).subspan(static_cast<std::size_t>(j) * frameBytes, frameBytes);
    };
    const Bitmap24 first = loadBmp(target.path / "tmp" / "a_cine_0.bmp");
    const Bitmap24 last = loadBmp(target.path / "tmp" / "a_cine_254.bmp");
    EXPECT_LT(difference(decodedFrame(0), first), 8.0);
    EXPECT_LT(difference(decodedFrame(frames - 1), last), 8.0);
    EXPECT_GT(difference(decodedFrame(0), last), 20.0);
    EXPECT_GT(difference(decodedFrame(0), decodedFrame(10)), 2.0); // the band has moved
}

} // namespace
} // namespace kelvo::test
