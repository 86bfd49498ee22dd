// "RFID.ini", the eight values, the batch line and its file beside the bitmap, the
// POSIX script and argv, "Brak pliku:", and what is started (by a starter that starts nothing).
#include "TestFolders.h"
#include "items/UploadHook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kelvo::test {
namespace {

using ::testing::ElementsAre;

struct FakeStarter : platform::ProcessStarter {
    bool shellOpen(const std::filesystem::path& file) override {
        opened.push_back(file);
        return true;
    }
    bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) override {
        started.push_back({program, arguments});
        return true;
    }
    std::vector<std::filesystem::path> opened;
    std::vector<std::pair<std::filesystem::path, std::vector<std::string>>> started;
};

// Depth range 4, frequency code 6, 7 March 2014, no RFID: the documented examples.
TImageData partsImage() {
    TImageData d;
    d.CF_config_zakres = 4;
    d.CF_config_CZESTOTLIWOSC = 6;
    d.CF_config_YY = 14;
    d.CF_config_MM = 3;
    d.CF_config_DD = 7;
    return d;
}

void setRfid(TImageData& d, const std::string& bytes) {
    d.CF_RFID.fill(0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), d.CF_RFID.size()), d.CF_RFID.begin());
}

const AnsiText kAnsi1250 = AnsiText::forCodePage(CodePage::Windows1250);

// ---- RFID.ini -------------------------------------------------------------------------------

TEST(RfidIni, OnlyTheSectionHeaderGivesTheDefaults) {
    const RfidSettings s = readRfidSettings(IniFile::parse("[dane]\r\n"), kAnsi1250);
    EXPECT_EQ(s.exe, "KVEP_API_cmd.exe");
    EXPECT_EQ(s.user, "usg");
    EXPECT_EQ(s.password, "Kfo47#");
    const RfidSettings none = readRfidSettings(IniFile::parse(""), kAnsi1250);
    EXPECT_EQ(none.user, "usg");
    const RfidSettings otherSection = readRfidSettings(IniFile::parse("[other]\nuser=x\n"), kAnsi1250);
    EXPECT_EQ(otherSection.user, "usg");
}

TEST(RfidIni, PresentButEmptyGivesEmptyText) {
    const RfidSettings s = readRfidSettings(IniFile::parse("[dane]\nexe=\nuser=\npassword =  \n"), kAnsi1250);
    EXPECT_EQ(s.exe, "");
    EXPECT_EQ(s.user, "");
    EXPECT_EQ(s.password, "");
}

TEST(RfidIni, ValuesAsWindowsReadsThem) {
    const RfidSettings s = readRfidSettings(
        IniFile::parse("[DANE]\r\nExe = tools\\up.exe\r\nUSER=\"jan kowalski\"\r\npassword=Kfo47#;x\r\n"), kAnsi1250);
    EXPECT_EQ(s.exe, "tools\\up.exe");      // case-insensitive names, trimmed value
    EXPECT_EQ(s.user, "jan kowalski");      // enclosing quotes dropped, as GetPrivateProfileString does
    EXPECT_EQ(s.password, "Kfo47#;x");      // no comment inside a value
}

TEST(RfidIni, AnsiOrUtf8File) {
    EXPECT_EQ(readRfidSettings(IniFile::parse("[dane]\nuser=\xA3ukasz\n"), kAnsi1250).user, "\xC5\x81ukasz");
    EXPECT_EQ(readRfidSettings(IniFile::parse("[dane]\nuser=\xC5\x81ukasz\n"), kAnsi1250).user, "\xC5\x81ukasz");
    EXPECT_EQ(readRfidSettings(IniFile::parse("\xEF\xBB\xBF[dane]\nuser=\xC5\x81ukasz\n"), kAnsi1250).user,
              "\xC5\x81ukasz");
}

TEST(RfidIni, NextToTheExecutableElseTheConfigFolder) {
    ScratchFolder exe, config;
    const platform::AppFolders folders{exe.path, {}, config.path};
    EXPECT_FALSE(findRfidIni(folders).has_value());
    writeText(config.path / "RFID.ini", "[dane]\n");
    EXPECT_EQ(findRfidIni(folders), config.path / "RFID.ini");
    writeText(exe.path / "RFID.ini", "[dane]\n");
    EXPECT_EQ(findRfidIni(folders), exe.path / "RFID.ini");
    std::filesystem::remove(exe.path / "RFID.ini");
    std::filesystem::create_directory(exe.path / "RFID.ini"); // a folder of that name is no file
    EXPECT_EQ(findRfidIni(folders), config.path / "RFID.ini");
}

