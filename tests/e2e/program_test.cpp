// The real program, started as a user starts it, judged by what the screen shows and how it ends.

#include "support/HalcyonProcess.h"
#include "support/PlayerMenu.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"
#include "support/Xdo.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Where the player window's parts are, relative to the window.
const QRect kPicture(72, 32, 537, 329);
const QPoint kPowerButton(601, 371);

class ProgramTest : public ::testing::Test {
protected:
    bool startBox(QList<int> channels = {201, 202, 203}) {
        SetTopBox::Options options;
        options.port = SetTopBox::startupPort();
        options.channels = channels;
        return m_box.start(options);
    }

    bool startProgram(bool withPlaylist = true) {
        if (withPlaylist && !m_program.setPlaylist(m_box.playlist()))
            return false;
        if (!m_program.start())
            return false;
        m_window = m_program.waitForWindow(QStringLiteral("Halcyon"));
        if (!m_window)
            return false;
        m_origin = xdo::windowGeometry(m_window).topLeft();
        return true;
    }

    // The middle of the picture as the screen shows it.
    QRgb pictureColour() const {
        const QRect centre(m_origin + kPicture.center() + QPoint(60, 40), QSize(60, 40));
        return averageColour(screenshotRoot(), centre);
    }

    bool showsChannel(int channel, int timeoutMs = 15000) const {
        return waitUntil([&] { return looksLikeChannel(pictureColour(), channel); }, timeoutMs, 200);
    }

    // A status line over a dark picture: some bright pixels in a mostly dark rectangle.
    bool showsStatusText() const {
        const QImage shot = screenshotRoot();
        const QRect picture(m_origin + kPicture.topLeft(), kPicture.size());
        int bright = 0, dark = 0;
        for (int y = picture.top(); y <= picture.bottom(); y += 2) {
            for (int x = picture.left(); x <= picture.right(); x += 2) {
                const int v = qGray(shot.pixel(x, y));
                bright += v > 180;
                dark += v < 40;
            }
        }
        return bright > 20 && dark > bright * 20;
    }

    void clickAt(const QPoint &inWindow, int button = 1) {
        const QPoint p = m_origin + inWindow;
        ASSERT_TRUE(xdo::mouseMove(p.x(), p.y()));
        ASSERT_TRUE(xdo::click(button));
    }

    SetTopBox m_box;
    HalcyonProcess m_program;
    xdo::WindowId m_window = 0;
    QPoint m_origin;
};

TEST_F(ProgramTest, PlaysTheStartupChannelAndEndsWithStatusZeroFromThePowerButton) {
    ASSERT_TRUE(startBox());
    ASSERT_TRUE(startProgram());
    EXPECT_TRUE(showsChannel(201)) << "the start-up stream never showed";

    // Outside the outline (the skin's red rows) the desktop shows through.
    const QImage shot = screenshotRoot();
    EXPECT_EQ(shot.pixel(m_origin + QPoint(20, 420)) & 0xFFFFFF, 0u) << "the red area is not cut away";
    EXPECT_NE(shot.pixel(m_origin + QPoint(340, 400)) & 0xFFFFFF, 0u) << "the stand was cut away";

    clickAt(kPowerButton);
    ASSERT_TRUE(m_program.waitForExit(10000));
    EXPECT_EQ(m_program.exitCode(), 0);
}

TEST_F(ProgramTest, ExitFromTheRightClickMenuEndsWithStatusZero) {
    ASSERT_TRUE(startBox());
    ASSERT_TRUE(startProgram());
    // The menu opens with nothing chosen: Up goes round to its last item, "Exit".
    ASSERT_TRUE(chooseFromPlayerMenu(m_window, {QStringLiteral("Up"), QStringLiteral("Return")},
                                     [&] { return !m_program.isRunning(); }));
    ASSERT_TRUE(m_program.waitForExit(10000));
    EXPECT_EQ(m_program.exitCode(), 0);
}

// Another client destroying the player window leaves no way to stop the program: it ends by itself.
TEST_F(ProgramTest, ThePlayerWindowDestroyedByAnotherClientEndsTheProgramWithStatusZero) {
    ASSERT_TRUE(startBox());
    ASSERT_TRUE(startProgram());
    EXPECT_TRUE(showsChannel(201));
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"),
                                {QStringLiteral("windowclose"), QString::number(m_window)}),
              0);
    ASSERT_TRUE(m_program.waitForExit(15000)) << "still running with its window gone";
    EXPECT_EQ(m_program.exitCode(), 0);
}

