// Dumping the CF storage: eight 8 MiB chunks, each at its own offset, even when one fails.
#include "SimulatedLink.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kelvo::test {
namespace {

std::vector<std::uint8_t> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct CfDump : ::testing::Test {
    void SetUp() override {
        file = std::filesystem::temp_directory_path() /
               ("kelvo-cf-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".bin");
        tx.WlaczTransmisjeUSB();
        tx.synchronizuj();
    }
    void TearDown() override { std::filesystem::remove(file); }

    SimulatedLink link;
    TQX27R_Transmisja tx{link.device};
    std::filesystem::path file;
};

TEST_F(CfDump, EightChunksInOrder) {
    std::vector<int> seen;
    const auto failed = tx.writeCF(file, [&](int chunk) { seen.push_back(chunk); });
    EXPECT_TRUE(failed.empty());
    EXPECT_EQ(seen, std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7}));
    const auto data = readFile(file);
    ASSERT_EQ(data.size(), 64u * 1024 * 1024);
    std::vector<std::uint8_t> expected(data.size());
    sim::patternCf(0, expected);
    EXPECT_TRUE(data == expected);
    // Each chunk is asked for by its start and length in 64 KiB units.
    int commands = 0;
    for (const auto& e : link.scanner.log().events())
        if (e.kind == "write" && trimmedHex(e.data).starts_with("FE01380139353A")) {
            const std::uint16_t start = static_cast<std::uint16_t>(e.data[7] | (e.data[9] << 8));
            EXPECT_EQ(start, commands * 128);
            EXPECT_EQ(e.data[11], 128);
            ++commands;
        }
    EXPECT_EQ(commands, 8);
}

TEST_F(CfDump, FailedChunkIsNamedAndLaterChunksKeepTheirOffsets) {
    const auto failed = tx.writeCF(file, [&](int chunk) {
        link.setFaults([&](auto& f) {
            if (chunk == 2) f.silentCommands.insert(53);
            else f.silentCommands.clear();
        });
    });
    EXPECT_EQ(failed, std::vector<int>({2}));
    const auto data = readFile(file);
    ASSERT_EQ(data.size(), 64u * 1024 * 1024);
    std::vector<std::uint8_t> expected(data.size());
    sim::patternCf(0, expected);
    std::fill(expected.begin() + 2 * 8388608, expected.begin() + 3 * 8388608, 0);
    EXPECT_TRUE(data == expected);
}

TEST_F(CfDump, ShortChunkCountsAsFailed) {
    link.setFaults([](auto& f) { f.shortReplies[53] = 4096; });
    const auto failed = tx.writeCF(file, [](int) {});
    EXPECT_EQ(failed.size(), 8u);
}

TEST_F(CfDump, FileThatCannotBeCreatedIsAnError) {
    EXPECT_THROW(tx.writeCF(std::filesystem::temp_directory_path() / "no-such-folder-kelvo" / "cf.bin", [](int) {}),
                 std::runtime_error);
}

} // namespace
} // namespace kelvo::test
