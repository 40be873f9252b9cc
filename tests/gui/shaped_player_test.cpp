// The real player window's outline and dragging, with real pointer input through the X server.

#include "PlayerWindowFixture.h"
#include "support/Xdo.h"

#include <QTest>

namespace {

const QPoint kNudge(4, 0);

// The window follows the pointer from where the drag was recognised, a nudge after the press.
bool followed(const QPoint &moved, const QPoint &offset) {
    return (moved - offset).manhattanLength() <= 6;
}

class ShapedPlayerTest : public PlayerWindowFixture {
protected:
    // Press at a point of the window, move by offset in steps, release; returns how far it moved.
    QPoint dragFrom(const QPoint &inWindow, const QPoint &offset) {
        const QPoint before = form1->pos();
        const QPoint from = before + inWindow;
        xdo::mouseMove(from.x(), from.y());
        xdo::mouseDown();
        // A hand's drag: a nudge past the few pixels that tell a drag from a click, then the rest.
        xdo::mouseMove(from.x() + kNudge.x(), from.y() + kNudge.y());
        QTest::qWait(60);
        for (int step = 1; step <= 4; ++step) {
            xdo::mouseMove(from.x() + offset.x() * step / 4, from.y() + offset.y() * step / 4);
            QTest::qWait(60);
        }
        xdo::mouseUp();
        waitUntil([&] { return form1->pos() - before == offset; }, 3000);
        const QPoint moved = form1->pos() - before;
        form1->move(310, 342);
        waitUntil([&] { return form1->pos() == QPoint(310, 342); }, 3000);
        return moved;
    }
};

TEST_F(ShapedPlayerTest, SkinAndTitleDragTheWindowByThePointersOffset) {
    EXPECT_TRUE(followed(dragFrom(QPoint(30, 200), QPoint(60, 40)), QPoint(60, 40)));
    EXPECT_TRUE(followed(dragFrom(form1->Label2->geometry().center(), QPoint(-40, 30)), QPoint(-40, 30)));
}

TEST_F(ShapedPlayerTest, ButtonsAndTheHiddenRecordImageNeverDrag) {
    for (const TImage *image : {form1->Image2, form1->Image3, form1->Image5, form1->Image6})
        EXPECT_EQ(dragFrom(image->geometry().center(), QPoint(50, 30)), QPoint(0, 0))
            << qPrintable(image->objectName());
    // A click on a button is the button's: the channel steps and the window stays.
    const QPoint next = form1->mapToGlobal(form1->Image3->geometry().center());
    xdo::mouseMove(next.x(), next.y());
    xdo::click();
    EXPECT_TRUE(waitUntil([&] { return form2->ListBox1->currentRow() == 0; }, 5000));
    EXPECT_EQ(form1->pos(), QPoint(310, 342));
}

TEST_F(ShapedPlayerTest, QuickClickOnTheSkinLeavesTheWindowWhereItIs) {
    const QPoint at = form1->pos() + QPoint(30, 200);
    xdo::mouseMove(at.x(), at.y());
    xdo::click();
    QTest::qWait(200);
    xdo::mouseMove(at.x() + 120, at.y() + 90);
    QTest::qWait(300);
    EXPECT_EQ(form1->pos(), QPoint(310, 342)) << "a click must not leave the window following the pointer";
}

} // namespace
