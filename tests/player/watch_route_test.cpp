#include "player/playback/WatchRoute.h"

#include <gtest/gtest.h>

// Every way of the watched channel to the screen, as (phase, event, time) → (phase, actions),
// on a clock of the test's own.
namespace {

using namespace WatchRoute;
using A = Action;
using E = EventKind;
using P = Phase;

const Timing kTiming{200, 1500, 5000};
constexpr qint64 kNow = 10000;

struct Row {
    const char *what;
    State from;
    Event event;
    qint64 nowMs;
    Phase to;
    QList<Action> actions;
    qint64 deadlineMs = -1;
};

State in(Phase phase, qint64 deadlineMs = -1, bool retried = false) {
    State state;
    state.phase = phase;
    state.deadlineMs = deadlineMs;
    state.retried = retried;
    return state;
}

Event event(EventKind kind, Facts facts = {}) {
    Event e;
    e.kind = kind;
    e.facts = facts;
    return e;
}

Event failure(PlayerFailure why, Facts facts = {}) {
    Event e = event(E::ColdFailed, facts);
    e.failure = why;
    return e;
}

Facts warm(Warm w, bool keyHeld = false) {
    Facts facts;
    facts.warm = w;
    facts.keyHeld = keyHeld;
    return facts;
}

void check(const std::vector<Row> &rows) {
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const Step step = advance(row.from, row.event, kTiming, row.nowMs);
        EXPECT_EQ(name(step.next.phase), std::string(name(row.to)));
        QStringList got, want;
        for (Action a : step.actions)
            got << QString::number(int(a));
        for (Action a : row.actions)
            want << QString::number(int(a));
        EXPECT_EQ(got.join(' ').toStdString(), want.join(' ').toStdString());
        EXPECT_EQ(step.next.deadlineMs, row.deadlineMs);
    }
}

TEST(WatchRoute, APlayUsesTheChannelsWarmSessionWhenItCan) {
    Facts otherSettings = warm(Warm::Ready);
    otherSettings.canHandOver = false;
    check({
        {"ready: its still, then a decoder",
         in(P::Idle),
         event(E::Play, warm(Warm::Ready)),
         kNow,
         P::Starting,
         {A::ShowStill, A::NoteShown, A::StartDecoder, A::Reconcile},
         kNow + 1500},
        {"no session: cold",
         in(P::Idle),
         event(E::Play),
         kNow,
         P::AwaitingCloses,
         {A::Reconcile, A::CheckBox, A::Reconcile}},
        {"no whole key frame yet: waited for",
         in(P::Idle),
         event(E::Play, warm(Warm::Waiting)),
         kNow,
         P::AwaitingKeyFrame,
         {A::Reconcile},
         kNow + 1500},
        {"broken: given up, cold",
         in(P::Idle),
         event(E::Play, warm(Warm::Failed)),
         kNow,
         P::AwaitingCloses,
         {A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox, A::Reconcile}},
        {"opened with other settings: closed, cold",
         in(P::Idle),
         event(E::Play, otherSettings),
         kNow,
         P::AwaitingCloses,
         {A::CloseWarm, A::Reconcile, A::CheckBox, A::Reconcile}},
        {"from a hand-over: its decoder goes",
         in(P::Live),
         event(E::Play, warm(Warm::Ready)),
         kNow,
         P::Starting,
         {A::DropDecoder, A::ShowStill, A::NoteShown, A::StartDecoder, A::Reconcile},
         kNow + 1500},
        {"from a cold tune: its session is released",
         in(P::Playing),
         event(E::Play),
         kNow,
         P::AwaitingCloses,
         {A::ReleaseCold, A::Reconcile, A::CheckBox, A::Reconcile}},
    });
}

