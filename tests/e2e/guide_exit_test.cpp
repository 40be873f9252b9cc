// The program ends when asked, whatever its programme guide's read is doing: here the playlist names
// as its guide a pipe that the test holds open and never writes, so the read never returns.
#include "support/HalcyonProcess.h"
#include "support/PlayerMenu.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"
#include "support/Xdo.h"

#include <QDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class GuideExitTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTopBox::Options options;
        options.port = SetTopBox::startupPort();
        options.channels = {201, 202};
        ASSERT_TRUE(m_box.start(options)) << qPrintable(m_box.error());
        const QString fifo = QDir(m_program.workDir()).filePath(QStringLiteral("guide.xml"));
        m_fifoPath = QFile::encodeName(fifo);
        ASSERT_EQ(::mkfifo(m_fifoPath.constData(), 0600), 0);
        ASSERT_TRUE(m_program.setPlaylist("#EXTM3U url-tvg=\"guide.xml\"\n" + m_box.playlist()));
        ASSERT_TRUE(m_program.start());
        m_window = m_program.waitForWindow(QStringLiteral("Halcyon"));
        ASSERT_NE(m_window, 0u);
        // Opening the write end succeeds once the program has the pipe open to read; held open and
        // never written, the program's read then waits for ever.
        ASSERT_TRUE(waitUntil(
            [&] {
                m_writer = ::open(m_fifoPath.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                return m_writer >= 0;
            },
            30000, 100))
            << "the program never opened its guide";
    }

    void TearDown() override {
        if (m_writer >= 0)
            ::close(m_writer);
    }

    SetTopBox m_box;
    HalcyonProcess m_program;
    xdo::WindowId m_window = 0;
    QByteArray m_fifoPath;
    int m_writer = -1;
};

TEST_F(GuideExitTest, ExitEndsTheProgramWhileItsGuideReadWaits) {
    // The menu opens with nothing chosen: Up goes round to its last item, "Guide des programmes"
    // (the playlist names a guide), and Up again to "Exit".
    ASSERT_TRUE(chooseFromPlayerMenu(m_window, {QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("Return")},
                                     [&] { return !m_program.isRunning(); }));
    ASSERT_TRUE(m_program.waitForExit(10000)) << "still running after Exit";
    EXPECT_EQ(m_program.exitCode(), 0);
}

TEST_F(GuideExitTest, SigtermEndsTheProgramWhileItsGuideReadWaits) {
    ASSERT_EQ(::kill(pid_t(m_program.pid()), SIGTERM), 0);
    ASSERT_TRUE(m_program.waitForExit(10000)) << "still running after SIGTERM";
    EXPECT_EQ(m_program.exitCode(), 0);
}

} // namespace
