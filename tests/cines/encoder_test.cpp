// The encoder's command: the batch line character for character, the same values as separate
// arguments elsewhere, and what happens when the encoder is missing or fails.
#include "CineTestSupport.h"

#include "cine/VideoEncoder.h"
#include "platform/Paths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelvo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string kFixedPart =
    " -threads:v 2 -vf \"scale=0:0,setdar=4:3\" -codec:v mpeg4 -r 15.000 -b:v 1200k  -flags +aic+mv4 -trellis 1 "
    "-mbd 2 -cmp 2 -subcmp 2 -g 250 -me_range 1023 -an -y ";

TEST(EncoderCommand, TheBatchLineIsTheFormatFilledWithTheThreePaths) {
    EXPECT_EQ(ffmpegBatchLine("F", "I", "O"), "\"F\" -r 12.000 -i \"I\"" + kFixedPart + "\"O\" ");
}

TEST(EncoderCommand, WindowsBatchFileHoldsTheLineWithCrLfInTheAnsiCodePage) {
    EncoderInputs in;
    in.style = UploadStyle::WindowsBatch;
    in.encoder = "C:\\PROGRA~1\\KELVO\\ffmpeg.exe";
    in.framesFolder = "C:\\Users\\ZBIGNI~1\\BADANIA";
    in.videoFolder = "D:\\WYNIKI";
    in.ID = 4;
    in.scriptFolder = "C:\\PROGRA~1\\KELVO";
    const EncoderPlan plan = planEncoder(in);
    EXPECT_EQ(plan.bytes,
              "\"C:\\PROGRA~1\\KELVO\\ffmpeg.exe\" -r 12.000 -i \"C:\\Users\\ZBIGNI~1\\BADANIA\\tmp\\a_cine_%%d.bmp\"" +
                  kFixedPart + "\"D:\\WYNIKI\\5_cine.avi\" \r\n");
    EXPECT_EQ(plan.script.filename(), "zzz.bat");
    EXPECT_TRUE(plan.program.empty()); // the shell opens the batch file

    // A folder the short form leaves long: its letters in the ANSI code page, and a '%' that
    // survives the batch interpreter and the encoder's own pattern.
    in.framesFolder = "C:\\Badania 100% \xc5\x82";
    in.videoFolder = "C:\\Wyniki 50%";
    const EncoderPlan odd = planEncoder(in);
    EXPECT_THAT(odd.bytes, HasSubstr("-i \"C:\\Badania 100%%%% \xb3\\tmp\\a_cine_%%d.bmp\""));
    EXPECT_THAT(odd.bytes, HasSubstr("\"C:\\Wyniki 50%%\\5_cine.avi\" \r\n"));
}

#ifndef _WIN32
TEST(EncoderCommand, ElsewhereTheSameValuesAreSeparateArguments) {
    EncoderInputs in;
    in.style = UploadStyle::PosixScript;
    in.encoder = "/usr/bin/ffmpeg";
    in.framesFolder = "/home/anna/Badania 2026";
    in.videoFolder = "/home/anna/it's here";
    in.ID = 0;
    in.scriptFolder = "/opt/kelvo";
    const EncoderPlan plan = planEncoder(in);
    EXPECT_EQ(plan.program, "/usr/bin/ffmpeg");
    EXPECT_THAT(plan.arguments,
                ElementsAre("-r", "12.000", "-i", "/home/anna/Badania 2026/tmp/a_cine_%d.bmp", "-threads:v", "2", "-vf",
                            "scale=0:0,setdar=4:3", "-codec:v", "mpeg4", "-r", "15.000", "-b:v", "1200k", "-flags",
                            "+aic+mv4", "-trellis", "1", "-mbd", "2", "-cmp", "2", "-subcmp", "2", "-g", "250",
                            "-me_range", "1023", "-an", "-y", "/home/anna/it's here/1_cine.avi"));
    EXPECT_EQ(plan.script, std::filesystem::path("/opt/kelvo") / "zzz.sh");
    EXPECT_THAT(plan.bytes, HasSubstr("#!/bin/sh\n'/usr/bin/ffmpeg' '-r' '12.000' '-i' '/home/anna/Badania 2026/tmp/"
                                      "a_cine_%d.bmp' '-threads:v'"));
    EXPECT_THAT(plan.bytes, HasSubstr("'-y' '/home/anna/it'\\''s here/1_cine.avi'\n"));
}
#endif