// ---- the batch line ---------------------------------------------------------------------------

UploadValues windowsValues(const TImageData& image, const RfidSettings& s = {}, const std::string& folder = "C:\\prog",
                           const std::string& bitmap = "C:\\out\\12.bmp") {
    return uploadValues(uploadToolPath(folder, s.exe, UploadStyle::WindowsBatch), s, bitmap, image);
}

TEST(BatchLine, ThePartsExample) {
    EXPECT_EQ(batchLine(windowsValues(partsImage())),
              "\"C:\\prog\\KVEP_API_cmd.exe\" \"usg\" \"Kfo47#\" \"C:\\out\\12.bmp\" \"\" \"2014-03-07\" \"5\" \"100\" ");
}

TEST(BatchLine, ValuesInTheirOrder) {
    TImageData d = partsImage();
    setRfid(d, "0123456789AB");
    d.CF_config_zakres = 0;
    d.CF_config_CZESTOTLIWOSC = 3;
    RfidSettings s;
    s.exe = "up\\KVEP.exe";
    s.user = "jan";
    s.password = "tajne";
    const UploadValues v = windowsValues(d, s, "D:\\Kelvo\\", "E:\\scans\\7.bmp");
    EXPECT_THAT(v, ElementsAre("D:\\Kelvo\\up\\KVEP.exe", "jan", "tajne", "E:\\scans\\7.bmp", "0123456789AB",
                               "2014-03-07", "7", "250"));
    EXPECT_EQ(batchLine(v), "\"D:\\Kelvo\\up\\KVEP.exe\" \"jan\" \"tajne\" \"E:\\scans\\7.bmp\" \"0123456789AB\" "
                            "\"2014-03-07\" \"7\" \"250\" ");
}

TEST(BatchLine, FileNameBesideTheBitmap) {
    EXPECT_EQ(uploadFileName(std::filesystem::path("C:\\out\\12.bmp"), UploadStyle::WindowsBatch).string(),
              "C:\\out\\12.bat");
    EXPECT_EQ(uploadFileName(std::filesystem::path("7.bmp"), UploadStyle::WindowsBatch), std::filesystem::path("7.bat"));
    EXPECT_EQ(uploadFileName(std::filesystem::path("out") / "7.bmp", UploadStyle::PosixScript),
              std::filesystem::path("out") / "7.sh");
}

TEST(BatchLine, RfidThatWouldChangeTheCommandIsMadeHarmless) {
    TImageData d = partsImage();
    setRfid(d, "1\"&calc %P\r\n"); // a quote, a percent sign, CR LF
    const std::string line = batchLine(windowsValues(d));
    EXPECT_EQ(line, "\"C:\\prog\\KVEP_API_cmd.exe\" \"usg\" \"Kfo47#\" \"C:\\out\\12.bmp\" \"1_&calc _P__\" "
                    "\"2014-03-07\" \"5\" \"100\" ");
    EXPECT_EQ(std::count(line.begin(), line.end(), '"'), 16); // still eight quoted values
    EXPECT_EQ(line.find_first_of("\r\n%"), std::string::npos);
    setRfid(d, std::string("\t\x7F\x01Z", 4));
    EXPECT_EQ(uploadValues("t", {}, "b", d)[4], std::string("\t\x7F\x01Z", 4)); // the value itself is kept
    EXPECT_NE(batchLine(windowsValues(d)).find("\"___Z\""), std::string::npos);
}

TEST(BatchLine, SettingsThatWouldChangeTheCommandAreMadeHarmless) {
    RfidSettings s;
    s.user = "a\" & del *.* & \"";
    s.password = "%PATH%\nx";
    const std::string line = batchLine(windowsValues(partsImage(), s));
    EXPECT_EQ(line, "\"C:\\prog\\KVEP_API_cmd.exe\" \"a_ & del *.* & _\" \"_PATH__x\" \"C:\\out\\12.bmp\" \"\" "
                    "\"2014-03-07\" \"5\" \"100\" ");
}

