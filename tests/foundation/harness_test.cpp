// The test harness itself: the private X display, its clean-up, and the shared channel colours.
#include "settopbox/ChannelColors.h"
#include "support/ChildProcess.h"
#include "support/Screen.h"
#include "support/Wait.h"
#include "support/XSession.h"
#include "support/Xdo.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

namespace {

bool processGone(pid_t pid) {
    return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
}

bool xServerAnswers() {
    bool ok = false;
    childprocess::runToEnd({"xprop", "-root", "-len", "0"}, 5000, &ok);
    return ok;
}

TEST(XSessionTest, ServesADisplayWithAWindowManagerAndStopsThemByPid) {
    const QByteArray displayBefore = qgetenv("DISPLAY");
    XSession session;
    ASSERT_TRUE(session.start()) << qPrintable(session.error());
    EXPECT_EQ(qgetenv("DISPLAY"), session.display().toLocal8Bit());
    EXPECT_EQ(QFile(qEnvironmentVariable("XDG_RUNTIME_DIR")).permissions() & 0x0077, 0)
        << "others must not read it";
    EXPECT_TRUE(xServerAnswers());
    EXPECT_EQ(screenshotRoot().size(), QSize(1280, 1024));

    const pid_t server = session.serverPid();
    const pid_t firstManager = session.windowManagerPid();
    session.stopWindowManager();
    EXPECT_TRUE(processGone(firstManager));
    EXPECT_FALSE(session.hasWindowManager());
    EXPECT_TRUE(xServerAnswers()) << "the display outlives its window manager";
    ASSERT_TRUE(session.startWindowManager()) << qPrintable(session.error());

    const pid_t manager = session.windowManagerPid();
    session.stop();
    EXPECT_TRUE(processGone(server));
    EXPECT_TRUE(processGone(manager));
    EXPECT_EQ(qgetenv("DISPLAY"), displayBefore);
}

QString deathRecordPath(pid_t parent) {
    return QDir::temp().filePath(QStringLiteral("halcyon-crashed-session-%1").arg(parent));
}

// The child runs this, records the PIDs of its session and dies without any clean-up.
[[noreturn]] void startSessionAndCrash() {
    XSession session;
    if (session.start()) {
        QFile record(deathRecordPath(getppid()));
        if (record.open(QIODevice::WriteOnly))
            record.write(QByteArray::number(session.serverPid()) + ' ' +
                         QByteArray::number(session.windowManagerPid()));
    }
    std::abort();
}

TEST(XSessionDeathTest, CrashedTestProgramTakesItsDisplayWithIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QFile::remove(deathRecordPath(getpid()));
    EXPECT_DEATH(startSessionAndCrash(), "");

    QFile record(deathRecordPath(getpid()));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly)) << "the child did not start its session";
    const QList<QByteArray> pids = record.readAll().split(' ');
    record.remove();
    ASSERT_EQ(pids.size(), 2);
    for (const QByteArray &pid : pids)
        EXPECT_TRUE(waitUntil([&] { return processGone(pid.toInt()); }, 10000)) << pid.constData();
}

TEST(XdoTest, FindsAWindowByItsExactTitleAndDrivesThePointer) {
    XSession session;
    ASSERT_TRUE(session.start(false)) << qPrintable(session.error());
    // Accents and expression characters in a title are matched literally.
    const QString title = QStringLiteral("Télé (essai) 1+1");
    const pid_t window = childprocess::spawn(
        {"xmessage", "-title", title, "-geometry", "+200+150", "bonjour"}, {.quiet = true});
    const xdo::WindowId id = xdo::waitForWindow(title, 15000);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(xdo::windowTitle(id), title);
    EXPECT_TRUE(xdo::searchWindows(QStringLiteral("^Télé \\(essai\\) 1$")).isEmpty());
    const QRect geometry = xdo::windowGeometry(id);
    EXPECT_EQ(geometry.topLeft(), QPoint(200, 150));
    EXPECT_GT(geometry.width(), 0);
    EXPECT_TRUE(xdo::mouseMove(geometry.center().x(), geometry.center().y()));
    childprocess::stop(window);
    session.stop();
}

TEST(ChannelColours, EveryChannelIsToldApartFromItsNeighbours) {
    using namespace halcyon::settopbox;
    QList<int> channels;
    for (int n = 201; n < 201 + kChannelColourCount; ++n)
        channels.append(n);
    for (int channel : channels) {
        SCOPED_TRACE(channel);
        const QRgb colour = channelRgb(channel);
        EXPECT_TRUE(looksLikeChannel(colour, channel));
        EXPECT_EQ(channelOfColour(colour, channels), channel);
        // Nothing a player shows by itself may pass for a channel: black, its red key, blue, grey.
        for (QRgb reserved : {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(128, 128, 128)})
            EXPECT_FALSE(colourNear(colour, reserved, 60));
        for (int other : channels) {
            if (other != channel) {
                EXPECT_FALSE(colourNear(colour, channelRgb(other), 80)) << other;
            }
        }
    }
    EXPECT_EQ(channelRgb(201 + kChannelColourCount), channelRgb(201));
}

} // namespace
