#include "QtPrinting.h"

#include "player/warm/Boxes.h"
#include "player/warm/NeighbourPolicy.h"

#include <gtest/gtest.h>

// Each box (host and port) with its own limit and lending, on a clock the test turns.
namespace {

TEST(BoxRules, EachHostAndPortIsOneBoxThePortItsSchemesDefaultWhenUnsaid) {
    const struct {
        const char *address;
        const char *box;
    } cases[] = {
        {"rtsp://box/5", "box:554"},
        {"RTSP://Box:554/6", "box:554"},
        {"rtsp://127.0.0.1:8554/orvantv/201", "127.0.0.1:8554"},
        {"rtsp://127.0.0.1:8555/orvantv/201", "127.0.0.1:8555"},
        {"rtsps://box/5", "box:322"},
        {"http://tuner/auto/v5", "tuner:80"},
        {"https://tuner:8443/auto/v5", "tuner:8443"},
        {"rtsp://[::1]:8554/x", "::1:8554"},
        {"udp://@239.1.1.1:5004", "239.1.1.1:5004"},
        {" rtsp://box/5 ", "box:554"},
        {"/home/moi/film.ts", ""},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Boxes::keyOf(QString::fromLatin1(c.address)), QString::fromLatin1(c.box)) << c.address;
}

TEST(BoxRules, ALimitIsLearnedFromARefusalRegainedWithTimeAndGivesTheRoomLeft) {
    constexpr qint64 kMemory = 600'000;
    Box box;
    EXPECT_FALSE(box.sessionLimit(0, kMemory));
    EXPECT_FALSE(box.room({5, 5, 1}, 0, kMemory)) << "no limit known: no room counted";
    box.learnLimit(0, 1000, kMemory);
    EXPECT_EQ(box.sessionLimit(1000, kMemory), 1) << "a box gives one session at least";
    box.learnLimit(3, 2000, kMemory);
    EXPECT_EQ(box.sessionLimit(2000, kMemory), 1) << "refused above what is known: nothing new";
    EXPECT_EQ(box.sessionLimit(1000 + kMemory, kMemory), 2) << "tried one higher after a while";
    box.learnLimit(3, 1000 + 2 * kMemory, kMemory);
    EXPECT_EQ(box.sessionLimit(1000 + 2 * kMemory, kMemory), 3);

    const struct {
        Box::Sessions sessions;
        int room;
    } rooms[] = {
        {{0, 0, 0}, 3}, {{0, 0, 1}, 2}, {{1, 1, 1}, 0}, {{2, 0, 0}, 1}, {{0, 2, 0}, 1}, {{4, 0, 1}, 0},
    };
    for (const auto &r : rooms)
        EXPECT_EQ(box.room(r.sessions, 1000 + 2 * kMemory, kMemory), r.room)
            << r.sessions.held << " held, " << r.sessions.closing << " closing, " << r.sessions.watched;
}

TEST(BoxRules, TheRowsOnALentBoxAreLeftEmptyInTheirPlaces) {
    const QString a = "rtsp://a/1", b = "rtsp://b:8554/2";
    EXPECT_EQ(Boxes::besides({a, b, "rtsp://a:554/3", ""}, a), QStringList({"", b, "", ""}));
    EXPECT_EQ(Boxes::besides({a, "rtsp://A/3"}, a), QStringList()) << "none left: no neighbours at all";
}

// Watched on box A; its neighbours alternately after and before, on boxes A and B.
class BoxPolicy : public ::testing::Test {
protected:
    void SetUp() override {
        policy.offer({kA6, kB4, kA7, kB3});
        policy.noteStep(kA5, now);
        policy.noteShown();
    }
    const QString kA5 = "rtsp://a/5", kA6 = "rtsp://a/6", kA7 = "rtsp://a/7";
    const QString kB4 = "rtsp://b:8554/4", kB3 = "rtsp://b:8554/3";
    NeighbourPolicy policy;
    qint64 now = 1000;
};

TEST_F(BoxPolicy, ABoxThatRefusedHoldsItsOwnNeighboursBackNeverAnotherBoxs) {
    EXPECT_EQ(policy.wanted(now), QStringList({kA6, kB4}));
    // Box A refused a second session while the watched one was open there: it gives one.
    policy.noteFailure(kA6, WarmFailure::Refused, {1, 0}, now);
    EXPECT_EQ(policy.sessionLimit(kA5, now), 1);
    EXPECT_FALSE(policy.sessionLimit(kB4, now)) << "box B has said nothing";
    now += 31'000;
    EXPECT_EQ(policy.wanted(now), QStringList({kB4})) << "A's one session is the watched one's";
    EXPECT_EQ(policy.room(kA6, {0, 0, 1}, now), 0);
    EXPECT_FALSE(policy.room(kB4, {3, 1, 0}, now));

    // Box B refuses a third: two warm there at most, while A still gives one.
    policy.noteFailure(kB3, WarmFailure::Refused, {2, 2}, now);
    EXPECT_EQ(policy.sessionLimit(kB4, now), 2);
    EXPECT_EQ(policy.room(kB4, {1, 0, 0}, now), 1);
    // Watching on B: A's one session may go to a neighbour.
    policy.noteStep(kB4, now);
    const QString kB5 = "rtsp://b:8554/5";
    policy.offer({kA5, kB5, kA6, ""});
    EXPECT_EQ(policy.wanted(now), QStringList({kA5, kB5}));
}

TEST_F(BoxPolicy, ALentBoxHasNoNeighbourWarmWhileTheOthersKeepThemThroughTheRecording) {
    policy.lendBox(kA5);
    EXPECT_TRUE(policy.boxLent(kA7));
    EXPECT_FALSE(policy.boxLent(kB3));
    EXPECT_EQ(policy.wanted(now), QStringList({kB4}));
    // The recording takes the watched channel's place: what was warm on B stays, nothing opens.
    policy.noteStopped();
    EXPECT_EQ(policy.wanted(now), QStringList({kB4}));
    EXPECT_FALSE(policy.mayOpen(now));

    policy.boxReturned(kA5, now + 500);
    EXPECT_EQ(policy.boxReturnedAt(kA6), now + 500);
    EXPECT_EQ(policy.boxReturnedAt(kB4), -1);
    EXPECT_TRUE(policy.wanted(now).isEmpty()) << "stopped with no box lent: nothing is warm";
    policy.noteStep(kA5, now + 600);
    EXPECT_EQ(policy.wanted(now + 600), QStringList({kA6, kB4}));
}

} // namespace