TEST(BatchLine, PathsKeepTheirPercentSignsDoubled) {
    RfidSettings s;
    s.exe = "up%1.exe";
    EXPECT_EQ(batchLine(windowsValues(partsImage(), s, "C:\\100%", "C:\\100%\\out\\1.bmp")),
              "\"C:\\100%%\\up%%1.exe\" \"usg\" \"Kfo47#\" \"C:\\100%%\\out\\1.bmp\" \"\" \"2014-03-07\" \"5\" \"100\" ");
    EXPECT_EQ(batchSafePath("a\"b\rc%"), "a_b_c%%");
    EXPECT_EQ(batchSafeValue("a\"b\rc%"), "a_b_c_");
}

TEST(BatchLine, ToolPathJoinsAsText) {
    EXPECT_EQ(uploadToolPath("C:\\prog", "KVEP_API_cmd.exe", UploadStyle::WindowsBatch), "C:\\prog\\KVEP_API_cmd.exe");
    EXPECT_EQ(uploadToolPath("C:\\", "KVEP_API_cmd.exe", UploadStyle::WindowsBatch), "C:\\KVEP_API_cmd.exe");
    // POSIX: path operations (an absolute "exe" stands on its own).
    EXPECT_EQ(platform::pathFromUtf8(uploadToolPath("/opt/kelvo", "kvep", UploadStyle::PosixScript)),
              std::filesystem::path("/opt/kelvo/kvep"));
#ifndef _WIN32
    EXPECT_EQ(uploadToolPath("/opt/kelvo", "/usr/local/bin/kvep", UploadStyle::PosixScript), "/usr/local/bin/kvep");
#endif
}

TEST(BatchFile, OneLineCrLfAnsiNoByteOrderMark) {
    RfidSettings s;
    s.user = "\xC5\x81ukasz"; // Łukasz
    UploadInputs in;
    in.programFolder = std::filesystem::path("C:\\prog");
    in.settings = s;
    in.bitmap = std::filesystem::path("C:\\out\\12.bmp");
    const TImageData image = partsImage();
    in.image = &image;
    in.toolExists = true;
    in.style = UploadStyle::WindowsBatch;
    in.ansi = kAnsi1250;
    const UploadPlan plan = planUpload(in);
    EXPECT_FALSE(plan.message.has_value());
    EXPECT_EQ(plan.file.string(), "C:\\out\\12.bat");
    EXPECT_EQ(plan.bytes, "\"C:\\prog\\KVEP_API_cmd.exe\" \"\xA3ukasz\" \"Kfo47#\" \"C:\\out\\12.bmp\" \"\" "
                          "\"2014-03-07\" \"5\" \"100\" \r\n");
    EXPECT_TRUE(plan.program.empty());
    EXPECT_TRUE(plan.arguments.empty());
}

TEST(BatchFile, MissingToolMessage) {
    RfidSettings s;
    s.exe = "sub\\tool.exe";
    UploadInputs in;
    in.programFolder = std::filesystem::path("C:\\prog");
    in.settings = s;
    in.bitmap = std::filesystem::path("1.bmp");
    in.toolExists = false;
    in.style = UploadStyle::WindowsBatch;
    EXPECT_EQ(planUpload(in).message, "Brak pliku:sub\\tool.exe");
}

// ---- the POSIX script and argv ----------------------------------------------------------------

TEST(ShellScript, SingleQuotesEveryValueSafely) {
    EXPECT_EQ(shellQuote("plain"), "'plain'");
    EXPECT_EQ(shellQuote(""), "''");
    EXPECT_EQ(shellQuote("O'Brien"), "'O'\\''Brien'");
    EXPECT_EQ(shellQuote("$(rm -rf ~) `x` \"y\" \\ %z%"), "'$(rm -rf ~) `x` \"y\" \\ %z%'");
}

TEST(ShellScript, TheEightValuesUtf8Lf) {
    TImageData d = partsImage();
    setRfid(d, "12'34\r\n");
    RfidSettings s;
    s.user = "\xC5\x81ukasz";
    const UploadValues v = uploadValues("/opt/kelvo/KVEP_API_cmd.exe", s, "/home/u/scans/12.bmp", d);
    EXPECT_EQ(shellScriptText(v), "#!/bin/sh\n'/opt/kelvo/KVEP_API_cmd.exe' '\xC5\x81ukasz' 'Kfo47#' "
                                  "'/home/u/scans/12.bmp' '12'\\''34\r\n' '2014-03-07' '5' '100'\n");
}

