// The command channel at wire level: the blocks' bytes, the trailer 10 ms after each command,
// the read armed before every command, and what happens when a block cannot be written.
#include "SimulatedLink.h"
#include "transmission/CommandBlock.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::string hexOf(const TBuffer_512B& b) { return trimmedHex(b); }

TEST(CommandBlock, BytesOfEachShape) {
    struct Case {
        const char* name;
        TBuffer_512B block;
        const char* hex; // up to the last byte that is not 0xFF; the rest is 0xFF
    } cases[] = {
        {"switch-on", makeSwitchOnBlock(), "FE013801"},
        {"code only", makeCommandBlock(KOM_ZAKONCZ), "FE01380139"}, // 39 FF: the code itself is 0xFF
        {"code only", makeCommandBlock(KOM_MAGIC_NUMBER), "FE0138013933"},
        {"byte", makeCommandBlockByte(KOM_SMIECI, 2), "FE01380139183A02"},
        {"word", makeCommandBlockWord(KOM_IMAGE, 0x0102), "FE01380139 0D3A023B01"},
        {"word and byte", makeCommandBlockWordByte(KOM_CZYTAJ_CF, 3 * 128, 128), "FE01380139353A803B013880"},
    };
    for (const auto& c : cases) {
        std::string expected = c.hex;
        std::erase(expected, ' ');
        EXPECT_EQ(hexOf(c.block), expected) << c.name;
        const std::size_t written = expected.size() / 2;
        for (std::size_t i = written; i < c.block.size(); ++i) ASSERT_EQ(c.block[i], 0xFF) << c.name << " byte " << i;
    }
    // The byte shape writes nothing past byte 7.
    const auto drain = makeCommandBlockByte(KOM_SMIECI, 2);
    EXPECT_EQ(drain[8], 0xFF);
    EXPECT_EQ(drain[9], 0xFF);
}

TEST(CommandChannel, TrailerFollowsEachCommandTenMillisecondsLater) {
    SimulatedLink link;
    ASSERT_TRUE(USB_Send_Command(link.device, makeSwitchOnBlock()));
    const auto events = link.scanner.log().events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, "write");
    EXPECT_EQ(trimmedHex(events[0].data), "FE013801");
    EXPECT_EQ(events[2].kind, "write");
    EXPECT_EQ(events[2].data, std::vector<std::uint8_t>(512, 0xFF));
    EXPECT_EQ(events[2].ms - events[0].ms, 10);
    EXPECT_TRUE(link.scanner.protocolErrors().empty());
}

TEST(CommandChannel, FailedBlockWriteSendsNoTrailer) {
    SimulatedLink link;
    link.setFaults([](auto& f) { f.linkLostAfterBlocks = 0; });
    EXPECT_FALSE(USB_Send_Command(link.device, makeCommandBlock(KOM_ZAKONCZ)));
    EXPECT_THAT(link.wire(), ElementsAre("write-failed 02 512 FE01380139"));
}

TEST(CommandChannel, FailedTrailerStillReportsSuccess) {
    SimulatedLink link;
    link.setFaults([](auto& f) { f.linkLostAfterBlocks = 1; });
    EXPECT_TRUE(USB_Send_Command(link.device, makeCommandBlock(KOM_ZAKONCZ)));
    EXPECT_THAT(link.wire(), ElementsAre("write 02 512 FE01380139", "pause -- 10", "write-failed 02 512"));
}

TEST(CommandChannel, WriteWithoutOpenDeviceSendsNothing) {
    VirtualClock clock;
    TUSB_Device unopened(clock);
    EXPECT_FALSE(USB_Write_Block(unopened, makeSwitchOnBlock()));
    EXPECT_FALSE(USB_Send_Command(unopened, makeSwitchOnBlock()));
    EXPECT_EQ(clock.now(), Millis{0});
}

TEST(Transmission, SwitchOnSequence) {
    SimulatedLink link;
    TQX27R_Transmisja tx(link.device);
    tx.WlaczTransmisjeUSB();
    std::vector<std::string> expected = commandLines("FE013801");
    for (const char* line : {"pause -- 500", "arm 86 1024", "complete 86 1024", "pause -- 500"}) expected.push_back(line);
    for (const auto& line : commandLines("FE01380139373AFF3B00")) expected.push_back(line); // 55 with 255
    EXPECT_THAT(link.wire(), ElementsAreArray(expected));
    EXPECT_TRUE(link.scanner.usbMode());
    EXPECT_TRUE(link.scanner.protocolErrors().empty());
}

TEST(Transmission, SwitchOnWithoutStaleDataWaitsOneSecondForIt) {
    SimulatedLink link;
    link.setFaults([](auto& f) { f.staleSectors = 0; });
    TQX27R_Transmisja tx(link.device);
    const Millis start = link.clock.now();
    tx.WlaczTransmisjeUSB();
    const auto lines = link.wire();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "timeout 86 1024"), lines.end());
    EXPECT_GE(link.clock.now() - start, Millis{2010});
}

TEST(Transmission, EndOfTransmissionBlock) {
    SimulatedLink link;
    TQX27R_Transmisja tx(link.device);
    tx.WlaczTransmisjeUSB();
    const auto from = link.mark();
    tx.zakoncz_transmisje();
    EXPECT_THAT(link.wire(from), ElementsAreArray(commandLines("FE01380139")));
    EXPECT_EQ(link.scanner.endCommands(), 1u);
    EXPECT_FALSE(link.scanner.usbMode());
}

TEST(Transmission, ClockCommandsInOrderWithPauses) {
    SimulatedLink link;
    TQX27R_Transmisja tx(link.device);
    tx.WlaczTransmisjeUSB();
    const auto from = link.mark();
    tx.ustawDateCzas(ClockTime{2014, 10, 1, 7, 50, 52});
    std::vector<std::string> expected;
    for (const char* hex : {"FE01380139383A0E", "FE01380139393A0A", "FE013801393A3A01", "FE013801393B3A07",
                            "FE013801393C3A32"}) {
        for (const auto& line : commandLines(hex)) expected.push_back(line);
        expected.push_back("pause -- 200");
    }
    EXPECT_THAT(link.wire(from), ElementsAreArray(expected));
    const auto set = link.scanner.clockSetting();
    EXPECT_EQ(std::vector<int>({set.year, set.month, set.day, set.hour, set.minute}),
              std::vector<int>({2014, 10, 1, 7, 50}));
}

TEST(Transmission, DestroyFreesEntriesButLeavesTheDeviceOpen) {
    SimulatedLink link;
    {
        TQX27R_Transmisja tx(link.device);
        tx.a_image_list.push_back(std::make_unique<TImageData>());
        tx.a_image_list.push_back(std::make_unique<TImageData>());
    }
    ASSERT_TRUE(link.device.aHandle);
    EXPECT_TRUE(USB_Send_Command(link.device, makeSwitchOnBlock()));
}

TEST(Transmission, TemporaryFolderIsMadeOnce) {
    const auto folder = std::filesystem::temp_directory_path() / "kelvo-tmpfolder-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    SimulatedLink link;
    TQX27R_Transmisja tx(link.device);
    tx.a_folder = folder;
    tx.utworzFolderTmp();
    EXPECT_TRUE(std::filesystem::is_directory(folder / "tmp"));
    std::ofstream(folder / "tmp" / "keep.bin") << "x";
    tx.utworzFolderTmp();
    EXPECT_TRUE(std::filesystem::exists(folder / "tmp" / "keep.bin"));
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace kelvo::test
