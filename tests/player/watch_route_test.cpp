#include "player/playback/WatchRoute.h"

#include <gtest/gtest.h>

// Every way of the watched channel to the screen, as (phase, event, time) → (phase, actions),
// on a clock of the test's own.
namespace {

using namespace WatchRoute;
using A = Action;
using E = EventKind;
using P = Phase;

const Timing kTiming{200, 1500, 5000, 1000, 250};
constexpr qint64 kNow = 10000;

// In the order of Action, for messages a reader can follow.
const char *const kActionNames[] = {
    "CloseWarm",      "GiveUpWarm",  "EndWarm",       "ReconcileWhenClosed", "ShowStill",  "StartDecoder",
    "DropDecoder",    "ReleaseCold", "StopCold",      "CloseOthers",         "CheckBox",   "AwaitCloses",
    "TuneCold",       "NoteShown",   "NoteRecovered", "NoteRefused",         "Reconcile",  "Restarted",
    "EmitStill",      "EmitPicture", "EmitSoundOnly", "EmitTracks",          "EmitFailed", "EmitEnded",
    "EmitInterrupted"};
static_assert(std::size(kActionNames) == int(A::EmitInterrupted) + 1);

std::string spelled(const QList<Action> &actions) {
    std::string text;
    for (Action a : actions)
        text += std::string(text.empty() ? "" : " ") + kActionNames[int(a)];
    return text;
}

struct Row {
    const char *what;
    State from;
    Event event;
    Phase to;
    QList<Action> actions;
    qint64 deadlineMs = -1;
    qint64 nowMs = kNow;
};

State in(Phase phase, qint64 deadlineMs = -1) {
    State state;
    state.phase = phase;
    state.deadlineMs = deadlineMs;
    return state;
}

State with(State state, void (*change)(State &)) {
    change(state);
    return state;
}

Event event(EventKind kind, Facts facts = {}, bool error = false) {
    Event e(kind, error);
    e.facts = facts;
    return e;
}

Event failure(PlayerFailure why, Facts facts = {}) {
    Event e(E::ColdFailed, false, why);
    e.facts = facts;
    return e;
}

Facts warm(Warm w, bool keyHeld = false) {
    Facts facts;
    facts.warm = w;
    facts.keyHeld = keyHeld;
    return facts;
}

Step checkRow(const Row &row) {
    SCOPED_TRACE(row.what);
    const Step step = advance(row.from, row.event, kTiming, row.nowMs);
    EXPECT_EQ(std::string(name(step.next.phase)), name(row.to));
    EXPECT_EQ(spelled(step.actions), spelled(row.actions));
    EXPECT_EQ(step.next.deadlineMs, row.deadlineMs);
    return step;
}

void check(const std::vector<Row> &rows) {
    for (const Row &row : rows)
        checkRow(row);
}

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
