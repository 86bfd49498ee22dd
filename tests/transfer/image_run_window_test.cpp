// Image and cine runs through the real widgets: the folder chooser, the selection dialog, the worker
// thread's texts and message boxes, "Break", Esc and closing during a run, and the folder
// opened afterwards.
#include "WindowRig.h"
#include "platform/Paths.h"
#include "workflow/Messages.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

void pressEsc(QWidget* target) {
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &esc);
}

struct ConnectedRig : WindowRig {
    explicit ConnectedRig(sim::Card card = smallCard()) : WindowRig(std::move(card)) {
        backend.plugged = true;
        window->show();
    }
    transfer::TFormSelect& dialog() { return window->selectionDialog(); }
    bool dialogUp() { return dialog().isVisible(); }
    bool runOver() { return !window->runInProgress(); }
};

TEST(TransferRun, TickedRowIsWrittenAndTheFolderOpenedAfterwards) {
    ConnectedRig rig;
    transfer::TForm68& w = *rig.window;
    Autopilot pilot;
    std::vector<QString> ids, headers;
    bool runningButtons = false;
    pilot.then([&] { return rig.dialogUp(); },
               [&] {
                   QTreeWidget* list = rig.dialog().list();
                   for (int c = 0; c < list->columnCount(); ++c) headers.push_back(list->headerItem()->text(c));
                   for (int r = 0; r < list->topLevelItemCount(); ++r) {
                       ids.push_back(list->topLevelItem(r)->text(0));
                       EXPECT_EQ(list->topLevelItem(r)->checkState(0), Qt::Checked);
                   }
                   runningButtons = !w.imagesButton()->isEnabled() && !w.cinesButton()->isEnabled() &&
                                    w.breakButton()->isEnabled();
                   rig.dialog().uncheckAllButton()->click();
                   for (int r = 0; r < list->topLevelItemCount(); ++r)
                       EXPECT_EQ(list->topLevelItem(r)->checkState(0), Qt::Unchecked);
                   list->topLevelItem(1)->setCheckState(0, Qt::Checked); // the user ticks "3"
                   rig.dialog().okButton()->click();
               });
    w.imagesButton()->click();
    ASSERT_TRUE(waitUntil([&] { return pilot.finished() && rig.runOver(); }));

    EXPECT_EQ(rig.dialog().windowTitle(), "Select");
    EXPECT_EQ(headers, (std::vector<QString>{"ID", "Time", "Description"}));
    EXPECT_EQ(ids, (std::vector<QString>{"1", "3"})); // slot 1 is empty
    EXPECT_TRUE(runningButtons);
    EXPECT_EQ(rig.folderDialogs, 1);
    EXPECT_EQ(filesIn(rig.folder), (std::vector<std::string>{"3.bmp"}));
    EXPECT_EQ(w.statusText(), messages::kFinish);
    EXPECT_EQ(rig.starter.opened, (std::vector<std::filesystem::path>{rig.folder}));
    EXPECT_TRUE(w.imagesButton()->isEnabled());
    EXPECT_TRUE(w.cinesButton()->isEnabled());
    EXPECT_FALSE(w.breakButton()->isEnabled());
    // The rows and their ticks outlive the hidden dialog.
    EXPECT_FALSE(rig.dialog().isVisible());
    ASSERT_EQ(rig.dialog().list()->topLevelItemCount(), 2);
    EXPECT_EQ(rig.dialog().list()->topLevelItem(0)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(rig.dialog().list()->topLevelItem(1)->checkState(0), Qt::Checked);
}

TEST(TransferRun, CancelledSelectionWritesNothingAndStillOpensTheFolder) {
    for (const bool byEsc : {false, true}) {
        ConnectedRig rig;
        Autopilot pilot;
        pilot.then([&] { return rig.dialogUp(); },
                   [&] {
                       if (byEsc) pressEsc(rig.dialog().list());
                       else rig.dialog().cancelButton()->click();
                   });
        rig.window->imagesButton()->click();
        ASSERT_TRUE(waitUntil([&] { return pilot.finished() && rig.runOver(); })) << "Esc " << byEsc;
        EXPECT_TRUE(filesIn(rig.folder).empty()) << "Esc " << byEsc;
        EXPECT_EQ(rig.window->statusText(), messages::kFinish);
        EXPECT_EQ(rig.starter.opened.size(), 1u);
    }
}

// While image "1" is being downloaded the user asks the run to stop: that image is finished
// and saved, "3" is never fetched.
TEST(TransferRun, BreakEscOrCloseDuringADownloadStopsAfterTheImageInHand) {
    enum class How { BreakButton, Esc, Close };
    for (const How how : {How::BreakButton, How::Esc, How::Close}) {
        sim::Card card = smallCard();
        transfer::TForm68* window = nullptr;
        std::vector<unsigned> fetched;
        const auto image = card.image;
        card.image = [&, image](unsigned slot) {
            fetched.push_back(slot);
            // On the worker thread: press on the user-interface thread and wait for it.
            QMetaObject::invokeMethod(
                window,
                [&] {
                    EXPECT_TRUE(window->isVisible());
                    switch (how) {
                    case How::BreakButton: window->breakButton()->click(); break;
                    case How::Esc: pressEsc(window->breakButton()); break;
                    case How::Close: window->close(); break;
                    }
                },
                Qt::BlockingQueuedConnection);
            return image(slot);
        };
        ConnectedRig rig(std::move(card));
        window = rig.window.get();
        Autopilot pilot;
        pilot.then([&] { return rig.dialogUp(); }, [&] { rig.dialog().okButton()->click(); });
        window->imagesButton()->click();
        const int how_ = static_cast<int>(how);
        ASSERT_TRUE(waitUntil([&] { return pilot.finished() && rig.runOver(); })) << how_;
        EXPECT_EQ(fetched, (std::vector<unsigned>{0})) << how_;
        EXPECT_EQ(filesIn(rig.folder), (std::vector<std::string>{"1.bmp"})) << how_;
        EXPECT_EQ(window->statusText(), messages::kFinish) << how_;
        EXPECT_EQ(rig.starter.opened.size(), 1u) << how_;
        // Esc and Break leave the window up; a close request closes it once the run is over.
        EXPECT_EQ(waitUntil([&] { return !window->isVisible(); }, how == How::Close ? 2000 : 100), how == How::Close)
            << how_;
        EXPECT_FALSE(window->logic().v_usb().running());
        // Afterwards Esc does not reach a transfer object: it closes the idle window.
        if (how != How::Close) {
            pressEsc(window);
            EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); })) << how_;
        }
    }
}

