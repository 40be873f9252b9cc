#include "channels/RecordingPlan.h"

#include <QHash>
#include <QSet>
#include <gtest/gtest.h>

#include <map>

namespace {

using Mark = ProgrammeMarks::Mark;

constexpr qint64 kDay = 1'796'716'800; // a midnight, UTC

GuideProgramme programme(qint64 start, qint64 minutes, const QString &title) {
    return {start, start + minutes * 60, title, {}, {}};
}

// Records as a box would let it: each row belongs to a box of so many sessions; a recording
// beyond them is refused at once. Notes when each recording began and ended by the fake clock.
class FakeRecorder : public RecordingPlan::Recorder {
public:
    RecordingPlan *plan = nullptr;
    qint64 now = kDay;
    // Row -> box, box -> sessions it gives.
    QHash<int, int> boxOfRow;
    QHash<int, int> sessionsOfBox;
    std::map<int, qint64> begunAt;
    std::map<int, qint64> endedAt;
    QSet<int> running;

    void begin(const PlannedRecording &recording) override {
        const int box = boxOfRow.value(recording.row);
        int held = 0;
        for (const int id : std::as_const(running))
            held += boxOfRow.value(plan->find(id)->row) == box;
        if (sessionsOfBox.contains(box) && held >= sessionsOfBox.value(box)) {
            plan->failed(recording.id);
            return;
        }
        begunAt[recording.id] = now;
        running.insert(recording.id);
    }
    void end(const PlannedRecording &recording) override {
        endedAt[recording.id] = now;
        running.remove(recording.id);
    }
};

class RecordingPlanTest : public ::testing::Test {
protected:
    FakeRecorder recorder;
    RecordingPlan plan{recorder, [this] { return recorder.now; }};

