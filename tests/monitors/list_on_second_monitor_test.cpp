// The channel list on a display of two monitors: the rules about the screen's edge follow the
// monitor the player window is on, not the primary one.

#include "forms/FullScreenView.h"
#include "forms/PictureCommands.h"
#include "gui/PlayerWindowFixture.h"
#include "support/Xdo.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>

namespace {

class SecondMonitorTest : public PlayerWindowFixture {
protected:
    static QScreen *rightMonitor() {
        for (QScreen *screen : QGuiApplication::screens())
            if (screen != QGuiApplication::primaryScreen() && screen->geometry().x() > 0)
                return screen;
        return nullptr;
    }

    bool placePlayer(const QPoint &pos) {
        form1->move(pos);
        return waitUntil([&] { return form1->pos() == pos && form1->screen() == rightMonitor(); }, 10000);
    }

    // Moves the pointer there and waits until the skin (or the full-screen picture) has seen it.
    bool movePointer(const QPoint &to, QObject *watched, const char *signal) {
        QSignalSpy moves(watched, signal);
        for (int step = 0; step < 5 && moves.isEmpty(); ++step) {
            if (!xdo::mouseMove(to.x() - step % 2, to.y()))
                return false;
            waitUntil([&] { return !moves.isEmpty(); }, 1000);
        }
        return !moves.isEmpty();
    }

    bool listTopRowOnScreen() const {
        const QImage shot = screenshotRoot();
        const QPoint row = form2->mapToGlobal(QPoint(12, 8));
        for (int x = row.x(); x < row.x() + 120; ++x)
            if (colourNear(shot.pixel(x, row.y()), qRgb(255, 255, 255), 30))
                return true;
        return false;
    }
};

TEST_F(SecondMonitorTest, TheRightEdgeOfTheWindowsOwnMonitorBringsTheListUpAsItsButtonDoes) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "the display does not have two monitors";
    QScreen *right = rightMonitor();
    ASSERT_NE(right, nullptr);
    const QRect monitor = right->geometry();

    // On the right monitor, far from its edge but right of the primary monitor's width.
    ASSERT_TRUE(placePlayer(monitor.topLeft() + QPoint(310, 342)));
    ASSERT_TRUE(movePointer(form1->mapToGlobal(QPoint(40, 200)), form1->Image1, SIGNAL(mouseMoved(QPoint))));
    ASSERT_TRUE(movePointer(form1->mapToGlobal(QPoint(30, 150)), form1->Image1, SIGNAL(mouseMoved(QPoint))));
    EXPECT_FALSE(form2->isVisible()) << "a move over the skin brought the list up";

    // The window at that monitor's right edge: the list comes up beside the picture, active.
    ASSERT_TRUE(placePlayer(QPoint(monitor.right() + 1 - form1->width(), monitor.top() + 342)));
    ASSERT_TRUE(movePointer(QPoint(monitor.right() - 4, form1->y() + 200), form1->Image1,
                            SIGNAL(mouseMoved(QPoint))));
    ASSERT_TRUE(waitUntil([&] { return form2->isVisible() && form2->isActiveWindow(); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return form2->pos() == form1->pos() + QPoint(392, 35); }, 5000));
    EXPECT_EQ(form1->Image5->tag(), 1);
    EXPECT_TRUE(waitUntil([&] { return listTopRowOnScreen(); }, 5000));
    keepShot(screenshotRoot(), "second-monitor-list");

    // Already shown, it is brought up and activated again, as the list button would.
    form1->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return form1->isActiveWindow(); }, 5000));
    ASSERT_TRUE(movePointer(QPoint(monitor.right() - 3, form1->y() + 210), form1->Image1,
                            SIGNAL(mouseMoved(QPoint))));
    EXPECT_TRUE(waitUntil([&] { return form2->isActiveWindow(); }, 5000)) << "the list was not activated";

    // In full screen on that monitor, its right edge brings the list up at that edge.
    form2->hide();
    FullScreenView *fullScreen = form1->pictureCommands()->fullScreen();
    form1->pictureCommands()->setFullScreen(true);
    ASSERT_TRUE(
        waitUntil([&] { return fullScreen->isVisible() && fullScreen->geometry() == monitor; }, 10000));
    ASSERT_TRUE(movePointer(monitor.center(), fullScreen, SIGNAL(pointerMovedTo(QPoint))));
    EXPECT_FALSE(form2->isVisible());
    ASSERT_TRUE(movePointer(QPoint(monitor.right() - 2, monitor.center().y()), fullScreen,
                            SIGNAL(pointerMovedTo(QPoint))));
    ASSERT_TRUE(waitUntil([&] { return form2->isVisible(); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return form2->frameGeometry().right() == monitor.right(); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return listTopRowOnScreen(); }, 5000)) << "the list is not over the picture";
    keepShot(screenshotRoot(), "second-monitor-full-screen-list");
    form1->pictureCommands()->setFullScreen(false);
}

} // namespace
