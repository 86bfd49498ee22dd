// The command-line tool against the simulated scanner, in virtual time.
#include "CommandLine.h"
#include "Commands.h"
#include "simulator/Card.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace kelvo::cli {
namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

ToolRun run(std::vector<std::string> args) {
    Options options = parseCommandLine(args);
    options.virtualTime = true;
    std::ostringstream out, err;
    ToolRun r;
    if (options.command == "info") r.status = runInfo(options, out, err);
    else if (options.command == "set-clock") r.status = runSetClock(options, out, err);
    else if (options.command == "dump-cf") r.status = runDumpCf(options, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

struct TempDir {
    TempDir() {
        path = std::filesystem::temp_directory_path() /
               ("kelvo-cli-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

void writeIni(const std::filesystem::path& folder, const std::string& text) {
    std::ofstream(folder / "scanner.ini") << text;
}

TEST(KelvoInfo, BuiltInCardShowsIdentityAndCounts) {
    const sim::Card card = sim::syntheticCard();
    const ToolRun r = run({"info", "--simulate"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("Magic number:      7181\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Software revision: " + std::to_string(card.identity.svn_version) + "\n"), std::string::npos);
    EXPECT_NE(r.out.find("Version words:     probe " + std::to_string(card.identity.probe) + ", LH " +
                         std::to_string(card.identity.lh) + ", SVN " + std::to_string(card.identity.version_svn)),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Field of view:     " + std::to_string(card.identity.field_of_view) + " mm\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Images:            " + std::to_string(card.imageCount()) + "\n"), std::string::npos);
    EXPECT_NE(r.out.find("Cines:             " + std::to_string(card.cineCount()) + "\n"), std::string::npos);
}

TEST(KelvoInfo, ChecksFailWithTheirMessages) {
    struct Case {
        const char* ini;
        const char* message;
    } cases[] = {
        {"[scanner]\nmagic_number = 7180\n", "Try again !"},
        {"[faults]\nsilent = 51\n", "Try again !"},
        {"[scanner]\nsvn_version = 1811\n", "To old hardware !\nYour version: 1811, request version 1812"},
        {"[faults]\nsilent = 50\n", "Transmision problem !"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeIni(dir.path, c.ini);
        const ToolRun r = run({"info", "--simulate", dir.path.string()});
        EXPECT_EQ(r.status, kExitFailed) << c.ini;
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << c.ini << "\n" << r.err;
    }
}

TEST(KelvoInfo, TraceShowsSwitchOnDrainsAndQueries) {
    TempDir dir;
    const auto trace = dir.path / "t.log";
    const ToolRun r = run({"info", "--simulate", "--trace", trace.string()});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    std::ifstream in(trace);
    std::vector<std::pair<long, std::string>> lines;
    for (std::string line; std::getline(in, line);) {
        const auto space = line.find(' ');
        lines.emplace_back(std::stol(line.substr(0, space)), line.substr(space + 1));
    }
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].second, "write 02 512 FE013801");
    EXPECT_EQ(lines[2].second, "write 02 512");
    EXPECT_EQ(lines[2].first - lines[0].first, 10);
    auto find = [&](const std::string& text, std::size_t from = 0) {
        for (std::size_t i = from; i < lines.size(); ++i)
            if (lines[i].second == text) return i;
        return lines.size();
    };
    EXPECT_LT(find("write 02 512 FE01380139183A01"), lines.size()) << "no drain";
    for (const char* query : {"FE0138013933", "FE0138013932", "FE013801393E", "FE0138013936", "FE013801390A",
                              "FE0138013914"}) {
        const auto at = find(std::string("write 02 512 ") + query);
        ASSERT_LT(at + 5, lines.size()) << query;
        EXPECT_EQ(lines[at - 1].second, "arm 86 512") << query;
        EXPECT_EQ(lines[at + 3].second, "complete 86 512") << query;
        EXPECT_EQ(lines[at + 4].second, "pause -- 500") << query;
    }
    EXPECT_EQ(lines.back().second, "write 02 512"); // the end command's trailer
    EXPECT_EQ(lines[lines.size() - 3].second, "write 02 512 FE01380139");
}

TEST(KelvoSetClock, SendsTheGivenTime) {
    TempDir dir;
    const auto trace = dir.path / "t.log";
    const ToolRun r = run({"set-clock", "2014-10-01 07:50", "--simulate", "--trace", trace.string()});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Scanner clock set to 2014-10-01 07:50\n");
    std::ifstream in(trace);
    std::stringstream all;
    all << in.rdbuf();
    for (const char* hex : {"FE01380139383A0E\n", "FE01380139393A0A\n", "FE013801393A3A01\n", "FE013801393B3A07\n",
                            "FE013801393C3A32\n"})
        EXPECT_NE(all.str().find(hex), std::string::npos) << hex;
}

TEST(KelvoCommandLine, RejectsWhatItCannotDo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"info", "--bogus"}, {"info", "--trace"}}) {
        EXPECT_THROW(parseCommandLine(args), UsageError);
    }
    EXPECT_THROW(run({"set-clock", "yesterday", "--simulate"}), UsageError);
    EXPECT_THROW(run({"set-clock", "1999-12-31 23:59", "--simulate"}), UsageError);
    EXPECT_THROW(run({"dump-cf", "--simulate"}), UsageError);
}

TEST(KelvoDumpCf, NamesTheChunkThatFailed) {
    TempDir dir;
    writeIni(dir.path, "[faults]\nshort_reply = 53:4096\n");
    const auto file = dir.path / "cf.bin";
    const ToolRun r = run({"dump-cf", file.string(), "--simulate", dir.path.string()});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("chunks 1, 2, 3, 4, 5, 6, 7, 8 of 8"), std::string::npos) << r.err;
    EXPECT_EQ(std::filesystem::file_size(file), 64u * 1024 * 1024);
}

} // namespace
} // namespace kelvo::cli
