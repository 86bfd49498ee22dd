// The download of one image at wire level: the command and its slot number, the file named
// after slot + 1, the failed downloads that leave no file, the pause after every outcome, and
// the upload hook.
#include "RenderTestSupport.h"
#include "SimulatedLink.h"

#include "imaging/BmpFile.h"
#include "imaging/TextRenderer.h"
#include "items/UploadHook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

using ::testing::ElementsAre;

// The catalogue of smallCard() read: slots 0 and 2 in use, at list positions 0 and 1.
struct CatalogueRead : SimulatedLink {
    CatalogueRead() : tx(device) {
        tx.WlaczTransmisjeUSB();
        tx.synchronizuj();
        EXPECT_TRUE(tx.Daj_images_opisy(3));
        tx.Create_image_list(3);
        EXPECT_EQ(tx.a_image_list.size(), 2u);
        tx.a_folder = target.path;
        settings.programFolders = platform::AppFolders{program.path, program.path, program.path};
        settings.starter = &starter;
        settings.showMessage = [this](const std::string& text) { messages.push_back(text); };
    }
    ScratchFolder target, program;
    RecordingStarter starter;
    std::vector<std::string> messages;
    ImageDownloadSettings settings;
    TQX27R_Transmisja tx;
};

// The exchange of one image: read armed first, command 13 with the slot number, 500 ms after.
std::vector<std::string> imageExchange(const std::string& slotHex, const std::string& outcome) {
    return {"arm 86 131072", "write 02 512 FE013801390D3A" + slotHex + "3B00", "pause -- 10", "write 02 512", outcome,
            "pause -- 500"};
}

TEST(ImageDownload, FileIsNamedAfterSlotPlusOneAndHoldsThatSlotsPicture) {
    CatalogueRead link;
    std::size_t from = link.mark();
    const ImageDownload second = link.tx.pobierajImage(1, link.settings); // slot 2
    EXPECT_THAT(link.wire(from), ::testing::ElementsAreArray(imageExchange("02", "complete 86 131072")));
    from = link.mark();
    const ImageDownload first = link.tx.pobierajImage(0, link.settings); // slot 0
    EXPECT_THAT(link.wire(from), ::testing::ElementsAreArray(imageExchange("00", "complete 86 131072")));

    EXPECT_TRUE(second.saved());
    EXPECT_EQ(second.file, link.target.path / "3.bmp");
    EXPECT_EQ(first.file, link.target.path / "1.bmp");
    EXPECT_FALSE(std::filesystem::exists(link.target.path / "2.bmp"));
    // Slot s answers with bytes of value s + 1: the scan shows that grey.
    const Bitmap24 three = loadBmp(link.target.path / "3.bmp");
    const Bitmap24 one = loadBmp(link.target.path / "1.bmp");
    ASSERT_EQ(three.width(), 480);
    ASSERT_EQ(three.height(), 640);
    EXPECT_EQ(three.at(240, 300), grey(3));
    EXPECT_EQ(one.at(240, 300), grey(1));
    // No "RFID.ini": the item number is shown, nothing is uploaded.
    EXPECT_TRUE(showsText(three, solidText(256, 576, "ID 3", 16, kWhite, kBlack)));
    EXPECT_FALSE(second.uploaded);
    EXPECT_TRUE(link.starter.started.empty());
}

TEST(ImageDownload, ShortReplyIsAFailedDownload) {
    CatalogueRead link;
    writeText(link.program.path / "RFID.ini", "[dane]\n");
    link.setFaults([](sim::ScannerFaults& f) { f.shortReplies[KOM_IMAGE] = 65536; });
    const std::size_t from = link.mark();
    const ImageDownload result = link.tx.pobierajImage(0, link.settings);
    EXPECT_THAT(link.wire(from), ::testing::ElementsAreArray(imageExchange("00", "complete 86 65536")));
    EXPECT_EQ(result.outcome, ImageDownload::Outcome::ShortReply);
    EXPECT_EQ(result.deliveredBytes, 65536u);
    EXPECT_TRUE(std::filesystem::is_empty(link.target.path)); // no bitmap, no upload file
    EXPECT_TRUE(link.starter.started.empty());
    EXPECT_TRUE(link.messages.empty());
}

TEST(ImageDownload, TimeOutLeavesNoFileAndStillPausesAfterIt) {
    CatalogueRead link;
    link.setFaults([](sim::ScannerFaults& f) { f.silentCommands.insert(KOM_IMAGE); });
    const std::size_t from = link.mark();
    const Millis start = link.clock.now();
    const ImageDownload result = link.tx.pobierajImage(1, link.settings);
    const Millis end = link.clock.now();
    const auto lines = link.wire(from);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[4], "timeout 86 131072");
    EXPECT_EQ(lines.back(), "pause -- 500");
    EXPECT_EQ(result.outcome, ImageDownload::Outcome::NoReply);
    EXPECT_TRUE(std::filesystem::is_empty(link.target.path));
    // The wait of 5000 ms, and the 500 ms after the time-out.
    const auto events = link.scanner.log().events();
    Millis timedOutAt{0};
    for (std::size_t i = from; i < events.size(); ++i)
        if (events[i].kind == "timeout") timedOutAt = Millis{events[i].ms};
    EXPECT_GE((timedOutAt - start).count(), 5000);
    EXPECT_GE((end - timedOutAt).count(), 500);
}

TEST(ImageDownload, BitmapThatCannotBeWrittenIsAnErrorAfterThePause) {
    CatalogueRead link;
    link.tx.a_folder = link.target.path / "missing";
    const std::size_t from = link.mark();
    EXPECT_THROW(link.tx.pobierajImage(0, link.settings), std::runtime_error);
    EXPECT_EQ(link.wire(from).back(), "pause -- 500");
    // Nothing is left armed: the next image comes as usual.
    link.tx.a_folder = link.target.path;
    EXPECT_TRUE(link.tx.pobierajImage(1, link.settings).saved());
    EXPECT_TRUE(std::filesystem::exists(link.target.path / "3.bmp"));
}

TEST(ImageDownload, WithRfidIniTheRfidIsShownAndTheBitmapHandedToTheUploadTool) {
    CatalogueRead link;
    writeText(link.program.path / "RFID.ini", "[dane]\nexe=upload.exe\n");
    const ImageDownload result = link.tx.pobierajImage(1, link.settings);
    ASSERT_TRUE(result.saved());
    EXPECT_TRUE(result.uploaded);
    // smallCard's records carry no RFID: "FRID: " alone covers "ID 3".
    const Bitmap24 picture = loadBmp(result.file);
    EXPECT_TRUE(showsText(picture, solidText(256, 576, "FRID: ", 16, kWhite, kBlack)));
    EXPECT_TRUE(filledWith(picture, Rect{256 + textWidth("FRID: ", 16), 576, 20, 24}, kBlack));
    // The tool is missing: its message, and the upload file is written and started anyway.
    EXPECT_THAT(link.messages, ElementsAre("Brak pliku:upload.exe"));
    EXPECT_TRUE(std::filesystem::exists(uploadFileName(result.file, kNativeUploadStyle)));
    ASSERT_EQ(link.starter.started.size(), 1u);
    const auto& call = link.starter.started[0];
    if (kNativeUploadStyle == UploadStyle::PosixScript) {
        EXPECT_NE(std::find(call.begin(), call.end(), result.file.string()), call.end());
    }
}

} // namespace
} // namespace kelvo::test
