#include "QtPrinting.h"

#include "player/warm/NeighbourPolicy.h"
#include "player/warm/WarmFailure.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

// The neighbour policy's rules, one by one, on a clock the test turns.
namespace {

const QString kWatched = "rtsp://box/5";
// Offered around row 5: after and before alternately, nearest first.
const QStringList kOffered = {"rtsp://box/6", "rtsp://box/4", "rtsp://box/7", "rtsp://box/3",
                              "rtsp://box/8", "rtsp://box/2", "rtsp://box/9", "rtsp://box/1"};

class Policy : public ::testing::Test {
protected:
    void SetUp() override {
        policy.offer(kOffered);
        policy.noteStep(kWatched, now);
        policy.noteShown();
    }
    // A held key from row 5 downwards: each step offers the rows around the new one.
    void holdKeyTo(int row) {
        for (int r = 6; r <= row; ++r) {
            now += 100;
            policy.noteStep(QStringLiteral("rtsp://box/%1").arg(r), now);
            QStringList offered;
            for (int d = 1; d <= 4; ++d)
                offered << QStringLiteral("rtsp://box/%1").arg(r + d)
                        << QStringLiteral("rtsp://box/%1").arg(r - d);
            policy.offer(offered);
        }
    }

    NeighbourPolicy policy;
    qint64 now = 1000;
};

TEST_F(Policy, AtRestTheNextAndPreviousRowsOnlyAndNothingBeforeThePictureShows) {
    EXPECT_EQ(policy.wanted(now), QStringList({"rtsp://box/6", "rtsp://box/4"}));
    policy.noteStep(kWatched, now + 5000);
    EXPECT_FALSE(policy.mayOpen(now + 5000)) << "the watched channel's tune has the box to itself";
}

TEST_F(Policy, AHeldKeyWarmsAtMostFourAheadAndBehindAndOpensBeforeAnythingShows) {
    holdKeyTo(8);
    EXPECT_TRUE(policy.keyHeld(now));
    EXPECT_TRUE(policy.mayOpen(now));
    EXPECT_EQ(policy.wanted(now),
              QStringList({"rtsp://box/9", "rtsp://box/7", "rtsp://box/10", "rtsp://box/11"}));
    // The key let go: back to two.
    EXPECT_EQ(policy.wanted(now + 1000).size(), 2);
}

TEST_F(Policy, ASinglePressWarmsOnlyTheRowsNextToTheNewChannelAndPlayingItAgainIsNoStep) {
    holdKeyTo(6);
    EXPECT_FALSE(policy.keyHeld(now));
    EXPECT_EQ(policy.wanted(now), QStringList({"rtsp://box/7", "rtsp://box/5"}));
    // Tuned anew after its server ended it: still one press, and nothing shown yet of the new tune.
    policy.noteStep("rtsp://box/6", now + 50);
    EXPECT_FALSE(policy.keyHeld(now + 50));
    EXPECT_FALSE(policy.mayOpen(now + 50));
    EXPECT_EQ(policy.wanted(now + 50).size(), 2);
    // The second press the same way is a held key.
    holdKeyTo(7);
    EXPECT_TRUE(policy.keyHeld(now));
    EXPECT_EQ(policy.wanted(now).size(), 4);
}

// Backspace goes back to the channel watched before: kept warm after the rows next to the one
// watched, when the list offers it, within what the box gives; never a held key.
TEST_F(Policy, TheChannelWatchedBeforeIsWarmAfterTheNearestRowsWithinTheBoxsLimit) {
    const auto around = [](int row, const QString &before) {
        return QStringList({QStringLiteral("rtsp://box/%1").arg(row + 1),
                            QStringLiteral("rtsp://box/%1").arg(row - 1), before});
    };
    now += 5000;
    policy.noteStep("rtsp://box/20", now);
    policy.offer(around(20, kWatched));
    EXPECT_EQ(policy.wanted(now), QStringList({"rtsp://box/21", "rtsp://box/19", kWatched}));
    policy.offer(around(20, QString()));
    EXPECT_EQ(policy.wanted(now).size(), 2) << "not offered, not warmed";

    // Back and forth at once: no held key, each time the other one warm.
    for (int press = 0; press < 3; ++press) {
        const bool toWatched = press % 2 == 0;
        now += 300;
        policy.noteStep(toWatched ? kWatched : "rtsp://box/20", now);
        policy.offer(toWatched ? around(5, "rtsp://box/20") : around(20, kWatched));
        EXPECT_FALSE(policy.keyHeld(now)) << press;
        EXPECT_EQ(policy.wanted(now).last(), toWatched ? "rtsp://box/20" : kWatched) << press;
    }

    // A box of three sessions: the watched channel and its two nearest rows fill it.
    policy.noteFailure("rtsp://box/30", WarmFailure::Refused, {3, 2}, now);
    EXPECT_EQ(policy.wanted(now), QStringList({"rtsp://box/6", "rtsp://box/4"}));
}

TEST_F(Policy, ANeighbourItsServerEndedIsReopenedAtOnceUnlessItEndsSoonAfterOpening) {
    policy.noteEnded("rtsp://box/6", now - 20000, now);
    EXPECT_EQ(policy.wanted(now), QStringList({"rtsp://box/6", "rtsp://box/4"}));
    EXPECT_FALSE(policy.anyCoolingDown(now));
    // Reopened and ended again two seconds later: left alone a while, then tried again.
    policy.noteEnded("rtsp://box/6", now, now + 2000);
    EXPECT_EQ(policy.wanted(now + 2000), QStringList({"rtsp://box/4"}));
    EXPECT_TRUE(policy.anyCoolingDown(now + 2000));
    EXPECT_EQ(policy.wanted(now + 33 * 1000).size(), 2);
}

TEST_F(Policy, OnceTheBoxIsBackWhatBrokeWithItIsWarmedAgainButADeadRowIsNot) {
    policy.noteFailure("rtsp://box/6", WarmFailure::Broken, {2, 1}, now);
    policy.noteFailure("rtsp://box/4", WarmFailure::NotFound, {2, 1}, now);
    EXPECT_TRUE(policy.wanted(now).isEmpty());
    policy.noteRecovered();
    EXPECT_EQ(policy.wanted(now), QStringList({"rtsp://box/6"}));
}

TEST_F(Policy, WarmthLapsesAfterTenMinutesWithoutAChangeAndComesBackAtTheNext) {
    EXPECT_FALSE(policy.wanted(now + 9 * 60 * 1000).isEmpty());
    EXPECT_TRUE(policy.wanted(now + 10 * 60 * 1000 + 1).isEmpty());
    now += 11 * 60 * 1000;
    policy.noteStep("rtsp://box/6", now);
    EXPECT_EQ(policy.wanted(now).size(), 2);
}

TEST_F(Policy, ARefusalLowersTheLearnedLimitAndOnlyRefusalsDo) {
    // A dead row, an unsupported stream, a broken session: that address alone cools down.
    policy.noteFailure("rtsp://box/6", WarmFailure::NotFound, {2, 1}, now);
    policy.noteFailure("rtsp://box/4", WarmFailure::Broken, {2, 1}, now);
    EXPECT_FALSE(policy.sessionLimit(kWatched, now).has_value());
    EXPECT_TRUE(policy.wanted(now).isEmpty());
    // The broken one comes back within a minute; the dead one only after minutes.
    EXPECT_EQ(policy.wanted(now + 31 * 1000), QStringList({"rtsp://box/4"}));
    EXPECT_EQ(policy.wanted(now + 5 * 60 * 1000 + 1).size(), 2);

    // Refused with the watched session and one warm open: the box gives two.
    policy.noteFailure("rtsp://box/4", WarmFailure::Refused, {2, 1}, now);
    EXPECT_EQ(policy.sessionLimit(kWatched, now), 2);
    holdKeyTo(8);
    EXPECT_EQ(policy.wanted(now).size(), 1) << "never more sessions than the box accepted";
    // A SETUP turned down for another reason counts only while warm sessions are open.
    NeighbourPolicy other;
    other.noteFailure("rtsp://box/6", WarmFailure::SetupRefused, {1, 0}, now);
    EXPECT_FALSE(other.sessionLimit(kWatched, now).has_value());
    other.noteFailure("rtsp://box/4", WarmFailure::SetupRefused, {3, 2}, now);
    EXPECT_EQ(other.sessionLimit(kWatched, now), 3);
}

TEST_F(Policy, ANeighbourNotReadyWithinThreeSecondsOfItsFirstPacketIsGivenUpForMinutes) {
    EXPECT_FALSE(policy.overdue(now, now + 500, now + 3000));
    EXPECT_TRUE(policy.overdue(now, now + 500, now + 3501));
    EXPECT_TRUE(policy.overdue(now, -1, now + 3001)) << "silent since it opened";
    policy.noteFailure("rtsp://box/6", WarmFailure::NeverReady, {2, 1}, now);
    EXPECT_EQ(policy.wanted(now + 4 * 60 * 1000), QStringList({"rtsp://box/4"}));
}

TEST_F(Policy, NothingIsWarmWhileARecordingHasTheBox) {
    policy.lendBox(kWatched);
    EXPECT_TRUE(policy.wanted(now).isEmpty());
    policy.boxReturned(kWatched, now);
    EXPECT_EQ(policy.wanted(now).size(), 2);
}

TEST(WarmFailures, TheBoxsAnswerTellsARefusalFromAChannelsOwnFault) {
    gst_init(nullptr, nullptr);
    struct Case {
        quint32 domain;
        int code;
        const char *debug;
        WarmFailure expected;
    };
    const Case cases[] = {
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_WRITE,
         "gst_rtspsrc_setup_streams_start (): Error (503): Service Unavailable", WarmFailure::Refused},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "Not Enough Bandwidth (453)", WarmFailure::Refused},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "Session Not Found (454)", WarmFailure::Refused},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, "gst_rtspsrc_send (): Not Found (404)",
         WarmFailure::NotFound},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_WRITE,
         "gst_rtspsrc_setup_streams_start (): Error (400): Bad Request", WarmFailure::SetupRefused},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "streaming stopped, reason not-linked (-1)",
         WarmFailure::Unsupported},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND, "", WarmFailure::Unsupported},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ,
         "Could not receive message. (Timeout while waiting for server response)", WarmFailure::Broken},
    };
    for (const Case &c : cases)
        EXPECT_EQ(WarmFailures::fromError(c.domain, c.code, QString::fromUtf8(c.debug)), c.expected)
            << c.debug;
}

} // namespace