TEST(ShellScript, PlanStartsTheToolDirectlyWithTheValuesUnchanged) {
    TImageData d = partsImage();
    setRfid(d, "1\"%\r\n'x");
    UploadInputs in;
    in.programFolder = std::filesystem::path("/opt/kelvo");
    in.bitmap = std::filesystem::path("/home/u/scans/12.bmp");
    in.image = &d;
    in.toolExists = true;
    in.style = UploadStyle::PosixScript;
    const UploadPlan plan = planUpload(in);
    EXPECT_EQ(plan.file, std::filesystem::path("/home/u/scans/12.sh"));
    EXPECT_EQ(plan.program, std::filesystem::path("/opt/kelvo/KVEP_API_cmd.exe"));
    EXPECT_THAT(plan.arguments,
                ElementsAre("usg", "Kfo47#", "/home/u/scans/12.bmp", "1\"%\r\n'x", "2014-03-07", "5", "100"));
    EXPECT_EQ(plan.bytes.find('\r'), plan.bytes.find("\r\n'\\''x")); // CR only inside the quoted value
}

#ifndef _WIN32
// What /bin/sh makes of a quoted value: it must be the value itself.
std::string throughTheShell(const std::string& value) {
    ScratchFolder scratch;
    const auto script = scratch.path / "s.sh";
    writeText(script, "#!/bin/sh\nprintf '%s' " + shellQuote(value) + "\n");
    std::string out;
    if (FILE* p = popen(("/bin/sh " + shellQuote(script.string())).c_str(), "r")) {
        char buf[256];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

TEST(ShellScript, TheShellReadsBackEveryValue) {
    for (const std::string v : {"O'Brien", "''", "a\"b", "$(echo hacked)", "`id`", "x;y&z|w", "\\'", "line\nbreak",
                                "\xC5\x81\xC3\xB3" "d\xC5\xBA", "%TEMP%", "!"})
        EXPECT_EQ(throughTheShell(v), v);
}
#endif

// ---- uploadRFID with a starter that starts nothing ---------------------------------------------

struct Hook {
    ScratchFolder exe, config, out;
    FakeStarter starter;
    std::vector<std::string> messages;
    UploadHost host(UploadStyle style) {
        UploadHost h;
        h.folders = {exe.path, {}, config.path};
        h.starter = &starter;
        h.showMessage = [this](const std::string& m) { messages.push_back(m); };
        h.ansi = kAnsi1250;
        h.style = style;
        return h;
    }
};

TEST(UploadRfid, WindowsBatchWrittenBesideTheBitmapAndOpenedByTheShell) {
    Hook hook;
    writeText(hook.exe.path / "RFID.ini", "[dane]\r\n");
    writeText(hook.exe.path / "KVEP_API_cmd.exe", "MZ");
    TImageData d = partsImage();
    setRfid(d, "E200341201");
    const auto bitmap = hook.out.path / "12.bmp";
    writeText(bitmap, "BM");
    uploadRFID(bitmap, d, hook.host(UploadStyle::WindowsBatch));
#ifdef _WIN32
    EXPECT_TRUE(hook.messages.empty()); // elsewhere the backslash-joined name names no file
#endif
    const auto bat = hook.out.path / "12.bat";
    ASSERT_THAT(hook.starter.opened, ElementsAre(bat));
    EXPECT_TRUE(hook.starter.started.empty());
    const std::string text = readText(bat);
    // The program's folder, a backslash and "exe", joined as text as the original program does.
    EXPECT_EQ(text, "\"" + pathToUtf8(hook.exe.path) + "\\KVEP_API_cmd.exe\" \"usg\" \"Kfo47#\" \"" +
                        pathToUtf8(bitmap) + "\" \"E200341201\" \"2014-03-07\" \"5\" \"100\" \r\n");
    EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF");
}

TEST(UploadRfid, MissingToolIsOneMessagePerImageAndTheBatchFileIsStillWrittenAndStarted) {
    Hook hook;
    writeText(hook.exe.path / "RFID.ini", "[dane]\nexe=brak.exe\n");
    const auto host = hook.host(UploadStyle::WindowsBatch);
    for (int id = 1; id <= 3; ++id) uploadRFID(hook.out.path / (std::to_string(id) + ".bmp"), partsImage(), host);
    EXPECT_THAT(hook.messages, ElementsAre("Brak pliku:brak.exe", "Brak pliku:brak.exe", "Brak pliku:brak.exe"));
    EXPECT_EQ(hook.starter.opened.size(), 3u);
    for (int id = 1; id <= 3; ++id) EXPECT_TRUE(std::filesystem::exists(hook.out.path / (std::to_string(id) + ".bat")));
    // A folder of the tool's name is no tool.
    std::filesystem::create_directory(hook.exe.path / "brak.exe");
    uploadRFID(hook.out.path / "4.bmp", partsImage(), host);
    EXPECT_EQ(hook.messages.size(), 4u);
}

TEST(UploadRfid, SettingsReadAfreshFromTheConfigFolderWhenNoneIsNextToTheProgram) {
    Hook hook;
    writeText(hook.config.path / "RFID.ini", "[dane]\nuser=first\n");
    const auto host = hook.host(UploadStyle::WindowsBatch);
    uploadRFID(hook.out.path / "1.bmp", partsImage(), host);
    EXPECT_NE(readText(hook.out.path / "1.bat").find("\"first\""), std::string::npos);
    writeText(hook.config.path / "RFID.ini", "[dane]\nuser=second\n");
    uploadRFID(hook.out.path / "1.bmp", partsImage(), host); // and an older batch file is replaced
    EXPECT_NE(readText(hook.out.path / "1.bat").find("\"second\""), std::string::npos);
}

TEST(UploadRfid, PosixScriptBesideTheBitmapAndTheToolStartedWithSeparateArguments) {
    Hook hook;
    writeText(hook.exe.path / "RFID.ini", "[dane]\nexe=kvep\nuser=O'Brien\n");
    writeText(hook.exe.path / "kvep", "#!/bin/sh\n");
    TImageData d = partsImage();
    setRfid(d, "12\"%\r\n");
    const auto bitmap = hook.out.path / "7.bmp";
    uploadRFID(bitmap, d, hook.host(UploadStyle::PosixScript));
    EXPECT_TRUE(hook.messages.empty());
    EXPECT_TRUE(hook.starter.opened.empty());
    ASSERT_EQ(hook.starter.started.size(), 1u);
    EXPECT_EQ(hook.starter.started[0].first, hook.exe.path / "kvep");
    EXPECT_THAT(hook.starter.started[0].second,
                ElementsAre("O'Brien", "Kfo47#", pathToUtf8(bitmap), "12\"%\r\n", "2014-03-07", "5", "100"));
    const auto script = hook.out.path / "7.sh";
    EXPECT_EQ(readText(script), "#!/bin/sh\n" + shellQuote(pathToUtf8(hook.exe.path / "kvep")) + " 'O'\\''Brien' 'Kfo47#' " +
                                    shellQuote(pathToUtf8(bitmap)) + " '12\"%\r\n' '2014-03-07' '5' '100'\n");
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(stat(script.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IXUSR, 0u);
#endif
}

TEST(UploadRfid, FileThatCannotBeWrittenThrowsAndNothingStarts) {
    Hook hook;
    writeText(hook.exe.path / "RFID.ini", "[dane]\n");
    EXPECT_THROW(uploadRFID(hook.out.path / "missing" / "1.bmp", partsImage(), hook.host(UploadStyle::WindowsBatch)),
                 std::runtime_error);
    EXPECT_TRUE(hook.starter.opened.empty());
}

#ifndef _WIN32
TEST(SystemStarter, StartsDirectlyWithoutAShellAndDoesNotWait) {
    ScratchFolder scratch;
    const auto out = scratch.path / "out.txt";
    auto starter = platform::systemProcessStarter();
    // The value reaches the program as one argv entry, quotes and all.
    ASSERT_TRUE(starter->startDetached("/bin/sh", {"-c", "sleep 0.2; printf '%s' \"$1\" > \"$2\"", "sh",
                                                   "it's \"$(x)\" %y%", out.string()}));
    EXPECT_FALSE(std::filesystem::exists(out)); // not waited for
    for (int i = 0; i < 100; ++i) {
        if (std::filesystem::exists(out) && !readText(out).empty()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(readText(out), "it's \"$(x)\" %y%");
    EXPECT_FALSE(starter->startDetached(scratch.path / "no-such-program", {}));
}
#endif

} // namespace
} // namespace kelvo::test
