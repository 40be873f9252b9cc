#pragma once

#include "player/engine/PlayerEngine.h"

#include <QList>
#include <QtGlobal>

// The hand-over's view of the route, for benchmarks and tests.
enum class HandoverState {
    Idle,             // nothing is handed over: the channel plays cold, or nothing plays
    HeldKey,          // a held key rests on a channel: its still shows, nothing is tuned yet
    AwaitingKeyFrame, // the channel's warm session is open but holds no whole key frame yet
    Starting,         // a decoder takes the warm session's stream; no picture of it yet
    Live,             // the decoder's pictures show
    FallingBack,      // given up: the session closes and the channel is tuned cold once it has
};

// The watched channel's way to the screen, as one named phase and one pure function: given the
// phase, what happened and the time, it says the next phase and what the engine must do. The
// engine carries the actions out and reads the facts of its sessions into each event; it decides
// nothing itself, so every path can be tried on a table with a clock of the test's own.
namespace WatchRoute {

enum class Phase {
    Idle,             // nothing is watched, or what was watched ended
    HeldKey,          // a held key rests on a channel: its still (if any) shows, nothing is tuned yet
    AwaitingKeyFrame, // the channel's warm session is open but holds no whole key frame yet
    Starting,         // a decoder takes the warm session's stream; no picture of it yet
    Live,             // the decoder's pictures show
    AwaitingCloses,   // a cold tune waits for sessions the box must see close first
    AwaitingBox,      // a cold tune waits for a recording to give the box back (or a moment to ask again)
    Tuning,           // the cold path asks the box; no picture yet
    Playing,          // the cold path's pictures (or sound alone) play
};

// The watched channel's warm session as the engine finds it when the event comes.
enum class Warm {
    None,    // no session
    Ready,   // holds a whole key frame and is not silent
    Waiting, // open, no whole key frame yet
    Silent,  // it came and went silent: its server ended it, perhaps with a BYE naming no SSRC of its
    Failed,  // open but broken
};

struct Facts {
    Warm warm = Warm::None;
    // The target may be played from a warm session (it asks for no settings of its own).
    bool canHandOver = true;
    bool keyHeld = false;
    // A recording has the box.
    bool boxLent = false;
    // The channel's own earlier session is still closing, or the box is known full and sessions
    // are still closing: a cold tune now would be refused.
    bool mustAwaitCloses = false;
    // Warm sessions are open besides the watched one (they may be why the box refused).
    bool othersWarm = false;
};

enum class EventKind {
    Play,
    Stop,
    StopForRetry,   // stopped, the same channel to be played again in a moment
    Deadline,       // the phase's deadline has come (stale and early ones are ignored)
    KeyFrameWhole,  // the watched channel's warm session now holds a whole key frame
    StillReady,     // the warm session's key-frame picture is there to show
    DecoderPicture, // the hand-over decoder has a picture
    DecoderTracks,  // the hand-over decoder knows the stream's tracks
    DecoderEnded,   // the hand-over decoder ended (error: it broke)
    SessionFailed,  // the watched channel's warm session broke (error) or its server ended it
    CheckedBox,     // the facts again, read after a CheckBox action was carried out
    ClosesDone,     // no session is closing any more
    BoxReturned,    // the recording gave the box back
    ColdPicture,    // the cold path has a picture
    ColdSoundOnly,  // the cold path plays sound and has no picture to show
    ColdTracks,     // the cold path knows the stream's tracks
    ColdFailed,     // the cold path failed (failure says why)
    ColdEnded,      // the cold path's stream ended
};

struct Event {
    Event(EventKind kind = EventKind::Play, bool error = false,
          PlayerFailure failure = PlayerFailure::NoAnswer)
        : kind(kind), error(error), failure(failure) {}

    EventKind kind;
    Facts facts;
    bool error;
    PlayerFailure failure;
};

struct Timing {
    int heldTuneDelayMs = 200;
    int handoverGraceMs = 1500;
    int boxReturnMs = 5000;
    // A refusal this soon after the box came back is asked again once, this much later.
    int returnGraceMs = 1000;
    int returnRetryMs = 250;
};

enum class Action {
    CloseWarm,           // close the watched channel's warm session, which cannot serve (no note)
    GiveUpWarm,          // close it and note it broke (not warmed again soon)
    EndWarm,             // close it and note its server ended it
    ReconcileWhenClosed, // reconcile again once the box has seen it go
    ShowStill,           // queue the warm session's key-frame picture (StillReady follows)
    StartDecoder,        // start a decoder on the warm session
    DropDecoder,         // tear the hand-over decoder down
    ReleaseCold,         // close the cold path's session; its channel is not warmed before the box saw it go
    StopCold,            // stop the cold path's session (a retry follows)
    CloseOthers,         // close every warm session
    CheckBox,            // read the facts again now (closes asked meanwhile count) and send CheckedBox
    AwaitCloses,         // send ClosesDone once no session is closing
    TuneCold,            // the cold path plays the target
    NoteShown,           // the channel shows (or a still stands for it): warming may begin
    NoteRecovered,       // it shows again after a failure: what broke with it may be warmed again
    NoteRefused,         // the box refused the watched channel while warm sessions were open
    Reconcile,           // open and close warm sessions as the policy now wants
    Restarted,           // tell the player the wait for a first picture starts again
    EmitStill,           // pass the still on
    EmitPicture,         // pass the picture on
    EmitSoundOnly,       // pass "sound only" on
    EmitTracks,          // pass the tracks on
    EmitFailed,          // pass the cold path's failure on
    EmitEnded,           // pass the end of the stream on
    EmitInterrupted,     // the stream under the watched channel broke while it showed
};

struct State {
    Phase phase = Phase::Idle;
    // When the phase ends by itself; -1 for never.
    qint64 deadlineMs = -1;
    // This play's cold tune was asked again once after a refusal while warm sessions were open,
    // and once after a refusal just after the box came back.
    bool retried = false;
    bool returnRetried = false;
    // Stopped for a retry: the next first picture says the box is back.
    bool recovering = false;
    // When a recording last gave the box back; -1 for never.
    qint64 boxReturnedAtMs = -1;
    // For benchmarks and tests: the last play was handed over from a warm session, and this one's
    // warm session was given up for a cold tune that has not started yet.
    bool handedOver = false;
    bool fellBack = false;
};

struct Step {
    State next;
    QList<Action> actions;
    // Why the phase changed, for the log.
    const char *why = "";
};

Step advance(const State &state, const Event &event, const Timing &timing, qint64 nowMs);

const char *name(Phase phase);
// The watched channel's warm session is in use (a neighbour it is not).
bool handingOver(Phase phase);
// The cold path plays the watched channel.
bool playsCold(Phase phase);
// The watched channel waits for its session: nothing else is asked of the box meanwhile.
bool awaitingTune(Phase phase);
HandoverState handoverState(const State &state);

} // namespace WatchRoute