TEST(TransferRun, FailedCheckIsAStopBoxTitledWithTheProgramThenFinish) {
    sim::Card card = smallCard();
    card.identity.magic_number = 7180;
    ConnectedRig rig(std::move(card));
    Autopilot pilot;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString statusUnderBox;
    pilot.then([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
               [&] {
                   auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                   text = box->text(), title = box->windowTitle(), icon = box->icon();
                   statusUnderBox = rig.window->statusText();
                   box->button(QMessageBox::Ok)->click();
               });
    rig.window->imagesButton()->click();
    ASSERT_TRUE(waitUntil([&] { return pilot.finished() && rig.runOver(); }));
    EXPECT_EQ(text, messages::kTryAgain);
    EXPECT_EQ(title.toStdString(), "kelvo-test"); // the file name, all but its first letter in lower case
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(statusUnderBox, "Connected !"); // "Finish!" only once the box is closed
    EXPECT_EQ(rig.window->statusText(), messages::kFinish);
    EXPECT_EQ(rig.starter.opened.size(), 1u);
    EXPECT_FALSE(rig.dialog().isVisible());
}

// The cines button runs the cine workflow on the same thread machinery: its catalogue fills the
// dialog, and a cine that never arrives leaves no video and no message.
TEST(TransferRun, CinesButtonListsTheCineCatalogue) {
    ConnectedRig rig;
    Autopilot pilot;
    std::vector<QString> ids;
    pilot.then([&] { return rig.dialogUp(); },
               [&] {
                   QTreeWidget* list = rig.dialog().list();
                   for (int r = 0; r < list->topLevelItemCount(); ++r) ids.push_back(list->topLevelItem(r)->text(0));
                   rig.dialog().okButton()->click();
               });
    rig.window->cinesButton()->click();
    ASSERT_TRUE(waitUntil([&] { return pilot.finished() && rig.runOver(); }));
    EXPECT_EQ(ids, (std::vector<QString>{"1"}));
    EXPECT_EQ(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()), nullptr);
    EXPECT_EQ(rig.window->statusText(), messages::kFinish);
    EXPECT_EQ(rig.starter.opened, (std::vector<std::filesystem::path>{rig.folder}));
    EXPECT_TRUE(rig.window->cinesButton()->isEnabled());
}

// A whole cine run from the window: the raw loop, its frames and, where the encoder is on PATH,
// the video, with "Finish!" and the folder opened at the end.
TEST(TransferRun, CineRunWritesTheLoopItsFramesAndTheVideo) {
    sim::Card card = smallCard();
    card.identity.field_of_view = 40;
    card.cine = [](unsigned slot) -> std::optional<std::vector<std::uint8_t>> {
        if (slot != 0) return std::nullopt;
        std::vector<std::uint8_t> raw(sim::kCineBytes);
        for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<std::uint8_t>((i / 256 + i / 131072) & 0xFF);
        return raw;
    };
    ConnectedRig rig(std::move(card));
    Autopilot pilot;
    pilot.then([&] { return rig.dialogUp(); }, [&] { rig.dialog().okButton()->click(); });
    rig.window->cinesButton()->click();
    ASSERT_TRUE(waitUntil([&] { return pilot.finished() && rig.runOver(); }, 120000));

    const auto raw = rig.folder / "tmp" / "cine_1.bin";
    ASSERT_TRUE(std::filesystem::exists(raw));
    EXPECT_EQ(std::filesystem::file_size(raw), sim::kCineBytes);
    EXPECT_TRUE(std::filesystem::exists(rig.folder / "tmp" / "a_cine_0.bmp"));
    EXPECT_EQ(rig.window->statusText(), messages::kFinish);
    EXPECT_EQ(rig.starter.opened, (std::vector<std::filesystem::path>{rig.folder}));
    if (!platform::findOnPath("ffmpeg")) GTEST_SKIP() << "no ffmpeg on PATH: the video is not made";
    EXPECT_TRUE(std::filesystem::exists(rig.folder / "1_cine.avi"));
}

} // namespace
} // namespace kelvo::test
