#include "RouteTable.h"

// The watched channel through the cold path: waiting for the box, refusals, stops.
namespace {

using namespace RouteTable;

TEST(WatchRoute, AColdTuneWaitsForTheBoxAndIsRetriedOnceWhenRefusedBesideWarmSessions) {
    Facts lent;
    lent.boxLent = true;
    Facts closing;
    closing.mustAwaitCloses = true;
    Facts othersWarm;
    othersWarm.othersWarm = true;
    Facts othersWarmLent = othersWarm;
    othersWarmLent.boxLent = true;
    State retried = with(in(P::Tuning), [](State &s) { s.retried = true; });
    State retriedWaiting = with(in(P::AwaitingCloses), [](State &s) { s.retried = true; });
    check({
        {"nothing to wait for: tuned", in(P::AwaitingCloses), event(E::CheckedBox), P::Tuning, {A::TuneCold}},
        {"its own session still closing: awaited",
         in(P::AwaitingCloses),
         event(E::CheckedBox, closing),
         P::AwaitingCloses,
         {A::AwaitCloses}},
        {"the closes are done", in(P::AwaitingCloses), event(E::ClosesDone), P::Tuning, {A::TuneCold}},
        {"closes done for a play left", in(P::Starting, kNow), event(E::ClosesDone), P::Starting, {}, kNow},
        {"a recording has the box",
         in(P::AwaitingCloses),
         event(E::CheckedBox, lent),
         P::AwaitingBox,
         {},
         kNow + 5000},
        {"the box comes back",
         in(P::AwaitingBox, kNow + 100),
         event(E::BoxReturned),
         P::Tuning,
         {A::TuneCold, A::Reconcile}},
        {"the box comes back with sessions still closing",
         in(P::AwaitingBox, kNow + 100),
         event(E::BoxReturned, closing),
         P::AwaitingCloses,
         {A::AwaitCloses, A::Reconcile}},
        {"the box comes back while nothing waits for it",
         in(P::Playing),
         event(E::BoxReturned),
         P::Playing,
         {A::Reconcile}},
        {"the box does not come back in time",
         in(P::AwaitingBox, kNow),
         event(E::Deadline, lent),
         P::Tuning,
         {A::TuneCold}},
        {"refused beside warm sessions: once more when they are gone",
         in(P::Tuning),
         failure(PlayerFailure::BoxBusy, othersWarm),
         P::AwaitingCloses,
         {A::NoteRefused, A::StopCold, A::CloseOthers, A::Restarted, A::AwaitCloses}},
        {"unreachable beside warm sessions: the same, nothing learned",
         in(P::Tuning),
         failure(PlayerFailure::BoxUnreachable, othersWarm),
         P::AwaitingCloses,
         {A::StopCold, A::CloseOthers, A::Restarted, A::AwaitCloses}},
        {"refused beside warm sessions while a recording took the box",
         in(P::Tuning),
         failure(PlayerFailure::BoxBusy, othersWarmLent),
         P::AwaitingBox,
         {A::NoteRefused, A::StopCold, A::CloseOthers, A::Restarted},
         kNow + 5000},
        {"the retry waits for the closes even when none is known",
         retriedWaiting,
         event(E::CheckedBox),
         P::AwaitingCloses,
         {A::AwaitCloses}},
        {"refused again: told",
         retried,
         failure(PlayerFailure::BoxBusy, othersWarm),
         P::Tuning,
         {A::EmitFailed}},
        {"refused with nothing warm: told",
         in(P::Tuning),
         failure(PlayerFailure::BoxBusy),
         P::Tuning,
         {A::EmitFailed}},
        {"no such channel beside warm sessions: told",
         in(P::Tuning),
         failure(PlayerFailure::ChannelNotFound, othersWarm),
         P::Tuning,
         {A::EmitFailed}},
        {"refused after it showed: told",
         in(P::Playing),
         failure(PlayerFailure::BoxBusy, othersWarm),
         P::Playing,
         {A::EmitFailed}},
        {"a stale failure of a tune left", in(P::Live), failure(PlayerFailure::NoAnswer), P::Live, {}},
        {"the first cold picture",
         in(P::Tuning),
         event(E::ColdPicture),
         P::Playing,
         {A::NoteShown, A::Reconcile, A::EmitPicture}},
        {"later ones pass", in(P::Playing), event(E::ColdPicture), P::Playing, {A::EmitPicture}},
        {"a radio channel",
         in(P::Tuning),
         event(E::ColdSoundOnly),
         P::Playing,
         {A::NoteShown, A::Reconcile, A::EmitSoundOnly}},
        {"a stale picture of a cold tune left",
         in(P::AwaitingCloses),
         event(E::ColdPicture),
         P::AwaitingCloses,
         {}},
        {"the cold path's tracks pass", in(P::Tuning), event(E::ColdTracks), P::Tuning, {A::EmitTracks}},
        {"not while it is not playing", in(P::Starting, kNow), event(E::ColdTracks), P::Starting, {}, kNow},
    });
    EXPECT_TRUE(
        advance(in(P::Tuning), failure(PlayerFailure::BoxBusy, othersWarm), kTiming, kNow).next.retried);
}

TEST(WatchRoute, ARefusalJustAfterARecordingGaveTheBoxBackIsAskedAgainQuietlyOnce) {
    const qint64 returned = kNow - 400;
    State tuning = with(in(P::Tuning), [](State &s) { s.boxReturnedAtMs = kNow - 400; });
    State again = with(tuning, [](State &s) { s.returnRetried = true; });
    State longAgo = with(in(P::Tuning), [](State &s) { s.boxReturnedAtMs = kNow - 1001; });
    Facts othersWarm;
    othersWarm.othersWarm = true;
    check({
        {"refused within its grace: a moment, no word, no neighbour",
         tuning,
         failure(PlayerFailure::BoxBusy, othersWarm),
         P::AwaitingBox,
         {A::StopCold},
         kNow + 250},
        {"unreachable within its grace: the same",
         tuning,
         failure(PlayerFailure::BoxUnreachable),
         P::AwaitingBox,
         {A::StopCold},
         kNow + 250},
        {"the moment has passed: asked again",
         in(P::AwaitingBox, kNow),
         event(E::Deadline),
         P::Tuning,
         {A::TuneCold}},
        {"refused once more: as any refusal",
         again,
         failure(PlayerFailure::BoxBusy, othersWarm),
         P::AwaitingCloses,
         {A::NoteRefused, A::StopCold, A::CloseOthers, A::Restarted, A::AwaitCloses}},
        {"refused long after the box came back: as any refusal",
         longAgo,
         failure(PlayerFailure::BoxBusy),
         P::Tuning,
         {A::EmitFailed}},
        {"the box never lent: as any refusal",
         in(P::Tuning),
         failure(PlayerFailure::BoxBusy),
         P::Tuning,
         {A::EmitFailed}},
        {"another failure within its grace: told",
         tuning,
         failure(PlayerFailure::NoAnswer),
         P::Tuning,
         {A::EmitFailed}},
    });
    EXPECT_TRUE(advance(tuning, failure(PlayerFailure::BoxBusy), kTiming, kNow).next.returnRetried);
    // When the box came back is kept whatever the phase, through stops and plays.
    State s = advance(in(P::Playing), event(E::BoxReturned), kTiming, returned).next;
    s = advance(s, event(E::Stop), kTiming, kNow).next;
    s = advance(s, event(E::Play), kTiming, kNow).next;
    s = advance(s, event(E::CheckedBox), kTiming, kNow).next;
    EXPECT_EQ(s.boxReturnedAtMs, returned);
    EXPECT_EQ(name(advance(s, failure(PlayerFailure::BoxBusy), kTiming, kNow).next.phase),
              std::string(name(P::AwaitingBox)));
}

TEST(WatchRoute, StopLetsGoOfEverythingAndAStopForARetryWaitsForTheNextPicture) {
    check({
        {"from a hand-over", in(P::Starting, kNow + 100), event(E::Stop), P::Idle, {A::DropDecoder}},
        {"from a cold tune", in(P::Playing), event(E::Stop), P::Idle, {A::ReleaseCold}},
        {"while waiting for the box", in(P::AwaitingBox, kNow), event(E::Stop), P::Idle, {}},
        {"a deadline after a stop does nothing", in(P::Idle), event(E::Deadline), P::Idle, {}},
        {"for a retry, from a cold tune", in(P::Tuning), event(E::StopForRetry), P::Idle, {A::ReleaseCold}},
    });
    // The retry's first picture, warm or cold, says the box is back: what broke with it may be
    // warmed again. A stop or a play between keeps that; the picture after does not say it again.
    State s = advance(in(P::Playing), event(E::StopForRetry), kTiming, kNow).next;
    EXPECT_TRUE(s.recovering);
    s = advance(s, event(E::Stop), kTiming, kNow).next;
    s = advance(s, event(E::Play, warm(Warm::Ready)), kTiming, kNow).next;
    checkRow({"warm",
              s,
              event(E::DecoderPicture),
              P::Live,
              {A::NoteRecovered, A::NoteShown, A::Reconcile, A::EmitPicture}});
    s.phase = P::Tuning;
    Step shown = checkRow({"cold",
                           s,
                           event(E::ColdPicture),
                           P::Playing,
                           {A::NoteRecovered, A::NoteShown, A::Reconcile, A::EmitPicture}});
    EXPECT_FALSE(shown.next.recovering);

    State handedOver = with(in(P::Live), [](State &s) {
        s.handedOver = true;
        s.retried = true;
    });
    const State stopped = advance(handedOver, event(E::Stop), kTiming, kNow).next;
    EXPECT_TRUE(stopped.handedOver) << "still answers for the last play";
    EXPECT_FALSE(stopped.retried);
    EXPECT_EQ(stopped.deadlineMs, -1);
}

} // namespace
