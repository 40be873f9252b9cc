// The guide inside the real program: shown from the pop-up menu, and gone cleanly with the program.
#include "support/HalcyonProcess.h"
#include "support/Wait.h"
#include "support/Xdo.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

// The process and all its descendants, from the parent links in /proc.
QList<qint64> processTree(qint64 root) {
    QList<qint64> tree{root};
    for (bool grew = true; grew;) {
        grew = false;
        for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            const qint64 pid = entry.toLongLong();
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (pid <= 0 || tree.contains(pid) || !stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = stat.readAll();
            if (tree.contains(text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toLongLong())) {
                tree << pid;
                grew = true;
            }
        }
    }
    return tree;
}

// Opens the player's pop-up menu on the skin's right-hand side, which the guide does not cover,
// and picks an item with the keys until done() holds. Keys pressed before the menu has taken the
// keyboard go to the window under it, so a choice that changed nothing is tried again.
bool chooseFromMenu(xdo::WindowId player, const QStringList &keys, const std::function<bool()> &done) {
    const auto shownWindows = [] { return xdo::searchWindows(QStringLiteral(".*"), true).size(); };
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QPoint skin = xdo::windowGeometry(player).topLeft() + QPoint(660, 200);
        const qsizetype before = shownWindows();
        if (!xdo::mouseMove(skin.x(), skin.y()) || !xdo::click(3))
            return false;
        waitUntil([&] { return shownWindows() > before; }, 3000, 50);
        for (const QString &key : keys)
            xdo::key(key);
        if (waitUntil(done, 5000))
            return true;
        xdo::key(QStringLiteral("Escape"));
    }
    return false;
}

TEST(GuideInTheProgram, ShowsFromTheMenuAndEndsWithTheProgramAndItsWebProcesses) {
    HalcyonProcess program;
    // No box is needed: the player says so in its picture and goes on.
    ASSERT_TRUE(program.setPlaylist("#EXTINF:-1,201 - Une\nrtsp://127.0.0.1:9/orvantv/201\n"));
    ASSERT_TRUE(program.start());
    const xdo::WindowId player = program.waitForWindow(QStringLiteral("Halcyon"));
    ASSERT_NE(player, 0u);

    // "Programme TV" is the fourth item.
    ASSERT_TRUE(chooseFromMenu(player, {"Down", "Down", "Down", "Down", "Return"},
                               [] { return !xdo::searchWindows(QStringLiteral("Programme TV")).isEmpty(); }));
    const QList<qint64> processes = processTree(program.pid());
    EXPECT_GT(processes.size(), 1) << "the web engine's processes did not start";

    // "Exit" is the last: Up goes round to it.
    ASSERT_TRUE(chooseFromMenu(player, {"Up", "Return"}, [&] { return !program.isRunning(); }))
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
