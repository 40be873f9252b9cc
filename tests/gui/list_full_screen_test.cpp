// The channel list in full screen, shown, hidden and used as in the window: above the picture,
// toggled at once by its menu item, its keys and the screen's right edge working.

#include "PlayerWindowFixture.h"
#include "forms/FullScreenView.h"
#include "forms/PictureCommands.h"
#include "support/Xdo.h"

#include <QSignalSpy>

namespace {

class ListInFullScreenTest : public PlayerWindowFixture {
protected:
    FullScreenView *fullScreen() const { return form1->pictureCommands()->fullScreen(); }

    // The first channel name is painted on the screen, over the picture filling it.
    bool listNamesOnScreen() const {
        const QImage shot = screenshotRoot();
        const QPoint besideList = form2->mapToGlobal(QPoint(-60, 100));
        if (!looksLikeChannel(averageColour(shot, QRect(besideList, QSize(20, 20))), 201))
            return false;
        const QPoint row = form2->mapToGlobal(QPoint(12, 8));
        for (int x = row.x(); x < row.x() + 120; ++x)
            if (colourNear(shot.pixel(x, row.y()), qRgb(255, 255, 255), 30))
                return true;
        return false;
    }
};

TEST_F(ListInFullScreenTest, TheListShownBeforeStaysAboveAndItsMenuItemKeysAndEdgeWork) {
    ASSERT_TRUE(waitForChannel(201));
    form1->Image5Click();
    ASSERT_TRUE(waitUntil([&] { return form2->isVisible() && form2->isActiveWindow(); }, 5000));

    // F typed in the list goes full screen; the list stays above the picture, at the screen's edge.
    ASSERT_TRUE(xdo::key(QStringLiteral("f")));
    ASSERT_TRUE(waitUntil([&] { return fullScreen()->isActive() && fullScreen()->isVisible(); }, 10000));
    const QRect screen = fullScreen()->geometry();
    ASSERT_TRUE(waitUntil([&] { return form2->frameGeometry().right() == screen.right(); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return listNamesOnScreen(); }, 10000)) << "the list is behind the picture";
    EXPECT_EQ(form1->Image5->tag(), 1);
    keepShot(screenshotRoot(), "full-screen-list-shown-before");

    // One choice of the menu item hides it.
    form1->ListeDesChaines1->trigger();
    EXPECT_TRUE(waitUntil([&] { return !form2->isVisible(); }, 5000));
    EXPECT_EQ(form1->Image5->tag(), 0);

    // The screen's right edge brings it back, active.
    QSignalSpy moves(fullScreen(), &FullScreenView::pointerMovedTo);
    ASSERT_TRUE(xdo::mouseMove(screen.center().x(), screen.center().y()));
    ASSERT_TRUE(waitUntil([&] { return !moves.isEmpty(); }, 5000));
    EXPECT_FALSE(form2->isVisible());
    ASSERT_TRUE(xdo::mouseMove(screen.right() - 2, screen.center().y()));
    ASSERT_TRUE(waitUntil([&] { return form2->isVisible() && form2->isActiveWindow(); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return listNamesOnScreen(); }, 10000));

    // Escape in the list goes back to the window, the list beside the picture; F11 goes full screen.
    ASSERT_TRUE(xdo::key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitUntil([&] { return !fullScreen()->isActive(); }, 10000));
    EXPECT_TRUE(waitUntil([&] { return form2->pos() == form1->pos() + QPoint(392, 35); }, 5000));
    form1->Image5Click();
    form1->Image5Click();
    ASSERT_TRUE(waitUntil([&] { return form2->isVisible() && form2->isActiveWindow(); }, 5000));
    ASSERT_TRUE(xdo::key(QStringLiteral("F11")));
    EXPECT_TRUE(waitUntil([&] { return fullScreen()->isActive(); }, 10000));
    form1->pictureCommands()->setFullScreen(false);
}

} // namespace
