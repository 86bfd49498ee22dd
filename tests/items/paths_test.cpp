// The platform's folders: the executable's, whether a folder is writable, the per-user state
// and config folders.
#include "TestFolders.h"
#include "base/AtomicFile.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kelvo::test {
namespace {

TEST(Paths, TheExecutableAndItsFolder) {
    const auto exe = platform::executablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(exe)) << exe;
    EXPECT_NE(exe.filename().string().find("items_tests"), std::string::npos) << exe;
    EXPECT_EQ(platform::executableFolder(), exe.parent_path());
    EXPECT_TRUE(std::filesystem::is_directory(platform::executableFolder()));
}

TEST(Paths, WritableFolder) {
    ScratchFolder scratch;
    EXPECT_TRUE(platform::isFolderWritable(scratch.path));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path)); // the probe file is gone again
    EXPECT_FALSE(platform::isFolderWritable(scratch.path / "missing"));
    writeText(scratch.path / "plain-file", "x");
    EXPECT_FALSE(platform::isFolderWritable(scratch.path / "plain-file"));
    EXPECT_FALSE(platform::isFolderWritable({}));
#ifndef _WIN32
    if (geteuid() != 0) { // root writes anywhere
        const auto locked = scratch.path / "locked";
        std::filesystem::create_directory(locked);
        chmod(locked.c_str(), 0555);
        EXPECT_FALSE(platform::isFolderWritable(locked));
        chmod(locked.c_str(), 0755);
    }
#endif
}

TEST(Paths, EnsureFolderMakesParents) {
    ScratchFolder scratch;
    EXPECT_TRUE(platform::ensureFolder(scratch.path / "a" / "b" / "kelvo"));
    EXPECT_TRUE(std::filesystem::is_directory(scratch.path / "a" / "b" / "kelvo"));
    EXPECT_TRUE(platform::ensureFolder(scratch.path / "a")); // already there
    writeText(scratch.path / "plain-file", "x");
    std::string error;
    EXPECT_FALSE(platform::ensureFolder(scratch.path / "plain-file" / "kelvo", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(platform::ensureFolder({}));
}

#ifdef _WIN32
TEST(Paths, PerUserFoldersOnWindows) {
    ScopedEnv local("LOCALAPPDATA", "C:\\Users\\u\\AppData\\Local");
    ScopedEnv roaming("APPDATA", "C:\\Users\\u\\AppData\\Roaming");
    EXPECT_EQ(platform::stateFolder(), std::filesystem::path("C:\\Users\\u\\AppData\\Local\\Kelvo"));
    EXPECT_EQ(platform::configFolder(), std::filesystem::path("C:\\Users\\u\\AppData\\Roaming\\Kelvo"));
}
#else
TEST(Paths, PerUserFoldersFollowXdg) {
    {
        ScopedEnv state("XDG_STATE_HOME", "/srv/state");
        ScopedEnv config("XDG_CONFIG_HOME", "/srv/config");
        EXPECT_EQ(platform::stateFolder(), std::filesystem::path("/srv/state/kelvo"));
        EXPECT_EQ(platform::configFolder(), std::filesystem::path("/srv/config/kelvo"));
    }
    {
        ScopedEnv home("HOME", "/home/someone");
        ScopedEnv state("XDG_STATE_HOME", std::nullopt);
        ScopedEnv config("XDG_CONFIG_HOME", "relative/ignored"); // the XDG rules ignore relative paths
        EXPECT_EQ(platform::stateFolder(), std::filesystem::path("/home/someone/.local/state/kelvo"));
        EXPECT_EQ(platform::configFolder(), std::filesystem::path("/home/someone/.config/kelvo"));
    }
    const auto folders = platform::AppFolders::forThisProcess();
    EXPECT_EQ(folders.executable, platform::executableFolder());
    EXPECT_EQ(folders.state, platform::stateFolder());
}

TEST(Paths, FindOnPath) {
    ScratchFolder scratch;
    const auto tool = scratch.path / "kelvo-test-tool";
    writeText(tool, "#!/bin/sh\n");
    ScopedEnv path("PATH", "/nonexistent:" + scratch.path.string());
    EXPECT_FALSE(platform::findOnPath("kelvo-test-tool").has_value()); // not executable yet
    chmod(tool.c_str(), 0755);
    EXPECT_EQ(platform::findOnPath("kelvo-test-tool"), tool);
    EXPECT_FALSE(platform::findOnPath("kelvo-no-such-tool").has_value());
}
#endif

TEST(Paths, Utf8Paths) {
    const std::string name = "z\xC5\x82oty \xC5\xBC\xC3\xB3\xC5\x82w"; // "złoty żółw"
    EXPECT_EQ(pathToUtf8(platform::pathFromUtf8(name)), name);
    ScratchFolder scratch;
    const auto folder = scratch.path / platform::pathFromUtf8(name);
    ASSERT_TRUE(platform::ensureFolder(folder));
    EXPECT_TRUE(platform::isFolderWritable(folder));
}

} // namespace
} // namespace kelvo::test
