// At wire level against the simulated scanner: the catalogue exchanges (command 11 or
// 21, N x 512 bytes armed first, 5000 ms wait, 200 / 500 ms pause on every outcome), the
// catalogue copies and where they go, and the entry list, including a reply that ends early.
#include "SimulatedLink.h"
#include "TestFolders.h"
#include "items/CatalogueCopy.h"
#include "platform/Paths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace kelvo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct SwitchedOn : SimulatedLink {
    explicit SwitchedOn(sim::Card card = smallCard()) : SimulatedLink(std::move(card)), tx(device) {
        tx.WlaczTransmisjeUSB();
        tx.synchronizuj();
    }
    TQX27R_Transmisja tx;
};

// The image catalogue copy next to this test executable, removed before and after each test.
struct ImageCopyNextToExecutable {
    ImageCopyNextToExecutable() { clean(); }
    ~ImageCopyNextToExecutable() { clean(); }
    void clean() {
        std::error_code ec;
        std::filesystem::remove(file, ec);
    }
    std::filesystem::path file = platform::executableFolder() / kImageCatalogueFile;
};

std::vector<std::int32_t> ids(const TQX27R_Transmisja& tx) {
    std::vector<std::int32_t> out;
    for (const auto& e : tx.a_image_list) out.push_back(e->ID);
    return out;
}

Millis timeOf(const SimulatedLink& link, std::size_t from, const char* kind) {
    const auto events = link.scanner.log().events();
    const auto it = std::find_if(events.begin() + static_cast<std::ptrdiff_t>(from), events.end(),
                                 [&](const WireEvent& e) { return e.kind == kind; });
    return it == events.end() ? Millis{-1} : Millis{it->ms};
}

TEST(ImageCatalogue, CommandElevenWithAllRecordsArmedFirstThenTwoHundredMilliseconds) {
    ImageCopyNextToExecutable copy;
    SwitchedOn link;
    const auto from = link.mark();
    EXPECT_TRUE(link.tx.Daj_images_opisy(3));
    EXPECT_THAT(link.wire(from), ElementsAre("arm 86 1536", "write 02 512 FE013801390B", "pause -- 10", "write 02 512",
                                             "complete 86 1536", "pause -- 200"));
    EXPECT_EQ(link.tx.deliveredBytes(), 1536u);
    EXPECT_TRUE(link.scanner.protocolErrors().empty());
}

TEST(ImageCatalogue, CopyLandsNextToTheExecutableWhateverTheTargetFolder) {
    ImageCopyNextToExecutable copy;
    ScratchFolder target;
    SwitchedOn link;
    link.tx.a_folder = target.path;
    std::vector<std::string> warnings;
    link.tx.a_EventUpdateSTR = [&](TQX27R_Transmisja&, const std::string& s) { warnings.push_back(s); };
    ASSERT_TRUE(link.tx.Daj_images_opisy(3));
    EXPECT_EQ(readBytes(copy.file), smallCard().imageCatalogue);
    EXPECT_TRUE(std::filesystem::is_empty(target.path));
    EXPECT_TRUE(warnings.empty());
}

TEST(ImageCatalogue, SilenceFailsAfterFiveSecondsAndStillPauses) {
    ImageCopyNextToExecutable copy;
    SwitchedOn link;
    link.setFaults([](auto& f) { f.silentCommands.insert(11); });
    const auto from = link.mark();
    const Millis start = link.clock.now();
    EXPECT_FALSE(link.tx.Daj_images_opisy(3));
    const Millis armed = timeOf(link, from, "arm");
    EXPECT_EQ(timeOf(link, from, "timeout") - armed, Millis{5000 + 10}); // the wait starts after the trailer
    EXPECT_EQ(link.wire(from).back(), "pause -- 200");
    EXPECT_GE(link.clock.now() - start, Millis{5210});
    EXPECT_FALSE(std::filesystem::exists(copy.file)); // no file on failure
}

TEST(ImageCatalogue, ReadThatCannotBeArmedOrCommandThatCannotBeSentStillPauses) {
    ImageCopyNextToExecutable copy;
    {
        SwitchedOn link;
        link.setFaults([](auto& f) { f.linkLostAfterBlocks = 0; });
        const Millis start = link.clock.now();
        EXPECT_FALSE(link.tx.Daj_images_opisy(3));
        EXPECT_EQ(link.clock.now() - start, Millis{200});
    }
    {
        SwitchedOn link;
        link.setFaults([](auto& f) { f.outEndpointStalled = true; });
        const auto from = link.mark();
        EXPECT_FALSE(link.tx.Daj_images_opisy(3));
        const auto wire = link.wire(from);
        EXPECT_EQ(wire.front(), "arm 86 1536");
        EXPECT_EQ(wire.back(), "pause -- 200");
    }
    EXPECT_FALSE(std::filesystem::exists(copy.file));
}

TEST(ImageCatalogue, CountBelowOneSendsNothingAndPauses) {
    SwitchedOn link;
    const auto from = link.mark();
    EXPECT_FALSE(link.tx.Daj_images_opisy(0));
    EXPECT_THAT(link.wire(from), ElementsAre("pause -- 200"));
}

