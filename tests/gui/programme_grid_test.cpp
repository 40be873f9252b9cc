// The programme grid on the player window: G opens it on the watched channel, the arrows move in it
// without changing channel, Enter watches the channel selected, I shows a programme's details and
// Escape closes each.

#include "PlayerWindowFixture.h"
#include "channels/GuideGrid.h"
#include "channels/ProgrammeMarks.h"
#include "forms/FullScreenView.h"
#include "forms/GuideGridView.h"
#include "forms/GuideGridWindow.h"
#include "forms/PictureCommands.h"
#include "forms/ProgrammeDetailsDialog.h"
#include "support/Xdo.h"

#include <QApplication>
#include <QMenu>
#include <QSignalSpy>

namespace {

// Marks as the recorder keeps them: R plans a programme; the test can fail one.
class FakeMarks : public ProgrammeMarks {
public:
    Mark mark(int row, const GuideProgramme &programme) const override {
        return marks.value({row, programme.start}, Mark::None);
    }
    void toggle(int row, const GuideProgramme &programme) override {
        if (!marks.remove({row, programme.start}))
            marks.insert({row, programme.start}, Mark::Planned);
        emit changed();
    }
    QMap<std::pair<int, qint64>, Mark> marks;
};

// How much of a cell's area is the marks' red.
int redPixels(const QImage &image, const QRect &area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += qRed(p) > 180 && qGreen(p) < 80 && qBlue(p) < 80;
        }
    return count;
}

class ProgrammeGridTest : public PlayerWindowFixture {
protected:
    int guideProgrammeSeconds() const override { return 1800; }
    // A channel the guide does not know, played from channel 201's address.
    QByteArray playlistTail() const override {
        return "#EXTINF:-1,204 - Sans guide\n" + m_box.address(201) + "\n";
    }
};

TEST_F(ProgrammeGridTest, GOpensTheGridOnTheWatchedChannelEnterWatchesTheRowChosenAndEscapeClosesIt) {
    ASSERT_TRUE(waitUntil([&] { return guide.hasGuide(); }, 20000)) << "the box's guide was not read";
    form2->chooseRow(0);
    ASSERT_TRUE(waitForChannel(201));
    form1->activateWindow();
    form1->vlc->setFocus();
    ASSERT_TRUE(waitUntil([&] { return form1->vlc->hasFocus(); }, 5000));

    ASSERT_TRUE(xdo::key(QStringLiteral("g")));
    ASSERT_TRUE(waitUntil([&] { return form1->guideGrid() && form1->guideGrid()->isActiveWindow(); }, 10000));
    GuideGridWindow &window = *form1->guideGrid();
    const GuideGrid &grid = window.view()->grid();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Guide des programmes"));
    EXPECT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(grid.selectedRow(), 0);
    EXPECT_TRUE(grid.selectionIsOnNow());
    EXPECT_FALSE(grid.selectedProgramme().title.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return window.view()->hasFocus(); }, 5000));

    // Down twice: the grid's selection moves, the channel does not.
    QSignalSpy changed(&lineup, &ChannelLineup::currentChanged);
    ASSERT_TRUE(xdo::key(QStringLiteral("Down")));
    ASSERT_TRUE(xdo::key(QStringLiteral("Down")));
    ASSERT_TRUE(waitUntil([&] { return grid.selectedRow() == 2; }, 5000));
    ASSERT_TRUE(xdo::key(QStringLiteral("Right")));
    ASSERT_TRUE(waitUntil([&] { return !grid.selectionIsOnNow(); }, 5000));
    ASSERT_TRUE(xdo::key(QStringLiteral("Return")));
    ASSERT_TRUE(xdo::key(QStringLiteral("Home")));
    ASSERT_TRUE(waitUntil([&] { return grid.selectionIsOnNow(); }, 5000));
    keepShot(screenshotRoot(), "programme-grid");

    // Only a programme on now is watched, as a click on its row of the list.
    EXPECT_TRUE(changed.isEmpty()) << "Enter on a programme to come, or an arrow, changed channel";
    ASSERT_TRUE(xdo::key(QStringLiteral("Return")));
    ASSERT_TRUE(waitUntil([&] { return lineup.current() == 2; }, 5000));
    EXPECT_EQ(form2->ListBox1->currentRow(), 2);
    EXPECT_TRUE(waitForChannel(203));
    EXPECT_EQ(changed.size(), 1);

    // I: the details of the programme selected; Escape closes them, then the grid.
    ASSERT_TRUE(xdo::key(QStringLiteral("i")));
    ProgrammeDetailsDialog &details = *window.details();
    ASSERT_TRUE(waitUntil([&] { return details.isActiveWindow(); }, 5000));
    EXPECT_EQ(details.Title->text(), grid.selectedProgramme().title);
    EXPECT_EQ(details.Channel->text(), QStringLiteral("203 - Chaine 203"));
    keepShot(screenshotRoot(), "programme-details");
    ASSERT_TRUE(xdo::key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitUntil([&] { return !details.isVisible() && window.isActiveWindow(); }, 5000));

    // The channel the guide does not know says so, and is watched from now as well.
    ASSERT_TRUE(xdo::key(QStringLiteral("Down")));
    ASSERT_TRUE(waitUntil([&] { return grid.selectedRow() == 3; }, 5000));
    EXPECT_EQ(grid.selectedIndex(), -1);
    ASSERT_TRUE(xdo::key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitUntil([&] { return !window.isVisible(); }, 5000));
    EXPECT_EQ(lineup.current(), 2);
    EXPECT_TRUE(waitForChannel(203));

    // In full screen, G brings the grid above the picture, and Escape closes it before full screen.
    form1->vlc->setFocus();
    ASSERT_TRUE(xdo::key(QStringLiteral("f")));
    FullScreenView &fullScreen = *form1->pictureCommands()->fullScreen();
    ASSERT_TRUE(waitUntil([&] { return fullScreen.isActive() && fullScreen.isActiveWindow(); }, 10000));
    ASSERT_TRUE(xdo::key(QStringLiteral("g")));
    ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow(); }, 10000));
    const QPoint middle = window.mapToGlobal(QPoint(window.width() / 2, window.height() / 2));
    EXPECT_EQ(QApplication::topLevelAt(middle), &window) << "the grid is behind the full screen";
    keepShot(screenshotRoot(), "programme-grid-full-screen");
    ASSERT_TRUE(xdo::key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitUntil([&] { return !window.isVisible(); }, 5000));
    EXPECT_TRUE(fullScreen.isActive());
}