TEST(WatchRoute, AHeldKeyTunesOnlyOnceItRests) {
    check({
        {"a held key on a warm channel: its still only",
         in(P::Live),
         event(E::Play, warm(Warm::Ready, true)),
         kNow,
         P::HeldKey,
         {A::DropDecoder, A::ShowStill, A::Reconcile},
         kNow + 200},
        {"a held key on a cold channel: nothing yet",
         in(P::Idle),
         event(E::Play, warm(Warm::None, true)),
         kNow,
         P::HeldKey,
         {A::Reconcile},
         kNow + 200},
        {"it rests on a warm channel: a decoder",
         in(P::HeldKey, kNow),
         event(E::Deadline, warm(Warm::Ready)),
         kNow,
         P::Starting,
         {A::NoteShown, A::StartDecoder},
         kNow + 1500},
        {"it rests on a cold channel: cold",
         in(P::HeldKey, kNow),
         event(E::Deadline),
         kNow,
         P::AwaitingCloses,
         {A::Reconcile, A::CheckBox}},
        {"a deadline of an earlier phase is ignored",
         in(P::HeldKey, kNow + 100),
         event(E::Deadline),
         kNow,
         P::HeldKey,
         {},
         kNow + 100},
    });
}

TEST(WatchRoute, AHandOverThatShowsNothingFallsBackToACold) {
    check({
        {"the key frame comes",
         in(P::AwaitingKeyFrame, kNow + 900),
         event(E::KeyFrameWhole, warm(Warm::Ready)),
         kNow,
         P::Starting,
         {A::NoteShown, A::StartDecoder},
         kNow + 1500},
        {"the key frame does not come",
         in(P::AwaitingKeyFrame, kNow),
         event(E::Deadline),
         kNow,
         P::AwaitingCloses,
         {A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"the decoder shows nothing in time",
         in(P::Starting, kNow),
         event(E::Deadline),
         kNow,
         P::AwaitingCloses,
         {A::DropDecoder, A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"the decoder ends before a picture",
         in(P::Starting, kNow + 500),
         event(E::DecoderEnded),
         kNow,
         P::AwaitingCloses,
         {A::DropDecoder, A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"the session breaks while held",
         in(P::HeldKey, kNow + 100),
         event(E::SessionFailed),
         kNow,
         P::AwaitingCloses,
         {A::GiveUpWarm, A::Restarted, A::Reconcile, A::CheckBox}},
        {"the first picture: live, warming may begin",
         in(P::Starting, kNow + 500),
         event(E::DecoderPicture),
         kNow,
         P::Live,
         {A::NoteShown, A::Reconcile, A::EmitPicture}},
        {"later pictures pass", in(P::Live), event(E::DecoderPicture), kNow, P::Live, {A::EmitPicture}},
        {"a stale picture of a decoder gone", in(P::Tuning), event(E::DecoderPicture), kNow, P::Tuning, {}},
    });
}

TEST(WatchRoute, AWatchedStreamThatBreaksIsToldButOneTheServerEndedIsTunedAgainQuietly) {
    Event broke = event(E::DecoderEnded);
    broke.error = true;
    check({
        {"broken while live: interrupted",
         in(P::Live),
         broke,
         kNow,
         P::Idle,
         {A::DropDecoder, A::GiveUpWarm, A::EmitInterrupted}},
        {"its session broke while live",
         in(P::Live),
         event(E::SessionFailed),
         kNow,
         P::Idle,
         {A::DropDecoder, A::GiveUpWarm, A::EmitInterrupted}},
        {"ended while live",
         in(P::Live),
         event(E::DecoderEnded),
         kNow,
         P::Idle,
         {A::DropDecoder, A::GiveUpWarm, A::EmitEnded}},
        {"ended by the server while live: no restart, no failure",
         in(P::Live),
         event(E::EndedByServer),
         kNow,
         P::AwaitingCloses,
         {A::DropDecoder, A::CloseWarm, A::Reconcile, A::CheckBox}},
        {"ended by the server on the cold path: tuned again",
         in(P::Playing),
         event(E::EndedByServer),
         kNow,
         P::Tuning,
         {A::TuneCold}},
        {"a cold stream's own end passes",
         in(P::Playing),
         event(E::ColdEnded),
         kNow,
         P::Playing,
         {A::EmitEnded}},
    });
}

TEST(WatchRoute, AColdTuneWaitsForTheBoxAndIsRetriedOnceWhenRefusedBesideWarmSessions) {
    Facts lent;
    lent.boxLent = true;
    Facts closing;
    closing.mustAwaitCloses = true;
    Facts othersWarm;
    othersWarm.othersWarm = true;
    check({
        {"nothing to wait for: tuned",
         in(P::AwaitingCloses),
         event(E::CheckedBox),
         kNow,
         P::Tuning,
         {A::TuneCold}},
        {"its own session still closing: awaited",
         in(P::AwaitingCloses),
         event(E::CheckedBox, closing),
         kNow,
         P::AwaitingCloses,
         {A::AwaitCloses}},
        {"the closes are done", in(P::AwaitingCloses), event(E::ClosesDone), kNow, P::Tuning, {A::TuneCold}},
        {"a recording has the box",
         in(P::AwaitingCloses),
         event(E::CheckedBox, lent),
         kNow,
         P::AwaitingBox,
         {},
         kNow + 5000},
        {"the box comes back",
         in(P::AwaitingBox, kNow + 100),
         event(E::BoxReturned),
         kNow,
         P::Tuning,
         {A::TuneCold, A::Reconcile}},
        {"the box does not come back in time",
         in(P::AwaitingBox, kNow),
         event(E::Deadline),
         kNow,
         P::Tuning,
         {A::TuneCold}},
        {"refused beside warm sessions: once more when they are gone",
         in(P::Tuning),
         failure(PlayerFailure::BoxBusy, othersWarm),
         kNow,
         P::AwaitingCloses,
         {A::NoteRefused, A::StopCold, A::CloseOthers, A::Restarted, A::AwaitCloses}},
        {"unreachable beside warm sessions: the same, nothing learned",
         in(P::Tuning),
         failure(PlayerFailure::BoxUnreachable, othersWarm),
         kNow,
         P::AwaitingCloses,
         {A::StopCold, A::CloseOthers, A::Restarted, A::AwaitCloses}},
        {"refused again: told",
         in(P::Tuning, -1, true),
         failure(PlayerFailure::BoxBusy, othersWarm),
         kNow,
         P::Tuning,
         {A::EmitFailed}},
        {"refused with nothing warm: told",
         in(P::Tuning),
         failure(PlayerFailure::BoxBusy),
         kNow,
         P::Tuning,
         {A::EmitFailed}},
        {"refused after it showed: told",
         in(P::Playing),
         failure(PlayerFailure::BoxBusy, othersWarm),
         kNow,
         P::Playing,
         {A::EmitFailed}},
        {"a stale failure of a tune left", in(P::Live), failure(PlayerFailure::NoAnswer), kNow, P::Live, {}},
        {"the first cold picture",
         in(P::Tuning),
         event(E::ColdPicture),
         kNow,
         P::Playing,
         {A::NoteShown, A::Reconcile, A::EmitPicture}},
        {"a radio channel",
         in(P::Tuning),
         event(E::ColdSoundOnly),
         kNow,
         P::Playing,
         {A::NoteShown, A::Reconcile, A::EmitSoundOnly}},
    });
}

TEST(WatchRoute, StopLetsGoOfEverything) {
    check({
        {"from a hand-over", in(P::Starting, kNow + 100), event(E::Stop), kNow, P::Idle, {A::DropDecoder}},
        {"from a cold tune", in(P::Tuning, -1, true), event(E::Stop), kNow, P::Idle, {A::ReleaseCold}},
        {"while waiting for the box", in(P::AwaitingBox, kNow), event(E::Stop), kNow, P::Idle, {}},
        {"a deadline after a stop does nothing", in(P::Idle), event(E::Deadline), kNow, P::Idle, {}},
    });
    const Step step = advance(in(P::Tuning, -1, true), event(E::Stop), kTiming, kNow);
    EXPECT_FALSE(step.next.retried);
}

} // namespace