TEST_F(ProgramTest, MissingPlaylistShowsItsErrorAndKeepsPlaying) {
    ASSERT_TRUE(startBox());
    ASSERT_TRUE(startProgram(false));
    // The error box is captioned with the application title, from the program file's name.
    const xdo::WindowId box = xdo::waitForWindow(QStringLiteral("Halcyon-tv"), 15000);
    EXPECT_NE(box, 0u) << "no error box for the missing playlist";
    EXPECT_TRUE(showsChannel(201)) << "the start-up stream should play on behind the error";
    EXPECT_TRUE(m_program.isRunning());
}

TEST_F(ProgramTest, WithoutTheBoxItRunsOnAndSaysSoInThePicture) {
    ASSERT_TRUE(m_program.setPlaylist(QByteArray()));
    ASSERT_TRUE(startProgram(false));
    EXPECT_TRUE(waitUntil([&] { return showsStatusText(); }, 10000, 250)) << "no failure text in the picture";
    QTest::qWait(1000);
    EXPECT_TRUE(m_program.isRunning());
}

TEST_F(ProgramTest, FrozenStreamIsNoticedAndThePictureComesBackAfterwards) {
    ASSERT_TRUE(startBox());
    ASSERT_TRUE(startProgram());
    ASSERT_TRUE(showsChannel(201));
    ASSERT_TRUE(m_box.freeze());
    EXPECT_TRUE(waitUntil([&] { return showsStatusText(); }, 9000, 250))
        << "the frozen stream went unnoticed";
    ASSERT_TRUE(m_box.resume());
    EXPECT_TRUE(showsChannel(201, 25000)) << "the picture did not come back after the box resumed";
}

// With no channel in the list the keys do what the skin's buttons do: Up nothing, Down the list's
// error box, one box per press however long the key is held.
TEST_F(ProgramTest, WithAnEmptyListEachPressOfDownOpensOneListErrorBox) {
    const QString boxTitle = QStringLiteral("^Halcyon-tv$");
    ASSERT_TRUE(startBox());
    ASSERT_TRUE(m_program.setPlaylist("#EXTM3U\n"));
    ASSERT_TRUE(startProgram(false));
    ASSERT_TRUE(showsChannel(201));
    ASSERT_TRUE(xdo::activate(m_window));
    ASSERT_TRUE(waitUntil([&] { return xdo::activeWindow() == m_window; }, 5000));

    ASSERT_TRUE(xdo::key(QStringLiteral("Up")));
    QTest::qWait(500);
    EXPECT_TRUE(xdo::searchWindows(boxTitle).isEmpty()) << "Up with no channel opened a box";

    // Held for about ten polling ticks.
    ASSERT_TRUE(xdo::keyDown(QStringLiteral("Down")));
    const xdo::WindowId box = xdo::waitForWindow(QStringLiteral("Halcyon-tv"), 10000);
    QTest::qWait(1000);
    ASSERT_TRUE(xdo::keyUp(QStringLiteral("Down")));
    ASSERT_NE(box, 0u) << "Down with no channel said nothing";
    // Presses behind the box neither step now nor once it is closed.
    ASSERT_TRUE(xdo::key(QStringLiteral("Down")));
    ASSERT_TRUE(xdo::key(QStringLiteral("Down")));
    QTest::qWait(300);
    EXPECT_EQ(xdo::searchWindows(boxTitle).size(), 1) << "the held key or the presses stacked boxes";

    ASSERT_TRUE(xdo::activate(box));
    ASSERT_TRUE(xdo::key(QStringLiteral("Return")));
    ASSERT_TRUE(waitUntil([&] { return xdo::searchWindows(boxTitle).isEmpty(); }, 5000));
    QTest::qWait(300);
    EXPECT_TRUE(xdo::searchWindows(boxTitle).isEmpty()) << "a press made behind the box came out after it";

    ASSERT_TRUE(xdo::activate(m_window));
    ASSERT_TRUE(waitUntil([&] { return xdo::activeWindow() == m_window; }, 5000));
    ASSERT_TRUE(xdo::key(QStringLiteral("Down")));
    EXPECT_NE(xdo::waitForWindow(QStringLiteral("Halcyon-tv"), 10000), 0u) << "the next press said nothing";
    EXPECT_TRUE(m_program.isRunning());
}

} // namespace
