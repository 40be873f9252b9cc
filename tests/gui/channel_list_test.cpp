// The channel-list window: the user's choices, the step operations at their edges, and the
// see-through look over the picture.

#include "PlayerWindowFixture.h"
#include "support/Xdo.h"

#include "support/ChildProcess.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

class ChannelListTest : public PlayerWindowFixture {
protected:
    void showList() {
        form1->Image5Click();
        ASSERT_TRUE(waitUntil([&] { return form2->isVisible() && form2->isActiveWindow(); }, 5000));
    }
    static bool xdotool(const QStringList &arguments) {
        bool ok = false;
        childprocess::runToEnd(QStringList{"xdotool"} + arguments, 10000, &ok);
        return ok;
    }
};

class EmptyListTest : public PlayerWindowFixture {
protected:
    QList<int> playlistChannels() const override { return {}; }
};

// More rows than the list shows at once; only the first few are ever tuned.
class ManyRowsListTest : public ChannelListTest {
protected:
    QList<int> playlistChannels() const override {
        QList<int> channels;
        for (int channel = 201; channel <= 240; ++channel)
            channels << channel;
        return channels;
    }
};

TEST_F(ChannelListTest, EveryKeyboardChangeRunsTheClickOnceAndNothingElseDoes) {
    showList();
    int clicks = 0;
    QObject::connect(form2->ListBox1, &ChannelListBox::selectionChangedByUser, [&] { ++clicks; });
    EXPECT_EQ(form2->ListBox1->currentRow(), -1) << "taking the focus must not choose a row";

    QTest::keyClick(form2->ListBox1, Qt::Key_Down);
    EXPECT_EQ(form2->ListBox1->currentRow(), 0);
    EXPECT_EQ(clicks, 1);
    QTest::keyClick(form2->ListBox1, Qt::Key_End);
    EXPECT_EQ(form2->ListBox1->currentRow(), 2);
    EXPECT_EQ(clicks, 2);
    QTest::keyClick(form2->ListBox1, Qt::Key_Down); // already at the end: no change, no click
    EXPECT_EQ(clicks, 2);
    QTest::keyClicks(form2->ListBox1, QStringLiteral("202"));
    EXPECT_EQ(form2->ListBox1->currentRow(), 1);
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("202 "));

    const int before = clicks;
    form2->ListBox1->selectRowFromCode(0);
    EXPECT_EQ(clicks, before) << "a selection made by the program is not the user's click";
    EXPECT_TRUE(waitForChannel(202));
}

TEST_F(ChannelListTest, StepsStopAtTheEndsAndDisableTheirButton) {
    form2->Button1Click();
    EXPECT_EQ(form2->ListBox1->currentRow(), 0);
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("201 "));
    form2->Button1Click();
    form2->Button1Click();
    EXPECT_EQ(form2->ListBox1->currentRow(), 2);
    EXPECT_TRUE(form2->Button1->isEnabled());
    form2->Button1Click();
    EXPECT_EQ(form2->ListBox1->currentRow(), 2);
    EXPECT_FALSE(form2->Button1->isEnabled());
    EXPECT_TRUE(waitForChannel(203));

    form2->Button2Click();
    EXPECT_TRUE(form2->Button1->isEnabled());
    form2->Button2Click();
    EXPECT_EQ(form2->ListBox1->currentRow(), 0);
    form2->Button2Click();
    EXPECT_EQ(form2->ListBox1->currentRow(), 0);
    EXPECT_FALSE(form2->Button2->isEnabled());
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("201 "));
}

TEST_F(EmptyListTest, SteppingForwardThroughNothingOnlyDisablesTheButton) {
    EXPECT_NO_THROW(form2->Button1Click());
    EXPECT_FALSE(form2->Button1->isEnabled());
    EXPECT_EQ(form1->Label1->text(), QStringLiteral("2"));
    EXPECT_NO_THROW(form1->UtilisationGetKeyState());
}

