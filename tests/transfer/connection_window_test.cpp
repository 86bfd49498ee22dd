// The main window before any run: the connection loop, the height rule and Esc while idle,
// through the real widgets.
#include "WindowRig.h"
#include "session/Connection.h"
#include "ui/MainWindowLayout.h"

#include <QKeyEvent>
#include <QPushButton>
#ifdef KELVO_HAVE_QTEST
#include <QTest>
#endif

#include <gtest/gtest.h>

namespace kelvo::test {
namespace {

TEST(TransferWindow, LooksEverySecondUntilTheScannerComesThenStopsLooking) {
    WindowRig rig;
    transfer::TForm68& w = *rig.window;
    EXPECT_EQ(w.windowTitle(), "Kelvo");
    EXPECT_EQ(w.imagesButton()->text(), "Get Kelvo images");
    EXPECT_EQ(w.cinesButton()->text(), "Get Kelvo\r\ncines");
    EXPECT_EQ(w.breakButton()->text(), "Break");
    EXPECT_TRUE(w.timer().isActive()); // from creation on
    EXPECT_EQ(w.timer().interval(), 1000);

    w.show();
    EXPECT_EQ(w.statusText(), kDeviceNotFound);
    for (QPushButton* b : {w.imagesButton(), w.cinesButton(), w.breakButton()}) EXPECT_FALSE(b->isEnabled());

    w.Timer1Timer(); // still nothing plugged in
    EXPECT_EQ(w.statusText(), kDeviceNotFound);
    EXPECT_FALSE(w.imagesButton()->isEnabled());
    const int findsBefore = rig.backend.findCalls;

    rig.backend.plugged = true;
    w.Timer1Timer();
    EXPECT_GT(rig.backend.findCalls, findsBefore);
    EXPECT_EQ(w.statusText(), "Connected !");
    EXPECT_TRUE(w.imagesButton()->isEnabled());
    EXPECT_TRUE(w.cinesButton()->isEnabled());
    EXPECT_FALSE(w.breakButton()->isEnabled());
    EXPECT_TRUE(w.timer().isActive());

    // One more tick stops the timer for good; nothing is looked for again.
    const int finds = rig.backend.findCalls;
    w.Timer1Timer();
    EXPECT_FALSE(w.timer().isActive());
    EXPECT_EQ(rig.backend.findCalls, finds);
    EXPECT_EQ(rig.backend.opens, 1);
}

TEST(TransferWindow, ShippedNameShortensTheWindowBelowTheCinesButton) {
    struct Case {
        const char* name;
        int clientHeight;
    };
    for (const Case c : {Case{"Kelvo_transmision", 131}, Case{"KELVO_transmision", 131}, Case{"kelvo-test", 241},
                         Case{"Kelvo_transmision.exe", 241}}) {
        WindowRig rig(smallCard(), c.name);
        rig.backend.plugged = true;
        transfer::TForm68& w = *rig.window;
        w.show();
        EXPECT_EQ(w.height(), c.clientHeight) << c.name;
        EXPECT_EQ(w.width(), ui::layout::kClientWidth) << c.name;
        const bool cinesSeen = w.cinesButton()->geometry().top() < w.height() - ui::layout::kStatusBarHeight;
        EXPECT_EQ(cinesSeen, c.clientHeight == ui::layout::kClientHeight) << c.name;
        // Break keeps its distance from the status bar; the cines button stays enabled.
        EXPECT_EQ(w.breakButton()->geometry().bottom() + 1, w.height() - 32) << c.name;
        EXPECT_TRUE(w.cinesButton()->isEnabled()) << c.name;
    }
}

TEST(TransferWindow, EscWhileIdleClosesTheWindow) {
    for (const bool connected : {false, true}) {
        WindowRig rig;
        rig.backend.plugged = connected;
        transfer::TForm68& w = *rig.window;
        w.show();
        ASSERT_TRUE(w.isVisible());
#ifdef KELVO_HAVE_QTEST
        QTest::keyClick(w.imagesButton(), Qt::Key_Escape); // seen by the window before the button
#else
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(w.imagesButton(), &esc);
#endif
        EXPECT_TRUE(waitUntil([&] { return !w.isVisible(); })) << "connected " << connected;
        EXPECT_EQ(rig.folderDialogs, 0);
    }
}

} // namespace
} // namespace kelvo::test
