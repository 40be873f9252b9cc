// The guide inside the real program: shown from the pop-up menu, and gone cleanly with the program.
#include "support/HalcyonProcess.h"
#include "support/PlayerMenu.h"
#include "support/Wait.h"
#include "support/Xdo.h"

#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

TEST(GuideInTheProgram, ShowsFromTheMenuAndEndsWithTheProgramAndItsWebProcesses) {
    HalcyonProcess program;
    // No box is needed: the player says so in its picture and goes on.
    ASSERT_TRUE(program.setPlaylist("#EXTINF:-1,201 - Une\nrtsp://127.0.0.1:9/orvantv/201\n"));
    ASSERT_TRUE(program.start());
    const xdo::WindowId player = program.waitForWindow(QStringLiteral("Halcyon"));
    ASSERT_NE(player, 0u);

    // "Programme TV" is the fourth item.
    ASSERT_TRUE(chooseFromPlayerMenu(player, {"Tab", "Tab", "Tab", "Tab", "Return"}, [] {
        return !xdo::searchWindows(QStringLiteral("Programme TV")).isEmpty();
    }));
    const QList<qint64> processes = processTree(program.pid());
    EXPECT_GT(processes.size(), 1) << "the web engine's processes did not start";

    // "Exit" is the last: Shift+Tab goes round to it.
    ASSERT_TRUE(chooseFromPlayerMenu(player, {"shift+Tab", "Return"}, [&] { return !program.isRunning(); }))
        << program.standardError().toStdString();
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(waitUntil(
        [&] {
            return std::none_of(processes.begin(), processes.end(), [](qint64 pid) {
                return QFile::exists(QStringLiteral("/proc/%1").arg(pid));
            });
        },
        5000))
        << "web engine processes outlived the program";
}

} // namespace
