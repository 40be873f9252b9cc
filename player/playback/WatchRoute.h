#pragma once

#include "player/playback/PlayerEngine.h"

#include <QList>
#include <QtGlobal>

// The watched channel's way to the screen, as one named phase and one pure function: given the
// phase, what happened and the time, it says the next phase and what the engine must do. The
// engine carries the actions out and reads the facts of its sessions into each event; it decides
// nothing itself, so every path can be tried on a table with a clock of the test's own.
namespace WatchRoute {

enum class Phase {
    Idle,             // nothing is watched
    HeldKey,          // a held key rests on a channel: its still (if any) shows, nothing is tuned yet
    AwaitingKeyFrame, // the channel's warm session is open but holds no whole key frame yet
    Starting,         // a decoder takes the warm session's stream; no picture of it yet
    Live,             // the decoder's pictures show
    AwaitingCloses,   // a cold tune waits for sessions the box must see close first
    AwaitingBox,      // a cold tune waits for a recording to give the box back
    Tuning,           // the cold path asks the box; no picture yet
    Playing,          // the cold path's pictures (or sound alone) play
};

// The channel's warm session as the engine finds it when the event comes.
enum class Warm {
    None,    // no session (or one opened with other settings: it is closed)
    Ready,   // holds a whole key frame and is not silent
    Waiting, // open, no whole key frame yet
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
    Deadline,       // the phase's deadline has come (stale ones are ignored)
    KeyFrameWhole,  // the watched channel's warm session now holds a whole key frame
    DecoderPicture, // the hand-over decoder has a picture
    DecoderEnded,   // the hand-over decoder ended (error says how)
    SessionFailed,  // the watched channel's warm session broke
    EndedByServer,  // the box ended the watched channel's session (warm or cold)
    CheckedBox,     // the facts again, read after a CheckBox action was carried out
    ClosesDone,     // no session is closing any more
    BoxReturned,    // the recording gave the box back
    ColdPicture,    // the cold path has a picture
    ColdSoundOnly,  // the cold path plays sound and has no picture to show
    ColdFailed,     // the cold path failed (failure says why)
    ColdEnded,      // the cold path's stream ended
};

struct Event {
    EventKind kind = EventKind::Play;
    Facts facts;
    bool error = false;
    PlayerFailure failure = PlayerFailure::NoAnswer;
};

struct Timing {
    int heldTuneDelayMs = 200;
    int handoverGraceMs = 1500;
    int boxReturnMs = 5000;
};

enum class Action {
    CloseWarm,       // close the channel's warm session, which cannot serve (no failure noted)
    GiveUpWarm,      // close the channel's warm session and note it failed (not warmed again soon)
    ShowStill,       // show the warm session's key-frame picture
    StartDecoder,    // start a decoder on the warm session
    DropDecoder,     // tear the hand-over decoder down
    ReleaseCold,     // close the cold path's session; its channel is not warmed before the box saw it go
    StopCold,        // stop the cold path's session (a retry follows)
    CloseOthers,     // close every warm session
    CheckBox,        // read the facts again now (closes asked meanwhile count) and send CheckedBox
    AwaitCloses,     // send ClosesDone once no session is closing
    TuneCold,        // the cold path plays the target
    NoteShown,       // the channel shows: warming may begin
    NoteRefused,     // the box refused the watched channel while warm sessions were open
    Reconcile,       // open and close warm sessions as the policy now wants
    Restarted,       // tell the player the wait for a first picture starts again
    EmitPicture,     // pass the picture on
    EmitSoundOnly,   // pass "sound only" on
    EmitFailed,      // pass the failure on
    EmitEnded,       // pass the end of the stream on
    EmitInterrupted, // the stream under the watched channel broke while it showed
};

struct State {
    Phase phase = Phase::Idle;
    // The cold tune has been asked again once after a refusal while warm sessions were open.
    bool retried = false;
    // The channel plays from a warm session (for benchmarks and tests).
    bool handedOver = false;
    // When the phase ends by itself; -1 for never.
    qint64 deadlineMs = -1;
};

struct Step {
    State next;
    QList<Action> actions;
};

Step advance(const State &state, const Event &event, const Timing &timing, qint64 nowMs);

const char *name(Phase phase);

} // namespace WatchRoute
