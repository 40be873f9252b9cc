// The program's windows as the window manager sees them: every one carries the desktop entry's id
// as its window class, so the desktop groups them under the entry, and the application icon
// unless it has one of its own (the guide).

#include "support/ChildProcess.h"
#include "support/HalcyonProcess.h"
#include "support/PlayerMenu.h"
#include "support/Wait.h"
#include "support/Xdo.h"

#include <QImage>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct WindowIdentity {
    QString instance;
    QString windowClass;
    QList<quint32> icon; // width, height, then ARGB pixels, as _NET_WM_ICON holds them
};

WindowIdentity identityOf(xdo::WindowId window) {
    const QString text = QString::fromLocal8Bit(childprocess::runToEnd(
        {"xprop", "-id", QString::number(window), "-notype", "WM_CLASS", "32c", "_NET_WM_ICON"}));
    WindowIdentity identity;
    const QRegularExpressionMatch wmClass =
        QRegularExpression(QStringLiteral("WM_CLASS = \"([^\"]*)\", \"([^\"]*)\"")).match(text);
    identity.instance = wmClass.captured(1);
    identity.windowClass = wmClass.captured(2);
    const QRegularExpressionMatch icon =
        QRegularExpression(QStringLiteral("_NET_WM_ICON = ([0-9, ]+)")).match(text);
    for (const QString &value : icon.captured(1).split(',', Qt::SkipEmptyParts))
        identity.icon << value.trimmed().toUInt();
    return identity;
}

// The first image of an icon property, as the application icon file would give it.
QList<quint32> iconProperty(const QImage &picture) {
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    QList<quint32> values{quint32(argb.width()), quint32(argb.height())};
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            values << argb.pixel(x, y);
    return values;
}

xdo::WindowId windowTitled(const QString &title) {
    const QList<xdo::WindowId> windows = xdo::searchWindows(QRegularExpression::escape(title));
    return windows.isEmpty() ? 0 : windows.first();
}

TEST(WindowIdentity, EveryWindowCarriesTheEntrysClassAndTheApplicationIconUnlessItHasItsOwn) {
    const QList<quint32> mainIcon = iconProperty(QImage(HALCYON_SOURCE_DIR "/assets/mainicon.png"));
    ASSERT_EQ(mainIcon.size(), 2 + 32 * 32);

    // Without a playlist the program opens its error box at once, and plays on.
    HalcyonProcess program;
    ASSERT_TRUE(program.start());
    const xdo::WindowId player = program.waitForWindow(QStringLiteral("Halcyon"));
    ASSERT_NE(player, 0u);
    const xdo::WindowId errorBox = xdo::waitForWindow(QStringLiteral("Halcyon-tv"), 15000);
    ASSERT_NE(errorBox, 0u);
    QList<std::pair<QString, WindowIdentity>> seen{{"Halcyon", identityOf(player)},
                                                   {"Halcyon-tv", identityOf(errorBox)}};
    xdo::activate(errorBox);
    ASSERT_TRUE(waitUntil(
        [&] {
            xdo::key(QStringLiteral("Return"));
            return windowTitled(QStringLiteral("Halcyon-tv")) == 0;
        },
        10000, 500));

    // Menu items, from the top: the channel list, the guide, the about window, the destination.
    const QList<std::pair<int, QString>> items{
        {1, "Form2"}, {4, "Programme TV"}, {5, "A Propos"}, {7, "Déstination"}};
    for (const auto &[steps, title] : items) {
        QStringList keys(steps, QStringLiteral("Tab"));
        keys << QStringLiteral("Return");
        ASSERT_TRUE(chooseFromPlayerMenu(player, keys, [&] { return windowTitled(title) != 0; }))
            << qPrintable(title);
        seen.append({title, identityOf(windowTitled(title))});
    }
    // The folder picker, from the destination window's "Parcourir".
    const xdo::WindowId destination = windowTitled(QStringLiteral("Déstination"));
    xdo::WindowId picker = 0;
    for (int attempt = 0; attempt < 3 && !picker; ++attempt) {
        // Above the guide, which may lie over it; "Parcourir" comes first in its tab order.
        xdo::activate(destination);
        waitUntil([&] { return xdo::activeWindow() == destination; }, 3000);
        ASSERT_TRUE(xdo::key(QStringLiteral("space")));
        picker = xdo::waitForWindow(QStringLiteral("Sélection du répertoire"), 5000);
    }
    ASSERT_NE(picker, 0u);
    seen.append({"Sélection du répertoire", identityOf(picker)});

    for (const auto &[title, identity] : seen) {
        SCOPED_TRACE(qPrintable(title));
        EXPECT_EQ(identity.instance, "halcyon-tv");
        EXPECT_EQ(identity.windowClass, "org.halcyontv.Player");
        ASSERT_GE(identity.icon.size(), 2);
        const QList<quint32> firstImage = identity.icon.mid(0, 2 + identity.icon[0] * identity.icon[1]);
        if (title == "Programme TV")
            EXPECT_NE(firstImage, mainIcon) << "the guide keeps its own icon";
        else
            EXPECT_EQ(firstImage, mainIcon);
    }
}

} // namespace
