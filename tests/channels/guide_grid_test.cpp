// The programme grid's model: its rows, its time axis, where the selection goes with each key and
// what the view shows, on a fixed clock.
#include "channels/GuideGrid.h"
#include "channels/ProgrammeTimes.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

// 20:10 local time on a Tuesday.
const qint64 kNow = QDateTime(QDate(2026, 12, 8), QTime(20, 10)).toSecsSinceEpoch();
constexpr qint64 kMinute = 60;

GuideProgramme programme(qint64 startMinutes, qint64 stopMinutes, const char *title) {
    return {kNow + startMinutes * kMinute, kNow + stopMinutes * kMinute, QString::fromUtf8(title), {}, {}};
}

// Row 0: a long film begun before now, then two; row 1: nothing known; rows 2 to 39 alike, each
// one programme every half hour.
ChannelProgrammes programmesOf(int row) {
    if (row == 0)
        return {programme(-100, 20, "Film"), programme(20, 50, "Journal"), programme(50, 170, "Soirée")};
    if (row == 1)
        return {};
    ChannelProgrammes list;
    for (qint64 m = -130; m < 24 * 60; m += 30)
        list.append(programme(m, m + 30, "Émission"));
    return list;
}

class GuideGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid.setRows(40, programmesOf);
        // Ten whole rows, two hours of programmes.
        grid.setViewSize(
            QSize(GuideGrid::kChannelWidth + 480, GuideGrid::kAxisHeight + 10 * GuideGrid::kRowHeight));
    }
    qint64 now = kNow;
    GuideGrid grid{[this] { return now; }};
};

TEST_F(GuideGridTest, OpensOnTheWatchedChannelAtNowWithItsProgrammeSelected) {
    grid.openAt(0);
    EXPECT_EQ(grid.selectedRow(), 0);
    EXPECT_EQ(grid.selectedProgramme().title, "Film");
    EXPECT_TRUE(grid.selectionIsOnNow());
    EXPECT_EQ(grid.viewStart(), QDateTime(QDate(2026, 12, 8), QTime(20, 0)).toSecsSinceEpoch());
    EXPECT_EQ(grid.viewEnd() - grid.viewStart(), 2 * 3600);
    EXPECT_EQ(grid.topRow(), 0);

    grid.openAt(25);
    EXPECT_EQ(grid.selectedRow(), 25);
    EXPECT_LE(grid.topRow(), 25);
    EXPECT_GT(grid.topRow() + grid.pageRowCount(), 25);
    // Nothing watched yet: the first row.
    grid.openAt(-1);
    EXPECT_EQ(grid.selectedRow(), 0);
}

TEST_F(GuideGridTest, TheAxisHasAMarkEachHalfHourAndTheCellsSitAtTheirTimes) {
    grid.openAt(0);
    const QList<qint64> marks = grid.halfHourMarks();
    ASSERT_EQ(marks.size(), 4);
    EXPECT_EQ(ProgrammeTimes::timeOfDay(marks.first()), "20:00");
    EXPECT_EQ(ProgrammeTimes::timeOfDay(marks.last()), "21:30");
    const ChannelProgrammes row0 = programmesOf(0);
    // The film begun before the view is cut at the channel column; Journal starts at 20:30.
    EXPECT_EQ(grid.cellRect(0, row0[0]).left(), GuideGrid::kChannelWidth);
    EXPECT_EQ(grid.cellRect(0, row0[1]).left(),
              GuideGrid::kChannelWidth + 1800 / GuideGrid::kSecondsPerPixel);
    EXPECT_EQ(grid.cellRect(0, row0[1]).width(), 1800 / GuideGrid::kSecondsPerPixel);
    EXPECT_EQ(grid.visibleProgrammes(row0), std::make_pair(0, 3));
    EXPECT_EQ(grid.visibleProgrammes(programmesOf(5)).second - grid.visibleProgrammes(programmesOf(5)).first,
              4);

    const GuideGrid::Hit onJournal = grid.hitAt(grid.cellRect(0, row0[1]).center());
    EXPECT_EQ(onJournal.row, 0);
    EXPECT_EQ(onJournal.programme, 1);
    EXPECT_EQ(grid.hitAt(QPoint(10, 5)).row, -1) << "the axis";
    const GuideGrid::Hit onUnknown = grid.hitAt(grid.emptyRowRect(1).center());
    EXPECT_EQ(onUnknown.row, 1);
    EXPECT_EQ(onUnknown.programme, -1);
}

