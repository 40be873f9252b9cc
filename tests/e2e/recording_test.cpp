// Recording with the real program, as a user does it: the right-click menu's "Enregistrer", then
// "Exit"; the file in the user's videos folder is judged by ffprobe and by one decoded picture.

#include "support/HalcyonProcess.h"
#include "support/RecordingProbe.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"
#include "support/Xdo.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace {

const QRect kPicture(72, 32, 537, 329);
// On the skin, left of the picture.
const QPoint kMenuPoint(30, 200);
constexpr int kFallbackChannel = 612;

// Sets an environment variable for the programs started while it lives.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

class RecordingProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTopBox::Options options;
        options.port = SetTopBox::startupPort();
        options.channels = {201, 202, 203, kFallbackChannel};
        ASSERT_TRUE(m_box.start(options)) << qPrintable(m_box.error());
        ASSERT_TRUE(m_home.isValid());
        ASSERT_TRUE(QDir(m_home.path()).mkpath("Videos"));
        ASSERT_TRUE(m_program.setPlaylist(m_box.playlist()));
        {
            // A home of its own: its videos folder is where recordings go unless one is chosen.
            const ScopedEnv home("HOME", m_home.path().toLocal8Bit());
            const ScopedEnv config("XDG_CONFIG_HOME", m_home.filePath(".config").toLocal8Bit());
            ASSERT_TRUE(m_program.start());
        }
        const xdo::WindowId window = m_program.waitForWindow(QStringLiteral("Halcyon"));
        ASSERT_NE(window, 0u);
        m_origin = xdo::windowGeometry(window).topLeft();
    }

    QString videos() const { return m_home.filePath("Videos"); }

    QRgb colourAt(const QPoint &inWindow, const QSize &size) const {
        return averageColour(screenshotRoot(), QRect(m_origin + inWindow, size));
    }

    bool showsChannel(int channel) const {
        return waitUntil(
            [&] {
                return looksLikeChannel(colourAt(kPicture.center() + QPoint(60, 40), {60, 40}), channel);
            },
            15000, 200);
    }

    // Opens the skin's right-click menu and picks the item that many steps up from the end.
    void chooseFromMenu(int stepsUpFromTheEnd) {
        const QPoint at = m_origin + kMenuPoint;
        // The menu opens below and right of the pointer, partly over the picture.
        const auto underMenu = [&] { return colourAt(kMenuPoint + QPoint(50, 10), {40, 12}); };
        const QRgb before = underMenu();
        ASSERT_TRUE(xdo::mouseMove(at.x(), at.y()));
        ASSERT_TRUE(xdo::click(3));
        ASSERT_TRUE(waitUntil([&] { return !colourNear(underMenu(), before, 30); }, 5000, 100)) << "no menu";
        // Drawn is not yet ready for keys: give the menu a moment to take the keyboard.
        waitUntil([] { return false; }, 700);
        // Shift+Tab walks the menu upwards as Up does, without the arrow the player window polls to
        // change channel.
        for (int i = 0; i < stepsUpFromTheEnd; ++i)
            ASSERT_TRUE(xdo::key(QStringLiteral("shift+Tab")));
        ASSERT_TRUE(xdo::key(QStringLiteral("Return")));
    }

    qint64 recordedBytes() const {
        const QStringList files = recordingsIn(videos());
        return files.size() == 1 ? QFileInfo(files.first()).size() : 0;
    }

    SetTopBox m_box;
    QTemporaryDir m_home;
    HalcyonProcess m_program;
    QPoint m_origin;
};

// Ended by its Exit command or by SIGTERM (a shutdown, kill): the same way out either way.
class RecordingEndTest : public RecordingProgramTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RecordingEndTest, RecordsFromTheMenuIntoTheVideosFolderAndExitOrSigtermFinishesTheFile) {
    ASSERT_TRUE(showsChannel(201));
    // From the end of the menu: "Exit", "Option d'enregistrement", "Enregistrer". On a slow
    // machine keys can reach a menu before it takes the keyboard: close it and choose again.
    for (int attempt = 0; attempt < 3 && recordingsIn(videos()).isEmpty(); ++attempt) {
        if (attempt > 0)
            xdo::key(QStringLiteral("Escape"));
        chooseFromMenu(3);
        waitUntil([&] { return !recordingsIn(videos()).isEmpty(); }, 8000, 200);
    }
    // About three seconds of MPEG-2 at 3 Mbit/s.
    EXPECT_TRUE(waitUntil([&] { return recordedBytes() > 1'200'000; }, 25000, 200))
        << "the recording did not grow in " << qPrintable(videos()) << "\n"
        << m_program.standardError().right(2000).constData();
    // The picture gives way to the recording's line, white on black in the middle.
    EXPECT_LT(qGray(colourAt(kPicture.center() + QPoint(60, 40), {60, 40})), 30)
        << "a channel is still shown while it records";

    if (GetParam())
        ASSERT_EQ(::kill(pid_t(m_program.pid()), SIGTERM), 0);
    else
        chooseFromMenu(1);
    ASSERT_TRUE(m_program.waitForExit(15000));
    EXPECT_EQ(m_program.exitCode(), 0);

    const QStringList files = recordingsIn(videos());
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(QFileInfo(files.first()).fileName().startsWith("612-")) << qPrintable(files.first());
    const RecordingProbe probe = RecordingProbe::of(files.first());
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.format, "mpeg");
    EXPECT_EQ(probe.video["codec_name"], "mpeg2video");
    EXPECT_EQ(probe.audio["codec_name"], "mp2");
    EXPECT_GT(probe.duration, 2.5);
    EXPECT_EQ(recordedChannel(recordedPicture(files.first(), 1), {201, 202, 203, kFallbackChannel}),
              kFallbackChannel);
}

INSTANTIATE_TEST_SUITE_P(By, RecordingEndTest, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Sigterm" : "ExitCommand"; });

} // namespace
