// The program on a session bus of its own, with a stand-in for the desktop's screen-saver
// service: the screen is kept from blanking while a channel plays, the desktop's media controls
// (playerctl) step the channel and name it, and see it paused and moved back by the keys.

#include "support/ChildProcess.h"
#include "support/HalcyonProcess.h"
#include "support/PrivateSessionBus.h"
#include "support/Screen.h"
#include "support/ScreenSaverStandIn.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"
#include "support/Xdo.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <signal.h>

namespace {

const QRect kPicture(72, 32, 537, 329);

class DesktopServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_bus.start()) << "no dbus-daemon";
        ASSERT_TRUE(m_screenSaver.start(m_bus.address()));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_cache.path());
        m_program.setEnvironment(environment);
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

    // Whether the program holds a file open in the cache folder (what it keeps of the channel).
    bool keepsInCache() const {
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(m_program.pid()));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System)) {
            if (fd.symLinkTarget().startsWith(m_cache.path()))
                return true;
        }
        return false;
    }
    QStringList cacheEntries() const {
        // Files only: GStreamer keeps its registry in a folder there.
        return QDir(m_cache.path()).entryList(QDir::Files | QDir::Hidden);
    }
    double position() const { return playerctl({"position"}).toDouble(); }

    QTemporaryDir m_cache;
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

TEST_F(DesktopServicesTest, TheKeysPauseAndRewindTheChannelTheDesktopSeesItAndAKillLeavesNothingKept) {
    ASSERT_TRUE(showsChannel(201));
    ASSERT_TRUE(waitUntil([&] { return !playerctl({"status"}).isEmpty(); }, 10000, 200))
        << "no media player on the bus";
    EXPECT_TRUE(waitUntil([&] { return keepsInCache(); }, 10000, 200)) << "nothing kept in the cache folder";
    EXPECT_TRUE(cacheEntries().isEmpty()) << qPrintable(cacheEntries().join(' '));
    waitUntil([] { return false; }, 12000);

    ASSERT_TRUE(xdo::activate(m_window));
    ASSERT_TRUE(xdo::key(QStringLiteral("space")));
    ASSERT_TRUE(waitUntil([&] { return playerctl({"status"}) == QLatin1String("Paused"); }, 5000, 200));
    const double held = position();
    waitUntil([] { return false; }, 1000);
    EXPECT_NEAR(position(), held, 0.3) << "the position moved while paused";

    ASSERT_TRUE(xdo::key(QStringLiteral("Left")));
    EXPECT_TRUE(waitUntil([&] { return std::abs(position() - (held - 10)) < 1.5; }, 5000, 200))
        << position() << " after 10 s back from " << held;
    EXPECT_EQ(playerctl({"status"}), QStringLiteral("Paused"));

    ASSERT_TRUE(xdo::key(QStringLiteral("space")));
    ASSERT_TRUE(waitUntil([&] { return playerctl({"status"}) == QLatin1String("Playing"); }, 5000, 200));
    const double playing = position();
    waitUntil([] { return false; }, 1500);
    EXPECT_GT(position(), playing + 0.8) << "the position stands still while playing";

    ASSERT_TRUE(xdo::key(QStringLiteral("End")));
    EXPECT_TRUE(waitUntil(
        [&] { return std::abs(playerctl({"metadata", "mpris:length"}).toDouble() / 1e6 - position()) < 1.5; },
        5000, 200))
        << position() << " at End, kept " << playerctl({"metadata", "mpris:length"}).toStdString();
    EXPECT_TRUE(showsChannel(201));

    ::kill(pid_t(m_program.pid()), SIGKILL);
    ASSERT_TRUE(m_program.waitForExit(5000));
    EXPECT_TRUE(cacheEntries().isEmpty()) << qPrintable(cacheEntries().join(' '));
}

} // namespace
