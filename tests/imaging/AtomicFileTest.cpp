// writeFileAtomically: the target is replaced whole, or left as it was with no temporary file.
#include "base/AtomicFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("kelvo-atomic-" + std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    static Bytes read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void write(const fs::path& p, const Bytes& bytes) {
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // Names in the folder other than `except`.
    std::vector<std::string> othersThan(const std::string& except) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            if (entry.path().filename() != except) names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path folder_;
};

Bytes pattern(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes b(n);
    for (auto& byte : b)
        byte = static_cast<std::uint8_t>(random());
    return b;
}

TEST_F(AtomicFileTest, CreatesANewFile) {
    const Bytes data = pattern(1000, 1);
    writeFileAtomically(folder_ / "1.bmp", data);
    EXPECT_EQ(read(folder_ / "1.bmp"), data);
    EXPECT_TRUE(othersThan("1.bmp").empty());
}

TEST_F(AtomicFileTest, ReplacesAnExistingFileWhole) {
    write(folder_ / "7.bmp", pattern(5000, 2));
    const Bytes data = pattern(300, 3); // shorter than the old file: nothing of it may remain
    writeFileAtomically(folder_ / "7.bmp", data);
    EXPECT_EQ(read(folder_ / "7.bmp"), data);
    EXPECT_TRUE(othersThan("7.bmp").empty());
}

TEST_F(AtomicFileTest, WritesAnEmptyFile) {
    write(folder_ / "e.bin", pattern(10, 4));
    writeFileAtomically(folder_ / "e.bin", {});
    EXPECT_EQ(fs::file_size(folder_ / "e.bin"), 0u);
}

TEST_F(AtomicFileTest, MissingFolderFailsNamingTheTarget) {
    const fs::path target = folder_ / "no-such-folder" / "7.bmp";
    try {
        writeFileAtomically(target, pattern(10, 5));
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(pathToUtf8(target)), std::string::npos) << what;
    }
    EXPECT_FALSE(fs::exists(folder_ / "no-such-folder"));
    EXPECT_TRUE(othersThan("").empty());
}

TEST_F(AtomicFileTest, AFolderInTheWayFailsAndLeavesNoTemporaryFile) {
    // The rename is the step that fails: the temporary file was written and must be removed.
    fs::create_directory(folder_ / "7.bmp");
    fs::create_directory(folder_ / "7.bmp" / "inside"); // a non-empty folder cannot be replaced
    EXPECT_THROW(writeFileAtomically(folder_ / "7.bmp", pattern(100, 6)), std::runtime_error);
    EXPECT_TRUE(fs::is_directory(folder_ / "7.bmp" / "inside"));
    EXPECT_TRUE(othersThan("7.bmp").empty());
}

TEST_F(AtomicFileTest, ANameWithoutAFileNameFails) {
    EXPECT_THROW(writeFileAtomically(folder_ / "", pattern(1, 7)), std::runtime_error);
}

TEST_F(AtomicFileTest, NonAsciiNames) {
    const fs::path target = folder_ / fs::path(u8"Zdj\u0119cie \u0144.bmp");
    writeFileAtomically(target, pattern(64, 8));
    EXPECT_EQ(read(target), pattern(64, 8));
}

#ifndef _WIN32

TEST_F(AtomicFileTest, AFullDiskLeavesTheOldFileIntact) {
    // A file-size limit makes write() fail part-way (EFBIG) as a full disk does (ENOSPC).
    const Bytes old = pattern(2000, 9);
    write(folder_ / "7.bmp", old);
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string what;
    try {
        writeFileAtomically(folder_ / "7.bmp", pattern(100000, 10));
    } catch (const std::runtime_error& e) {
        what = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_NE(what.find("7.bmp"), std::string::npos) << what;
    EXPECT_NE(what.find("writing"), std::string::npos) << what;
    EXPECT_EQ(read(folder_ / "7.bmp"), old);
    EXPECT_TRUE(othersThan("7.bmp").empty());
}

TEST_F(AtomicFileTest, AReplacedFileKeepsItsPermissions) {
    write(folder_ / "keep.bin", pattern(10, 11));
    ASSERT_EQ(::chmod((folder_ / "keep.bin").c_str(), 0640), 0);
    writeFileAtomically(folder_ / "keep.bin", pattern(20, 12));
    struct stat st {};
    ASSERT_EQ(::stat((folder_ / "keep.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // a replaced file keeps its permissions
}

#endif

} // namespace
} // namespace kelvo