TEST_F(ProgrammeGridTest, RMarksTheProgrammeSelectedAndItsCellShowsTheMark) {
    ASSERT_TRUE(waitUntil([&] { return guide.hasGuide(); }, 20000)) << "the box's guide was not read";
    FakeMarks marks;
    form1->setProgrammeMarks(&marks);
    form1->GuideDesProgrammes1Click();
    GuideGridWindow &window = *form1->guideGrid();
    ASSERT_TRUE(waitUntil([&] { return window.view()->hasFocus(); }, 10000));
    const GuideGrid &grid = window.view()->grid();
    ASSERT_TRUE(xdo::key(QStringLiteral("Right")));
    ASSERT_TRUE(waitUntil([&] { return !grid.selectionIsOnNow(); }, 5000));
    const GuideProgramme chosen = grid.selectedProgramme();
    const QRect cell = grid.cellRect(0, chosen);
    EXPECT_EQ(redPixels(grabWidget(window.view()), cell), 0);

    ASSERT_TRUE(xdo::key(QStringLiteral("r")));
    ASSERT_TRUE(waitUntil([&] { return marks.mark(0, chosen) == ProgrammeMarks::Mark::Planned; }, 5000));
    EXPECT_TRUE(waitUntil([&] { return redPixels(grabWidget(window.view()), cell) > 20; }, 5000));
    // A recording that failed shows another mark, still red.
    const GuideProgramme next = grid.programmes(1).value(grid.selectedIndex() + 1);
    marks.marks.insert({1, next.start}, ProgrammeMarks::Mark::Failed);
    emit marks.changed();
    const QRect failedCell(window.view()->mapToGlobal(grid.cellRect(1, next).topLeft()),
                           grid.cellRect(1, next).size());
    EXPECT_TRUE(waitUntil([&] { return redPixels(screenshotRoot(), failedCell) > 10; }, 5000));
    keepShot(screenshotRoot(), "programme-grid-marks");

    ASSERT_TRUE(xdo::key(QStringLiteral("r")));
    ASSERT_TRUE(waitUntil([&] { return marks.mark(0, chosen) == ProgrammeMarks::Mark::None; }, 5000));
    EXPECT_TRUE(waitUntil([&] { return redPixels(grabWidget(window.view()), cell) == 0; }, 5000));
    form1->setProgrammeMarks(nullptr);
}

TEST_F(ProgrammeGridTest, TheMenuOffersTheGridLastBehindALine) {
    emit form1->PopupMenu1->aboutToShow();
    const QList<QAction *> entries = form1->PopupMenu1->actions();
    ASSERT_EQ(entries.last(), form1->GuideDesProgrammes1);
    EXPECT_EQ(form1->GuideDesProgrammes1->text(), QStringLiteral("Guide des programmes"));
    EXPECT_TRUE(form1->GuideDesProgrammes1->isVisible());
    const auto separator =
        std::find_if(entries.begin(), entries.end(), [](QAction *a) { return a->isSeparator(); });
    ASSERT_NE(separator, entries.end());
    EXPECT_TRUE((*separator)->isVisible());
    EXPECT_LT(entries.indexOf(form1->Exit1), entries.indexOf(*separator));
}

} // namespace