TEST(EncoderRun, AMissingEncoderStartsNothingAndSaysWhere) {
    ScratchFolder program, target;
    RecordingRunner runner;
    EncoderSettings settings;
    settings.programFolders = platform::AppFolders{program.path, program.path, program.path};
    settings.searchPath = false;
    settings.runner = &runner;
    TImageData cine;
    cine.ID = 2;
    const EncoderRun run = uruchomFFmpeg(target.path, target.path, cine, settings);
    EXPECT_EQ(run.outcome, EncoderRun::Outcome::Missing);
    EXPECT_TRUE(runner.runs.empty());
    EXPECT_TRUE(std::filesystem::is_empty(program.path)); // no batch file or script either
    const std::string problem = encoderProblem(run, cine);
    EXPECT_THAT(problem, HasSubstr("No video can be made: the encoder"));
    EXPECT_THAT(problem, HasSubstr(pathToUtf8(program.path)));
}

#ifndef _WIN32
// A stand-in encoder next to the program: it records its argv entries one per line, then fails
// as ffmpeg does on a bad input.
TEST(EncoderRun, AFailingEncoderIsReportedWithItsStatusAndLastLine) {
    ScratchFolder program, target;
    const auto folder = target.path / "it's a \"folder\"";
    std::filesystem::create_directories(folder / "tmp");
    const auto fake = program.path / "ffmpeg";
    {
        std::ofstream(fake)
            << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/argv\"\n"
               "echo 'frame=    0 fps=0.0 q=0.0' >&2\n"
               "echo 'a_cine_%d.bmp: No such file or directory' >&2\nexit 3\n";
    }
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    EncoderSettings settings;
    settings.programFolders = platform::AppFolders{program.path, program.path, program.path};
    TImageData cine;
    const EncoderRun run = uruchomFFmpeg(folder, folder, cine, settings);
    EXPECT_EQ(run.outcome, EncoderRun::Outcome::Failed);
    EXPECT_EQ(run.exit.status, 3);
    EXPECT_EQ(run.log, folder / "tmp" / "ffmpeg_1.log");
    EXPECT_EQ(encoderProblem(run, cine),
              "No video for cine 1: the encoder ended with exit status 3; its output is in \"" + pathToUtf8(run.log) +
                  "\", ending: a_cine_%d.bmp: No such file or directory.");
    // Each value reached the encoder whole, quotes and blanks included.
    std::vector<std::string> argv;
    std::istringstream lines(readText(program.path / "argv"));
    for (std::string line; std::getline(lines, line);)
        argv.push_back(line);
    EXPECT_EQ(argv, ffmpegArguments(pathToUtf8(folder / "tmp" / "a_cine_%d.bmp"), pathToUtf8(folder / "1_cine.avi")));
    // The script beside the program says the same, for the record.
    EXPECT_EQ(readText(program.path / "zzz.sh"), run.plan.bytes);
}
#endif

#ifdef _WIN32
std::string shortForm(const std::filesystem::path& p) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetShortPathNameW(p.c_str(), buffer, MAX_PATH);
    std::string text;
    for (DWORD i = 0; i < n; ++i)
        text += static_cast<char>(buffer[i]); // the test's paths are ASCII
    return text;
}

// On this machine: zzz.bat next to the program, with the short forms of its paths, opened by the
// shell.
TEST(EncoderRun, TheBatchLineCarriesThisMachinesShortPaths) {
    ScratchFolder program, target;
    const auto folder = target.path / "Kelvo cines of the long folder";
    std::filesystem::create_directories(folder / "tmp");
    writeBytes(program.path / "ffmpeg.exe", {0x4D, 0x5A});
    RecordingRunner runner;
    EncoderSettings settings;
    settings.programFolders = platform::AppFolders{program.path, program.path, program.path};
    settings.runner = &runner;
    settings.ansi = AnsiText::forCodePage(CodePage::Windows1250);
    TImageData cine;
    const EncoderRun run = uruchomFFmpeg(folder, folder, cine, settings);

    const std::string expected =
        ffmpegBatchLine(shortForm(program.path / "ffmpeg.exe"), shortForm(folder) + "\\tmp\\a_cine_%%d.bmp",
                        shortForm(folder) + "\\1_cine.avi") +
        "\r\n";
    EXPECT_EQ(shortForm(folder).find(' '), std::string::npos);
    EXPECT_EQ(readText(program.path / "zzz.bat"), expected);
    ASSERT_EQ(runner.runs.size(), 1u);
    EXPECT_EQ(runner.runs[0].program, pathToUtf8(program.path / "zzz.bat"));
    // The stand-in "ran" and ended well, but no video came of it.
    EXPECT_EQ(run.outcome, EncoderRun::Outcome::Failed);
    EXPECT_THAT(encoderProblem(run, cine), HasSubstr("the encoder ended without writing"));
}
#endif

} // namespace
} // namespace kelvo::test