TEST(CineCatalogue, CommandTwentyOneThenFiveHundredMillisecondsAndTheCopyInTmp) {
    ScratchFolder target;
    SwitchedOn link;
    link.tx.a_folder = target.path;
    const auto from = link.mark();
    EXPECT_TRUE(link.tx.Daj_cine_opisy(1));
    EXPECT_THAT(link.wire(from), ElementsAre("arm 86 512", "write 02 512 FE0138013915", "pause -- 10", "write 02 512",
                                             "complete 86 512", "pause -- 500"));
    EXPECT_TRUE(std::filesystem::is_directory(target.path / "tmp")); // made by utworzFolderTmp
    EXPECT_EQ(readBytes(target.path / "tmp" / "cine_opisy"), smallCard().cineCatalogue);
    link.tx.Create_image_list(1);
    EXPECT_THAT(ids(link.tx), ElementsAre(0));
}

TEST(CineCatalogue, SilenceFailsAfterFiveSecondsAndStillPauses) {
    ScratchFolder target;
    SwitchedOn link;
    link.tx.a_folder = target.path;
    link.setFaults([](auto& f) { f.silentCommands.insert(21); });
    const auto from = link.mark();
    EXPECT_FALSE(link.tx.Daj_cine_opisy(1));
    EXPECT_EQ(timeOf(link, from, "timeout") - timeOf(link, from, "arm"), Millis{5010});
    EXPECT_EQ(link.wire(from).back(), "pause -- 500");
    EXPECT_FALSE(std::filesystem::exists(target.path / "tmp" / "cine_opisy"));

    SwitchedOn lost;
    lost.tx.a_folder = target.path;
    lost.setFaults([](auto& f) { f.linkLostAfterBlocks = 0; });
    const Millis start = lost.clock.now();
    EXPECT_FALSE(lost.tx.Daj_cine_opisy(1));
    EXPECT_EQ(lost.clock.now() - start, Millis{500});
}

TEST(CineCatalogue, CopyThatCannotBeWrittenIsAWarningAndTheEntriesStay) {
    ScratchFolder scratch;
    const auto notAFolder = scratch.path / "plain-file";
    writeText(notAFolder, "x"); // its "tmp" can never be made
    SwitchedOn link;
    link.tx.a_folder = notAFolder;
    std::vector<std::string> warnings;
    link.tx.a_EventUpdateSTR = [&](TQX27R_Transmisja&, const std::string& s) { warnings.push_back(s); };
    const auto from = link.mark();
    EXPECT_TRUE(link.tx.Daj_cine_opisy(1));
    EXPECT_EQ(link.wire(from).back(), "pause -- 500");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_THAT(warnings[0], HasSubstr("cine_opisy"));
    link.tx.Create_image_list(1);
    EXPECT_THAT(ids(link.tx), ElementsAre(0));
}

TEST(EntryList, SlotsZeroAndTwoOccupiedAndOneEmpty) {
    ImageCopyNextToExecutable copy;
    SwitchedOn link; // the small card: slots 0 and 2 carry the marker
    ASSERT_TRUE(link.tx.Daj_images_opisy(3));
    link.tx.Create_image_list(3);
    ASSERT_EQ(link.tx.a_image_list.size(), 2u);
    EXPECT_EQ(link.tx.a_image_list[0]->ID, 0); // position 0
    EXPECT_EQ(link.tx.a_image_list[1]->ID, 2); // position 1
}

TEST(EntryList, FieldsComeFromTheRecordsAsReceived) {
    ImageCopyNextToExecutable copy;
    sim::Card card = smallCard();
    Record r;
    r.occupied().word(1, 3).word(9, 6).word(11, 12).word(12, 2).word(13, 12).word(14, 12).word(15, 57).word(16, 33);
    r.lowBytes(64, "RFID-0001");
    card.imageCatalogue = catalogueOf({Record{}, r});
    SwitchedOn link(std::move(card));
    ASSERT_TRUE(link.tx.Daj_images_opisy(2));
    link.tx.Create_image_list(2);
    ASSERT_EQ(link.tx.a_image_list.size(), 1u);
    const TImageData& e = *link.tx.a_image_list[0];
    EXPECT_EQ(e.ID, 1);
    EXPECT_EQ(e.dajZakresStr(), "120");
    EXPECT_EQ(e.dajCzestotliwoscStr(), "12.0");
    EXPECT_EQ(dajCzasStr(e), "12.02.2012 12:57:33");
    EXPECT_EQ(e.dajRfidStr(), "RFID-0001");
}

TEST(EntryList, NoMarkerAtAllGivesAnEmptyList) {
    ImageCopyNextToExecutable copy;
    sim::Card card = smallCard();
    card.imageCatalogue.assign(4 * sim::kSector, 0x11);
    SwitchedOn link(std::move(card));
    ASSERT_TRUE(link.tx.Daj_images_opisy(4));
    link.tx.Create_image_list(4);
    EXPECT_TRUE(link.tx.a_image_list.empty());
}

