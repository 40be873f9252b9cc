// The program on a session bus of its own, with a stand-in for the desktop's screen-saver
// service: the screen is kept from blanking while a channel plays, and the desktop's media
// controls (playerctl) step the channel and name it.

#include "support/ChildProcess.h"
#include "support/HalcyonProcess.h"
#include "support/PrivateSessionBus.h"
#include "support/Screen.h"
#include "support/ScreenSaverStandIn.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"
#include "support/Xdo.h"

#include <gtest/gtest.h>

namespace {

const QRect kPicture(72, 32, 537, 329);

class DesktopServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_bus.start()) << "no dbus-daemon";
        ASSERT_TRUE(m_screenSaver.start(m_bus.address()));
        SetTopBox::Options options;
        options.port = SetTopBox::startupPort();
        ASSERT_TRUE(m_box.start(options)) << qPrintable(m_box.error());
        ASSERT_TRUE(m_program.setPlaylist(m_box.playlist()));
        ASSERT_TRUE(m_program.start());
        m_window = m_program.waitForWindow(QStringLiteral("Halcyon"));
        ASSERT_NE(m_window, 0u);
        m_origin = xdo::windowGeometry(m_window).topLeft();
    }

    // What playerctl says or does to this program's player; empty when it fails.
    static QString playerctl(const QStringList &arguments) {
        bool ok = false;
        const QByteArray out =
            childprocess::runToEnd(QStringList{"playerctl", "--player=halcyontv"} + arguments, 10000, &ok);
        return ok ? QString::fromUtf8(out).trimmed() : QString();
    }

    bool showsChannel(int channel) const {
        const QRect centre(m_origin + kPicture.center() + QPoint(60, 40), QSize(60, 40));
        return waitUntil([&] { return looksLikeChannel(averageColour(screenshotRoot(), centre), channel); },
                         15000, 200);
    }

    PrivateSessionBus m_bus;
    ScreenSaverStandIn m_screenSaver;
    SetTopBox m_box;
    HalcyonProcess m_program;
    xdo::WindowId m_window = 0;
    QPoint m_origin;
};

TEST_F(DesktopServicesTest, TheScreenIsKeptOnWhileAChannelPlaysAndLetGoOnAFailureOrAStop) {
    ASSERT_TRUE(showsChannel(201));
    EXPECT_TRUE(waitUntil([&] { return m_screenSaver.held() == 1; }, 10000)) << "not held while playing";

    ASSERT_TRUE(m_box.freeze());
    EXPECT_TRUE(waitUntil([&] { return m_screenSaver.held() == 0; }, 15000)) << "still held on a failure";
    ASSERT_TRUE(m_box.resume());
    EXPECT_TRUE(waitUntil([&] { return m_screenSaver.held() == 1; }, 30000)) << "not held once playing again";

    EXPECT_EQ(playerctl({"status"}), QStringLiteral("Playing"));
    playerctl({"stop"});
    EXPECT_TRUE(waitUntil([&] { return m_screenSaver.held() == 0; }, 10000)) << "still held once stopped";
    EXPECT_TRUE(waitUntil([&] { return playerctl({"status"}) == QLatin1String("Stopped"); }, 5000, 200));
    EXPECT_TRUE(m_program.isRunning());
}

TEST_F(DesktopServicesTest, PlayerctlStepsTheChannelAndItsMetadataNamesIt) {
    ASSERT_TRUE(showsChannel(201));
    ASSERT_TRUE(waitUntil([&] { return !playerctl({"status"}).isEmpty(); }, 10000, 200))
        << "no media player on the bus";
    EXPECT_EQ(playerctl({"metadata", "title"}), QString()) << "a title before any channel was chosen";

    playerctl({"next"});
    playerctl({"next"});
    EXPECT_TRUE(showsChannel(202));
    // The row as the list shows it: the text after the first comma of its entry line.
    const QByteArray entry = m_box.playlist().split('\n').value(2);
    const QString row = QString::fromUtf8(entry.mid(entry.indexOf(',') + 1));
    EXPECT_TRUE(waitUntil(
        [&] {
            return playerctl({"metadata", "title"}) == row;
        },
        5000, 200))
        << qPrintable(playerctl({"metadata", "title"})) << " instead of " << qPrintable(row);

    playerctl({"previous"});
    EXPECT_TRUE(showsChannel(201));
    EXPECT_EQ(playerctl({"volume"}), QStringLiteral("0.500000"));
    // Far beyond the loudest is the loudest, not silence.
    playerctl({"volume", "1e308"});
    EXPECT_TRUE(waitUntil([&] { return playerctl({"volume"}) == QLatin1String("2.000000"); }, 5000, 200))
        << qPrintable(playerctl({"volume"}));
}

TEST_F(DesktopServicesTest, TheProgramGoesOnWhenTheSessionBusGoesAway) {
    ASSERT_TRUE(showsChannel(201));
    ASSERT_TRUE(waitUntil([&] { return !playerctl({"status"}).isEmpty(); }, 10000, 200))
        << "no media player on the bus";
    m_bus.stop();
    ASSERT_TRUE(xdo::activate(m_window));
    ASSERT_TRUE(xdo::key(QStringLiteral("Up")));
    ASSERT_TRUE(xdo::key(QStringLiteral("Up")));
    EXPECT_TRUE(showsChannel(202)) << "the keys no longer step the channel";
    EXPECT_TRUE(m_program.isRunning()) << "ended with the bus";
}

} // namespace