TEST_F(ChannelListTest, OnlyTheNamesShowOverThePicture) {
    ASSERT_TRUE(waitForChannel(201));
    showList();
    // Black is keyed out: below the last row the picture shows through the list window.
    const QPoint below = form2->mapToGlobal(QPoint(150, 200));
    ASSERT_TRUE(waitUntil([&] { return looksLikeChannel(screenshotRoot().pixel(below), 201); }, 5000))
        << "the list's black background is not see-through";
    EXPECT_FALSE(form2->ListBox1->verticalScrollBar()->isVisible()) << "three rows fit without one";
    // The names themselves are white.
    const QImage shot = screenshotRoot();
    const QRect firstRow(form2->ListBox1->mapToGlobal(QPoint(0, 0)), QSize(150, 16));
    int white = 0;
    for (int y = firstRow.top(); y <= firstRow.bottom(); ++y)
        for (int x = firstRow.left(); x <= firstRow.right(); ++x)
            white += (shot.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
    EXPECT_GT(white, 30) << "the first channel name is not drawn in white";

    // A row chosen afterwards shows its selection bar on screen, not a black hole.
    QTest::keyClick(form2->ListBox1, Qt::Key_Down);
    const QRect bar = form2->ListBox1->visualItemRect(form2->ListBox1->item(0));
    const QPoint barEnd = form2->ListBox1->viewport()->mapToGlobal(QPoint(bar.right() - 4, bar.center().y()));
    EXPECT_TRUE(waitUntil([&] { return (screenshotRoot().pixel(barEnd) & 0xFFFFFF) == 0x1C3F94; }, 5000))
        << "the selection bar is not on screen";
}

TEST_F(ChannelListTest, PressOfAnyButtonOnTheBackgroundDragsTheList) {
    showList();
    for (const auto &[xButton, button] : {std::pair{3, Qt::RightButton}, std::pair{1, Qt::LeftButton}}) {
        SCOPED_TRACE(xButton);
        // Just right of the list box: the window's own background, outside the list.
        const QPoint start = form2->mapToGlobal(QPoint(219, 340));
        const QPoint before = form2->pos();
        // The background is keyed out, so the X press lands on the window below; the list window is
        // handed the press directly while the button is really down.
        ASSERT_TRUE(xdo::mouseMove(start.x(), start.y()));
        ASSERT_TRUE(xdo::mouseDown(xButton));
        QTest::qWait(100);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(219, 340), QPointF(start), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(form2.get(), &press);
        ASSERT_TRUE(xdo::mouseMove(start.x() - 40, start.y() - 30));
        QTest::qWait(100);
        ASSERT_TRUE(xdo::mouseMove(start.x() - 60, start.y() - 50));
        QTest::qWait(100);
        ASSERT_TRUE(xdo::mouseUp(xButton));
        EXPECT_TRUE(waitUntil([&] { return form2->pos() != before; }, 5000)) << "the list did not move";
    }
}

TEST_F(ChannelListTest, TheWindowManagerHidingAndShowingItLeavesItWhereItWasAndShown) {
    showList();
    const QPoint placed = form2->pos() + QPoint(-120, 40);
    form2->move(placed);
    ASSERT_TRUE(waitUntil([&] { return form2->pos() == placed; }, 5000));
    QSignalSpy hidden(form2.get(), &TForm2::hidden);
    QSignalSpy shown(form2.get(), &TForm2::shown);
    // Another desktop and back; then minimised by the window manager and brought back.
    const QString list = QString::number(form2->winId());
    const QList<std::pair<QStringList, QStringList>> hideAndShow{
        {{"set_desktop", "1"}, {"set_desktop", "0"}},
        {{"windowminimize", list}, {"windowactivate", "--sync", list}},
    };
    for (const auto &[hide, show] : hideAndShow) {
        SCOPED_TRACE(hide.first().toStdString());
        ASSERT_TRUE(xdotool(hide));
        ASSERT_TRUE(waitUntil([&] { return !form2->windowHandle()->isExposed(); }, 5000));
        ASSERT_TRUE(xdotool(show));
        ASSERT_TRUE(waitUntil([&] { return form2->windowHandle()->isExposed(); }, 5000));
        EXPECT_TRUE(waitUntil([&] { return form2->pos() == placed; }, 5000)) << "the list was moved";
        EXPECT_EQ(form1->Image5->tag(), 1);
        EXPECT_EQ(hidden.count() + shown.count(), 0);
    }
    // The list button still hides it at the first click.
    form1->Image5Click();
    EXPECT_FALSE(form2->isVisible());
}

TEST_F(ManyRowsListTest, MoreRowsThanFitShowAScrollBar) {
    showList();
    QScrollBar *bar = form2->ListBox1->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return bar->isVisible(); }, 5000)) << "no scroll bar";
    // It is on the screen, not keyed out with the black background.
    const QPoint middle = bar->mapToGlobal(QPoint(bar->width() / 2, bar->height() / 2));
    EXPECT_TRUE(waitUntil([&] { return (screenshotRoot().pixel(middle) & 0xFFFFFF) != 0; }, 5000));
    keepShot(screenshotRoot(), "long-list");
    // It scrolls the list to its last row.
    bar->setValue(bar->maximum());
    EXPECT_TRUE(form2->ListBox1->viewport()->rect().intersects(
        form2->ListBox1->visualItemRect(form2->ListBox1->item(39))));
}

} // namespace