TEST(EntryList, ShortReplyGivesEntriesOnlyForTheRecordsThatArrivedWhole) {
    ImageCopyNextToExecutable copy;
    SwitchedOn link;
    ASSERT_TRUE(link.tx.Daj_images_opisy(3)); // the whole catalogue: slot 2's marker now sits at byte 1024
    link.tx.Create_image_list(3);
    ASSERT_EQ(link.tx.a_image_list.size(), 2u);

    // The reply stops 100 bytes into record 1: records 1 and 2 are not whole. The original program would
    // build slot 2 from the previous reply's bytes still in the buffer.
    link.setFaults([](auto& f) { f.shortReplies[11] = 512 + 100; });
    ASSERT_TRUE(link.tx.Daj_images_opisy(3)); // a short reply still completes the read
    EXPECT_EQ(link.tx.deliveredBytes(), 612u);
    link.tx.Create_image_list(3);
    EXPECT_THAT(ids(link.tx), ElementsAre(0));
    // The copy holds what came, not the stale bytes behind it.
    const auto whole = smallCard().imageCatalogue;
    const auto expected = std::vector<std::uint8_t>(whole.begin(), whole.begin() + 612);
    EXPECT_EQ(readBytes(copy.file), expected);

    link.setFaults([](auto& f) { f.shortReplies[11] = 0; });
    ASSERT_TRUE(link.tx.Daj_images_opisy(3));
    link.tx.Create_image_list(3);
    EXPECT_TRUE(link.tx.a_image_list.empty());
}

TEST(EntryList, TheCountIsTheUpperBound) {
    ImageCopyNextToExecutable copy;
    SwitchedOn link;
    ASSERT_TRUE(link.tx.Daj_images_opisy(3));
    link.tx.Create_image_list(2); // slot 2 lies beyond the count
    EXPECT_THAT(ids(link.tx), ElementsAre(0));
    link.tx.Create_image_list(3); // and the list is rebuilt, not appended to
    EXPECT_THAT(ids(link.tx), ElementsAre(0, 2));
}

// Where the image catalogue copy goes, with folders of the test's own.
TEST(ImageCatalogueCopy, NextToTheExecutableWhenThatFolderIsWritable) {
    ScratchFolder exe, state;
    const std::vector<std::uint8_t> bytes(1024, 0x5A);
    const CatalogueCopy c = saveImageCatalogueCopy(bytes, {exe.path, state.path / "kelvo", {}});
    ASSERT_TRUE(c.written.has_value());
    EXPECT_EQ(*c.written, exe.path / "image_opisy.bin");
    EXPECT_TRUE(c.warning.empty());
    EXPECT_EQ(readBytes(exe.path / "image_opisy.bin"), bytes);
    EXPECT_FALSE(std::filesystem::exists(state.path / "kelvo"));

    const std::vector<std::uint8_t> newer(512, 0x33); // an older copy is replaced
    ASSERT_TRUE(saveImageCatalogueCopy(newer, {exe.path, state.path / "kelvo", {}}).written);
    EXPECT_EQ(readBytes(exe.path / "image_opisy.bin"), newer);
}

TEST(ImageCatalogueCopy, InTheStateFolderWhenTheExecutablesFolderIsNotWritable) {
    ScratchFolder scratch;
    const std::vector<std::uint8_t> bytes(512, 0x42);
    const auto plainFile = scratch.path / "plain-file";
    writeText(plainFile, "x");
    for (const auto& exeFolder : {scratch.path / "missing", plainFile}) {
        const auto state = scratch.path / "state" / "kelvo"; // created when missing
        const CatalogueCopy c = saveImageCatalogueCopy(bytes, {exeFolder, state, {}});
        ASSERT_TRUE(c.written.has_value()) << exeFolder;
        EXPECT_EQ(*c.written, state / "image_opisy.bin");
        EXPECT_TRUE(c.warning.empty());
        EXPECT_EQ(readBytes(state / "image_opisy.bin"), bytes);
        std::filesystem::remove_all(scratch.path / "state");
    }
}

TEST(ImageCatalogueCopy, NowhereToWriteIsAWarningNotAnError) {
    ScratchFolder scratch;
    const auto plainFile = scratch.path / "plain-file";
    writeText(plainFile, "x");
    const std::vector<std::uint8_t> bytes(512, 0x42);
    CatalogueCopy c;
    EXPECT_NO_THROW(c = saveImageCatalogueCopy(bytes, {scratch.path / "missing", plainFile / "kelvo", {}}));
    EXPECT_FALSE(c.written.has_value());
    EXPECT_THAT(c.warning, HasSubstr("image_opisy.bin"));
    EXPECT_THAT(c.warning, HasSubstr("not writable"));
    EXPECT_NO_THROW(c = saveImageCatalogueCopy(bytes, {{}, {}, {}}));
    EXPECT_FALSE(c.written.has_value());
    EXPECT_FALSE(c.warning.empty());
}

} // namespace
} // namespace kelvo::test