TEST_F(GuideGridTest, LeftAndRightGoProgrammeByProgrammeAndTheViewFollows) {
    grid.openAt(0);
    grid.moveProgramme(1);
    EXPECT_EQ(grid.selectedProgramme().title, "Journal");
    EXPECT_FALSE(grid.selectionIsOnNow());
    grid.moveProgramme(1);
    EXPECT_EQ(grid.selectedProgramme().title, "Soirée");
    grid.moveProgramme(1);
    EXPECT_EQ(grid.selectedProgramme().title, "Soirée") << "the last stays selected";
    grid.moveProgramme(-2);
    EXPECT_EQ(grid.selectedProgramme().title, "Film");
    EXPECT_EQ(grid.viewStart(), GuideGrid::halfHourBefore(kNow)) << "the film shows already: no jump back";

    // Far to the right, the view moves on with the selection.
    grid.openAt(5);
    for (int i = 0; i < 8; ++i)
        grid.moveProgramme(1);
    const GuideProgramme selected = grid.selectedProgramme();
    EXPECT_GE(selected.start, grid.viewStart());
    EXPECT_LT(selected.start, grid.viewEnd());
    EXPECT_GT(grid.viewStart(), GuideGrid::halfHourBefore(kNow));
}

TEST_F(GuideGridTest, UpAndDownKeepTheTimeOfDayAndTheViewFollowsTheRow) {
    grid.openAt(2);
    grid.moveProgramme(2);
    const qint64 time = grid.selectedProgramme().start;
    grid.moveRow(-2);
    EXPECT_EQ(grid.selectedRow(), 0);
    EXPECT_EQ(grid.selectedProgramme().title, "Soirée") << "the programme at the time selected before";
    grid.moveRow(1);
    EXPECT_EQ(grid.selectedIndex(), -1) << "a channel the guide does not know";
    EXPECT_TRUE(grid.selectionIsOnNow());
    grid.moveRow(1);
    EXPECT_EQ(grid.selectedProgramme().start, time);
    grid.moveRow(-5);
    EXPECT_EQ(grid.selectedRow(), 0) << "the first row stops it";

    for (int i = 0; i < 15; ++i)
        grid.moveRow(1);
    EXPECT_EQ(grid.selectedRow(), 15);
    EXPECT_EQ(grid.topRow(), 15 - grid.pageRowCount() + 1) << "the row moved into the view's last line";
    grid.moveRow(100);
    EXPECT_EQ(grid.selectedRow(), 39);
    EXPECT_EQ(grid.topRow(), 40 - grid.pageRowCount());
}

TEST_F(GuideGridTest, PagesMoveAScreenOfRowsAndHomeComesBackToNow) {
    grid.openAt(0);
    grid.movePage(1);
    EXPECT_EQ(grid.selectedRow(), 10);
    EXPECT_EQ(grid.topRow(), 10);
    grid.movePage(1);
    grid.movePage(1);
    EXPECT_EQ(grid.selectedRow(), 30);
    EXPECT_EQ(grid.topRow(), 30);
    grid.movePage(1);
    EXPECT_EQ(grid.selectedRow(), 39);
    EXPECT_EQ(grid.topRow(), 30);
    grid.movePage(-1);
    EXPECT_EQ(grid.selectedRow(), 29);
    EXPECT_EQ(grid.topRow(), 20);

    for (int i = 0; i < 12; ++i)
        grid.moveProgramme(1);
    ASSERT_FALSE(grid.selectionIsOnNow());
    now += 45 * kMinute;
    grid.backToNow();
    EXPECT_TRUE(grid.selectionIsOnNow());
    EXPECT_EQ(grid.selectedRow(), 29) << "the row stays";
    EXPECT_EQ(grid.viewStart(), GuideGrid::halfHourBefore(now));
}

TEST_F(GuideGridTest, AClickSelectsAndTheWheelMovesOnlyTheView) {
    grid.openAt(0);
    const ChannelProgrammes row0 = programmesOf(0);
    EXPECT_TRUE(grid.selectAt(grid.cellRect(0, row0[2]).center()));
    EXPECT_EQ(grid.selectedProgramme().title, "Soirée");
    EXPECT_FALSE(grid.selectAt(QPoint(300, 5))) << "a click on the axis selects nothing";
    EXPECT_EQ(grid.selectedProgramme().title, "Soirée");

    grid.scrollRows(3);
    EXPECT_EQ(grid.topRow(), 3);
    EXPECT_EQ(grid.selectedRow(), 0);
    grid.scrollRows(-10);
    EXPECT_EQ(grid.topRow(), 0);
    const qint64 start = grid.viewStart();
    grid.scrollTime(GuideGrid::kHalfHour);
    EXPECT_EQ(grid.viewStart(), start + GuideGrid::kHalfHour);
    EXPECT_EQ(grid.selectedProgramme().title, "Soirée");
}

TEST(ProgrammeTimes, TellTheDayAndTimesInFrench) {
    const GuideProgramme film{kNow + 40 * kMinute, kNow + 140 * kMinute, "Film", {}, {}};
    EXPECT_EQ(ProgrammeTimes::dayAndTimes(film), QStringLiteral("mardi 8 décembre, 20:50 – 22:30"));
}

} // namespace
