// Where the picture shown stands behind live through pauses and moves, on a clock of the test's own.
#include "player/timeshift/ShiftPosition.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 kSecond = 1'000'000'000;
constexpr qint64 kDelay = ShiftPosition::kLiveDelayNs;

TEST(ShiftPosition, APauseHoldsTheMomentShownAndTheTimeBehindLiveGrowsUntilPlayingGoesOn) {
    ShiftPosition position;
    const qint64 start = 1000 * kSecond;
    EXPECT_EQ(position.behindNs(start, 0), 0);

    position.pause(start);
    EXPECT_TRUE(position.isPaused());
    EXPECT_EQ(position.shownAt(start + 42 * kSecond), start - kDelay);
    EXPECT_EQ(position.behindNs(start + 42 * kSecond, 0), 42 * kSecond);

    // Playing from the moment held keeps the same distance to live.
    position.playFrom(start + 42 * kSecond, position.resumePoint(0), false);
    EXPECT_EQ(position.shownAt(start + 50 * kSecond), start - kDelay + 8 * kSecond);
    EXPECT_EQ(position.behindNs(start + 50 * kSecond, 0), 42 * kSecond);

    // A pause while behind holds there, and a resume of the same replay goes on from it.
    position.pause(start + 50 * kSecond);
    position.resume(start + 60 * kSecond);
    EXPECT_EQ(position.shownAt(start + 61 * kSecond), start - kDelay + 9 * kSecond);
    EXPECT_EQ(position.behindNs(start + 61 * kSecond, 0), 52 * kSecond);

    position.goLive();
    EXPECT_EQ(position.behindNs(start + 61 * kSecond, 0), 0);
    EXPECT_FALSE(position.isPaused());
}

TEST(ShiftPosition, AMoveStaysWithinWhatIsKeptAndGoesLiveNearOrPastLive) {
    ShiftPosition position;
    const qint64 now = 1000 * kSecond;
    const qint64 oldest = now - 600 * kSecond;
    EXPECT_EQ(position.target(now, -10 * kSecond, oldest), now - kDelay - 10 * kSecond);
    EXPECT_EQ(position.target(now, -3600 * kSecond, oldest), oldest);
    EXPECT_EQ(position.target(now, 10 * kSecond, oldest), -1);

    position.playFrom(now, now - 30 * kSecond, false);
    EXPECT_EQ(position.target(now, 10 * kSecond, oldest), now - 20 * kSecond);
    // Landing within a second of live is live.
    EXPECT_EQ(position.target(now, 29 * kSecond, oldest), -1);
    EXPECT_EQ(position.target(now, 60 * kSecond, oldest), -1);
}

TEST(ShiftPosition, PausedLongerThanWhatIsKeptTheHeldPointMovesWithTheOldestMoment) {
    ShiftPosition position;
    const qint64 start = 1000 * kSecond;
    position.pause(start);
    const qint64 later = start + 4000 * kSecond;
    const qint64 oldest = later - 3600 * kSecond;
    EXPECT_EQ(position.resumePoint(oldest), oldest);
    EXPECT_EQ(position.behindNs(later, oldest), later - kDelay - oldest);
}

} // namespace
