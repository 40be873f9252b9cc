#include "RouteTable.h"

// The watched channel from its warm session: the play, a held key, the hand-over and its end.
namespace {

using namespace RouteTable;

TEST(WatchRoute, APlayUsesTheChannelsWarmSessionWhenItCan) {
    Facts otherSettings = warm(Warm::Ready);
    otherSettings.canHandOver = false;
    check({
        {"ready: its still, then a decoder",
         in(P::Idle),
         event(E::Play, warm(Warm::Ready)),
         P::Starting,
         {A::ShowStill, A::NoteShown, A::StartDecoder, A::Reconcile},
         kNow + 1500},
        {"no session: cold, the unwanted ones closing first",
         in(P::Idle),
         event(E::Play),
         P::AwaitingCloses,
         {A::Reconcile, A::CheckBox, A::Reconcile}},
        {"no whole key frame yet: waited for, not closed",
         in(P::Idle),
         event(E::Play, warm(Warm::Waiting)),
         P::AwaitingKeyFrame,
         {A::Reconcile},
         kNow + 1500},
        {"broken: given up, cold",
         in(P::Idle),
         event(E::Play, warm(Warm::Failed)),
         P::AwaitingCloses,
         {A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox, A::Reconcile}},
        {"came and went silent: ended, cold",
         in(P::Idle),
         event(E::Play, warm(Warm::Silent)),
         P::AwaitingCloses,
         {A::EndWarm, A::Restarted, A::Reconcile, A::CheckBox, A::Reconcile}},
        {"opened with other settings: closed unnoted, cold",
         in(P::Idle),
         event(E::Play, otherSettings),
         P::AwaitingCloses,
         {A::CloseWarm, A::Reconcile, A::CheckBox, A::Reconcile}},
        {"from a hand-over: its decoder goes",
         in(P::Live),
         event(E::Play, warm(Warm::Ready)),
         P::Starting,
         {A::DropDecoder, A::ShowStill, A::NoteShown, A::StartDecoder, A::Reconcile},
         kNow + 1500},
        {"from a cold tune: its session is released",
         in(P::Playing),
         event(E::Play),
         P::AwaitingCloses,
         {A::ReleaseCold, A::Reconcile, A::CheckBox, A::Reconcile}},
        {"from a cold tune not shown yet: released too",
         in(P::Tuning),
         event(E::Play, warm(Warm::Waiting)),
         P::AwaitingKeyFrame,
         {A::ReleaseCold, A::Reconcile},
         kNow + 1500},
        {"from a wait for the box: its deadline goes",
         in(P::AwaitingBox, kNow + 3000),
         event(E::Play, warm(Warm::Waiting)),
         P::AwaitingKeyFrame,
         {A::Reconcile},
         kNow + 1500},
    });
    EXPECT_TRUE(advance(in(P::Idle), event(E::Play, warm(Warm::Ready)), kTiming, kNow).next.handedOver);
    EXPECT_FALSE(advance(in(P::Idle), event(E::Play), kTiming, kNow).next.handedOver);
}

TEST(WatchRoute, AHeldKeyTunesOnlyOnceItRests) {
    Facts otherSettings = warm(Warm::Ready, true);
    otherSettings.canHandOver = false;
    check({
        {"a held key on a warm channel: its still only",
         in(P::Live),
         event(E::Play, warm(Warm::Ready, true)),
         P::HeldKey,
         {A::DropDecoder, A::ShowStill, A::Reconcile},
         kNow + 200},
        {"a held key on a cold channel: nothing yet",
         in(P::Idle),
         event(E::Play, warm(Warm::None, true)),
         P::HeldKey,
         {A::Reconcile},
         kNow + 200},
        {"a held key on a channel asking for its own settings: cold at once",
         in(P::Idle),
         event(E::Play, otherSettings),
         P::AwaitingCloses,
         {A::CloseWarm, A::Reconcile, A::CheckBox, A::Reconcile}},
        {"it rests on a warm channel: a decoder",
         in(P::HeldKey, kNow),
         event(E::Deadline, warm(Warm::Ready)),
         P::Starting,
         {A::NoteShown, A::StartDecoder},
         kNow + 1500},
        {"it rests on a channel whose key frame is not whole",
         in(P::HeldKey, kNow),
         event(E::Deadline, warm(Warm::Waiting)),
         P::AwaitingKeyFrame,
         {},
         kNow + 1500},
        {"it rests on a cold channel: cold",
         in(P::HeldKey, kNow),
         event(E::Deadline),
         P::AwaitingCloses,
         {A::Reconcile, A::CheckBox}},
        {"it rests on a session that broke meanwhile",
         in(P::HeldKey, kNow),
         event(E::Deadline, warm(Warm::Failed)),
         P::AwaitingCloses,
         {A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"a deadline not come yet (a timer early) is ignored",
         in(P::HeldKey, kNow + 1),
         event(E::Deadline, warm(Warm::Ready)),
         P::HeldKey,
         {},
         kNow + 1},
    });
    const Step held = advance(in(P::Idle), event(E::Play, warm(Warm::Ready, true)), kTiming, kNow);
    EXPECT_TRUE(held.next.handedOver) << "a still stands for the channel";
}

TEST(WatchRoute, AHandOverThatShowsNothingFallsBackToACold) {
    Event broke = event(E::SessionFailed, {}, true);
    check({
        {"the key frame comes",
         in(P::AwaitingKeyFrame, kNow + 900),
         event(E::KeyFrameWhole, warm(Warm::Ready)),
         P::Starting,
         {A::NoteShown, A::StartDecoder},
         kNow + 1500},
        {"a key frame of a session gone silent is no use",
         in(P::AwaitingKeyFrame, kNow + 900),
         event(E::KeyFrameWhole, warm(Warm::Silent)),
         P::AwaitingKeyFrame,
         {},
         kNow + 900},
        {"a key frame after the decoder started changes nothing",
         in(P::Starting, kNow + 900),
         event(E::KeyFrameWhole, warm(Warm::Ready)),
         P::Starting,
         {},
         kNow + 900},
        {"the key frame does not come",
         in(P::AwaitingKeyFrame, kNow),
         event(E::Deadline),
         P::AwaitingCloses,
         {A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"the decoder shows nothing in time",
         in(P::Starting, kNow),
         event(E::Deadline),
         P::AwaitingCloses,
         {A::DropDecoder, A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"the decoder ends before a picture, however it ends",
         in(P::Starting, kNow + 500),
         event(E::DecoderEnded),
         P::AwaitingCloses,
         {A::DropDecoder, A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"the session breaks while held",
         in(P::HeldKey, kNow + 100),
         broke,
         P::AwaitingCloses,
         {A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"its server ends it while its key frame is awaited: ended, not broken",
         in(P::AwaitingKeyFrame, kNow + 100),
         event(E::SessionFailed),
         P::AwaitingCloses,
         {A::EndWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"its server ends it while the decoder starts",
         in(P::Starting, kNow + 100),
         event(E::SessionFailed),
         P::AwaitingCloses,
         {A::DropDecoder, A::EndWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"the first picture: live, warming may begin",
         in(P::Starting, kNow + 500),
         event(E::DecoderPicture),
         P::Live,
         {A::NoteShown, A::Reconcile, A::EmitPicture}},
        {"later pictures pass", in(P::Live), event(E::DecoderPicture), P::Live, {A::EmitPicture}},
        {"a stale picture of a decoder gone", in(P::Tuning), event(E::DecoderPicture), P::Tuning, {}},
        {"the decoder's tracks pass",
         in(P::Starting, kNow),
         event(E::DecoderTracks),
         P::Starting,
         {A::EmitTracks},
         kNow},
        {"not once it is gone", in(P::Tuning), event(E::DecoderTracks), P::Tuning, {}},
        {"the still shows while nothing else does",
         in(P::Starting, kNow),
         event(E::StillReady),
         P::Starting,
         {A::NoteShown, A::EmitStill},
         kNow},
        {"the still comes after the live picture: dropped", in(P::Live), event(E::StillReady), P::Live, {}},
    });
}

TEST(WatchRoute, AWatchedStreamThatBreaksIsToldAndOneItsServerEndedIsAnEnd) {
    Event broke = event(E::DecoderEnded, {}, true);
    check({
        {"the decoder breaks while live: interrupted",
         in(P::Live),
         broke,
         P::Idle,
         {A::DropDecoder, A::GiveUpWarm, A::EmitInterrupted}},
        {"its session breaks while live",
         in(P::Live),
         event(E::SessionFailed, {}, true),
         P::Idle,
         {A::DropDecoder, A::GiveUpWarm, A::EmitInterrupted}},
        {"the decoder's stream ends while live: an end, the channel asked for again once closed",
         in(P::Live),
         event(E::DecoderEnded),
         P::Idle,
         {A::DropDecoder, A::EndWarm, A::ReconcileWhenClosed, A::EmitEnded}},
        {"its server ends the session while live: the same",
         in(P::Live),
         event(E::SessionFailed),
         P::Idle,
         {A::DropDecoder, A::EndWarm, A::ReconcileWhenClosed, A::EmitEnded}},
        {"a cold stream's own end passes", in(P::Playing), event(E::ColdEnded), P::Playing, {A::EmitEnded}},
        {"and before its first picture", in(P::Tuning), event(E::ColdEnded), P::Tuning, {A::EmitEnded}},
        {"a stale end of a cold tune left", in(P::Live), event(E::ColdEnded), P::Live, {}},
        {"a stale end of a decoder left", in(P::Idle), event(E::DecoderEnded), P::Idle, {}},
    });
    State live = in(P::Live);
    live.handedOver = true;
    EXPECT_TRUE(advance(live, broke, kTiming, kNow).next.handedOver)
        << "the play was handed over all the same";
}

// The hand-over as benchmarks see it, along a zap whose warm session shows nothing in time, on the
// test's clock: each deadline counts from its own phase, and one that comes early is waited out.
TEST(WatchRoute, AZapWhoseHandOverShowsNothingIsTunedColdOnceItsSessionIsClosed) {
    qint64 t = kNow;
    State s = advance(State(), event(E::Play, warm(Warm::Waiting)), kTiming, t).next;
    EXPECT_EQ(handoverState(s), HandoverState::AwaitingKeyFrame);
    t += 900;
    s = advance(s, event(E::KeyFrameWhole, warm(Warm::Ready)), kTiming, t).next;
    EXPECT_EQ(handoverState(s), HandoverState::Starting);
    EXPECT_TRUE(s.handedOver);
    EXPECT_EQ(s.deadlineMs, t + 1500);
    s = advance(s, event(E::Deadline), kTiming, t + 1499).next;
    EXPECT_EQ(handoverState(s), HandoverState::Starting) << "a timer early by a millisecond";
    s = checkRow({"no picture in time",
                  s,
                  event(E::Deadline),
                  P::AwaitingCloses,
                  {A::DropDecoder, A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox},
                  -1,
                  t + 1500})
            .next;
    EXPECT_EQ(handoverState(s), HandoverState::FallingBack);
    EXPECT_FALSE(s.handedOver);
    Facts closing;
    closing.mustAwaitCloses = true;
    s = advance(s, event(E::CheckedBox, closing), kTiming, t + 1500).next;
    EXPECT_EQ(handoverState(s), HandoverState::FallingBack);
    s = advance(s, event(E::ClosesDone), kTiming, t + 1600).next;
    EXPECT_EQ(name(s.phase), std::string(name(P::Tuning)));
    EXPECT_EQ(handoverState(s), HandoverState::Idle);
    s = advance(s, event(E::Play, warm(Warm::Ready, true)), kTiming, t + 2000).next;
    EXPECT_EQ(handoverState(s), HandoverState::HeldKey);
    s = advance(s, event(E::Deadline, warm(Warm::Ready)), kTiming, t + 2200).next;
    s = advance(s, event(E::DecoderPicture), kTiming, t + 2300).next;
    EXPECT_EQ(handoverState(s), HandoverState::Live);
    EXPECT_EQ(s.deadlineMs, -1);
}

} // namespace
