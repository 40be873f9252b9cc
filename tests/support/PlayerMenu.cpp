#include "support/PlayerMenu.h"

#include "support/Wait.h"

#include <QDir>
#include <QFile>

bool chooseFromPlayerMenu(xdo::WindowId player, const QStringList &keys, const std::function<bool()> &done,
                          int doneWithinMs) {
    const auto shownWindows = [] { return xdo::searchWindows(QStringLiteral(".*"), true).size(); };
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QPoint skin = xdo::windowGeometry(player).topLeft() + QPoint(660, 200);
        const qsizetype before = shownWindows();
        if (!xdo::mouseMove(skin.x(), skin.y()) || !xdo::click(3))
            return false;
        waitUntil([&] { return shownWindows() > before; }, 3000, 50);
        for (const QString &key : keys)
            xdo::key(key);
        if (waitUntil(done, doneWithinMs))
            return true;
        xdo::key(QStringLiteral("Escape"));
    }
    return false;
}

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