    void SetUp() override { recorder.plan = &plan; }
    // Runs the clock to until, looking at the plan every second as the program does.
    void runUntil(qint64 until) {
        while (recorder.now < until) {
            ++recorder.now;
            plan.poll();
        }
    }
    int idOf(int row, const GuideProgramme &p) const {
        for (const PlannedRecording &r : plan.recordings())
            if (r.row == row && r.programme == p)
                return r.id;
        return 0;
    }
};

TEST_F(RecordingPlanTest, RecordsFromAMinuteBeforeToTwoMinutesAfterAndMarksEachStep) {
    const GuideProgramme film = programme(kDay + 3600, 90, QStringLiteral("Le film"));
    EXPECT_TRUE(plan.toggle(2, film));
    EXPECT_EQ(plan.mark(2, film), Mark::Planned);
    EXPECT_EQ(plan.mark(1, film), Mark::None);
    runUntil(film.start - 61);
    EXPECT_TRUE(recorder.begunAt.empty());
    runUntil(film.start);
    const int id = idOf(2, film);
    EXPECT_EQ(recorder.begunAt.at(id), film.start - 60);
    EXPECT_EQ(plan.mark(2, film), Mark::Recording);
    runUntil(film.stop + 300);
    EXPECT_EQ(recorder.endedAt.at(id), film.stop + 120);
    EXPECT_EQ(plan.mark(2, film), Mark::Planned);
}

TEST_F(RecordingPlanTest, AProgrammeOnNowBeginsAtOnceAndOneOverCannotBeMarked) {
    recorder.now = kDay + 600;
    const GuideProgramme onNow = programme(kDay, 30, QStringLiteral("Journal"));
    EXPECT_TRUE(plan.toggle(0, onNow));
    EXPECT_EQ(recorder.begunAt.at(idOf(0, onNow)), kDay + 600);
    // Over, its two minutes after included.
    const GuideProgramme over = programme(kDay - 3600, 30, QStringLiteral("Matin"));
    EXPECT_FALSE(plan.toggle(0, over));
    EXPECT_EQ(plan.mark(0, over), Mark::None);
}

TEST_F(RecordingPlanTest, UnmarkingEndsTheRecordingUnderWayAndForgetsAPlannedOne) {
    const GuideProgramme first = programme(kDay + 600, 30, QStringLiteral("Un"));
    const GuideProgramme later = programme(kDay + 7200, 30, QStringLiteral("Deux"));
    plan.toggle(1, first);
    plan.toggle(1, later);
    runUntil(first.start + 60);
    const int id = idOf(1, first);
    EXPECT_FALSE(plan.toggle(1, first));
    EXPECT_EQ(recorder.endedAt.at(id), first.start + 60);
    EXPECT_EQ(plan.mark(1, first), Mark::None);
    plan.toggle(1, later);
    runUntil(later.stop + 600);
    EXPECT_EQ(recorder.begunAt.size(), 1u);
}

TEST_F(RecordingPlanTest, AMovedProgrammeMovesItsRecordingFoundByTitleNearItsTime) {
    const GuideProgramme film = programme(kDay + 7200, 60, QStringLiteral("Le film"));
    plan.toggle(3, film);
    // The new guide starts it 20 minutes later and has a rerun of it the next day.
    const GuideProgramme moved = programme(kDay + 8400, 60, QStringLiteral("Le film"));
    const GuideProgramme rerun = programme(kDay + 86400 + 7200, 60, QStringLiteral("Le film"));
    const GuideProgramme other = programme(kDay + 7200, 20, QStringLiteral("Court"));
    plan.programmesChanged([&](int row) {
        return row == 3 ? ChannelProgrammes{other, moved, rerun} : ChannelProgrammes{};
    });
    EXPECT_EQ(plan.mark(3, film), Mark::None);
    EXPECT_EQ(plan.mark(3, moved), Mark::Planned);
    runUntil(moved.stop + 600);
    const int id = idOf(3, moved);
    EXPECT_EQ(recorder.begunAt.at(id), moved.start - 60);
    EXPECT_EQ(recorder.endedAt.at(id), moved.stop + 120);
    // A guide that no longer names it keeps the time it had.
    const GuideProgramme gone = programme(kDay + 20000, 30, QStringLiteral("Disparu"));
    plan.toggle(3, gone);
    plan.programmesChanged([&](int) { return ChannelProgrammes{other}; });
    EXPECT_EQ(plan.mark(3, gone), Mark::Planned);
}

TEST_F(RecordingPlanTest, OverlappingRecordingsRunTogetherOnTwoBoxesAndARefusedOneFails) {
    // Rows 0 and 1 on a box of one session, row 2 on a box of two.
    recorder.boxOfRow = {{0, 1}, {1, 1}, {2, 2}};
    recorder.sessionsOfBox = {{1, 1}, {2, 2}};
    const GuideProgramme a = programme(kDay + 3600, 60, QStringLiteral("A"));
    const GuideProgramme b = programme(kDay + 3600, 60, QStringLiteral("B"));
    const GuideProgramme c = programme(kDay + 3900, 60, QStringLiteral("C"));
    plan.toggle(0, a);
    plan.toggle(2, b);
    plan.toggle(1, c);
    runUntil(kDay + 3900);
    EXPECT_EQ(plan.mark(0, a), Mark::Recording);
    EXPECT_EQ(plan.mark(2, b), Mark::Recording);
    EXPECT_EQ(plan.mark(1, c), Mark::Failed);
    runUntil(kDay + 3 * 3600);
    EXPECT_EQ(plan.mark(1, c), Mark::Failed);
    EXPECT_EQ(recorder.begunAt.size(), 2u);
    EXPECT_EQ(recorder.endedAt.size(), 2u);
}

TEST_F(RecordingPlanTest, ADayOfThirtyMarksOnThreeChannelsMissesNone) {
    // Ten programmes of 45 minutes to 2 hours on each of three channels, back to back, each marked.
    QList<std::pair<int, GuideProgramme>> marked;
    for (int row = 0; row < 3; ++row) {
        qint64 start = kDay + 1800 + row * 600;
        for (int i = 0; i < 10; ++i) {
            const qint64 minutes = 45 + (i * 37 + row * 11) % 76;
            marked.append({row, programme(start, minutes, QStringLiteral("P%1-%2").arg(row).arg(i))});
            start += minutes * 60;
        }
    }
    for (const auto &[row, p] : std::as_const(marked))
        ASSERT_TRUE(plan.toggle(row, p));
    runUntil(kDay + 2 * 86400);
    ASSERT_EQ(recorder.begunAt.size(), 30u);
    ASSERT_EQ(recorder.endedAt.size(), 30u);
    for (const auto &[row, p] : std::as_const(marked)) {
        const int id = idOf(row, p);
        EXPECT_LE(std::abs(recorder.begunAt.at(id) - (p.start - 60)), 2) << p.title.toStdString();
        EXPECT_LE(std::abs(recorder.endedAt.at(id) - (p.stop + 120)), 2) << p.title.toStdString();
        EXPECT_NE(plan.mark(row, p), Mark::Failed);
    }
}

TEST_F(RecordingPlanTest, AMarkWhoseWholeTimeWentByUnseenFailsRatherThanVanish) {
    const GuideProgramme p = programme(kDay + 600, 10, QStringLiteral("Court"));
    plan.toggle(0, p);
    // The computer slept through it.
    recorder.now = p.stop + 3600;
    plan.poll();
    EXPECT_EQ(plan.mark(0, p), Mark::Failed);
    EXPECT_TRUE(recorder.begunAt.empty());
}

} // namespace
