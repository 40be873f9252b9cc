#include "player/warm/WatchRoute.h"

#include <utility>

namespace WatchRoute {

namespace {

bool refusal(PlayerFailure failure) {
    // A box out of sessions may also read as unreachable to the cold path.
    return failure == PlayerFailure::BoxBusy || failure == PlayerFailure::BoxUnreachable;
}

// One step being written: the phase it leads to and the actions in the order they are carried out.
class Writer {
public:
    Writer(const State &state, const Event &event, const Timing &timing, qint64 nowMs)
        : m_step{state, {}}, m_event(event), m_timing(timing), m_now(nowMs) {}

    Step take() { return std::move(m_step); }
    Phase phase() const { return m_step.next.phase; }
    State &state() { return m_step.next; }
    const Facts &facts() const { return m_event.facts; }
    const Event &event() const { return m_event; }
    const Timing &timing() const { return m_timing; }
    qint64 now() const { return m_now; }

    void act(Action action) { m_step.actions.append(action); }
    void enter(Phase phase, const char *why, int forMs = -1) {
        m_step.next.phase = phase;
        m_step.next.deadlineMs = forMs < 0 ? -1 : m_now + forMs;
        m_step.why = why;
    }

    // Lets go of what the phase holds: the hand-over decoder, the cold path's session.
    void leave() {
        if (phase() == Phase::Starting || phase() == Phase::Live)
            act(Action::DropDecoder);
        if (playsCold(phase()))
            act(Action::ReleaseCold);
    }

    // The channel from its warm session if it can, else cold.
    void proceed(Warm warm) {
        switch (warm) {
        case Warm::None:
            startCold("no warm session");
            break;
        case Warm::Ready:
            startDecoder();
            break;
        case Warm::Failed:
            fallBack(Action::GiveUpWarm, "its warm session failed");
            break;
        case Warm::Silent:
            // No key frame will come, and a tune anew needs no waiting for one.
            fallBack(Action::EndWarm, "its warm session went silent");
            break;
        case Warm::Waiting:
            // Closing it to tune anew would cost a second session for the same channel, and a box
            // that keeps sessions it was asked to end would hold both: its key frame is near.
            enter(Phase::AwaitingKeyFrame, "no whole key frame held yet", m_timing.handoverGraceMs);
            break;
        }
    }

    void startDecoder() {
        m_step.next.handedOver = true;
        act(Action::NoteShown);
        act(Action::StartDecoder);
        enter(Phase::Starting, "a decoder takes the held stream", m_timing.handoverGraceMs);
    }

    // Gives the warm session up (closed as close says) and tunes the channel cold once it is gone.
    void fallBack(Action close, const char *why) {
        if (phase() == Phase::Starting || phase() == Phase::Live)
            act(Action::DropDecoder);
        act(close);
        m_step.next.handedOver = false;
        act(Action::Restarted);
        startCold(why);
        m_step.next.fellBack = true;
    }

    // The sessions the new position does not want close first; whether the box must be waited for
    // is asked once they are on their way.
    void startCold(const char *why) {
        enter(Phase::AwaitingCloses, why);
        act(Action::Reconcile);
        act(Action::CheckBox);
    }

    void tuneWhenFree() {
        if (facts().boxLent) {
            enter(Phase::AwaitingBox, "a recording has the box", m_timing.boxReturnMs);
        } else if (!facts().mustAwaitCloses && !m_step.next.retried) {
            tuneCold("nothing to wait for");
        } else {
            enter(Phase::AwaitingCloses, "sessions still closing");
            act(Action::AwaitCloses);
        }
    }

    void tuneCold(const char *why) {
        enter(Phase::Tuning, why);
        m_step.next.fellBack = false;
        act(Action::TuneCold);
    }

    // The first picture (or sound) of this play: warming ahead may begin.
    void shown(Phase next, const char *why) {
        enter(next, why);
        if (std::exchange(m_step.next.recovering, false))
            act(Action::NoteRecovered);
        act(Action::NoteShown);
        act(Action::Reconcile);
    }

    // The stream under the watched channel ended or broke while it showed: as the cold path would
    // say. Its server merely ending it is told as an end, and the channel's session is asked for
    // again as soon as the box has seen this one go.
    void liveEnded(bool error) {
        leave();
        enter(Phase::Idle, error ? "its stream broke while watched" : "its server ended it while watched");
        if (error) {
            act(Action::GiveUpWarm);
            act(Action::EmitInterrupted);
        } else {
            act(Action::EndWarm);
            act(Action::ReconcileWhenClosed);
            act(Action::EmitEnded);
        }
    }

private:
    Step m_step;
    const Event &m_event;
    const Timing &m_timing;
    const qint64 m_now;
};

void play(Writer &w) {
    w.leave();
    State &s = w.state();
    s.retried = s.returnRetried = s.handedOver = s.fellBack = false;
    w.enter(Phase::Idle, "next play");
    const Facts &facts = w.facts();
    Warm warm = facts.warm;
    if (warm != Warm::None && !facts.canHandOver) {
        // Opened with other settings: it gives way, and the cold tune waits for its close, so the
        // channel never has two sessions at once.
        w.act(Action::CloseWarm);
        warm = Warm::None;
    }
    if (warm == Warm::Ready)
        w.act(Action::ShowStill);
    if (facts.keyHeld && facts.canHandOver) {
        // A held key steps on before a decoder or a session started now would show anything: the
        // channel is tuned once the key stays on it, its warm session kept meanwhile.
        s.handedOver = warm == Warm::Ready;
        w.enter(Phase::HeldKey, "a held key rests here", w.timing().heldTuneDelayMs);
    } else {
        w.proceed(warm);
    }
    w.act(Action::Reconcile);
}

void stop(Writer &w, bool forRetry) {
    w.leave();
    State &s = w.state();
    const State kept = s;
    s = State();
    s.boxReturnedAtMs = kept.boxReturnedAtMs;
    s.handedOver = kept.handedOver;
    s.recovering = kept.recovering || forRetry;
    w.enter(Phase::Idle, "stopped");
}

void deadline(Writer &w) {
    const State &s = w.state();
    if (s.deadlineMs < 0 || w.now() < s.deadlineMs)
        return;
    switch (w.phase()) {
    case Phase::HeldKey:
        w.proceed(w.facts().warm);
        break;
    case Phase::AwaitingKeyFrame:
        w.fallBack(Action::GiveUpWarm, "no whole key frame in time");
        break;
    case Phase::Starting:
        w.fallBack(Action::GiveUpWarm, "no picture in time");
        break;
    case Phase::AwaitingBox:
        w.tuneCold(w.facts().boxLent ? "the box was not given back in time: tuning all the same"
                                     : "asked again after the box came back");
        break;
    default:
        break;
    }
}

void sessionFailed(Writer &w) {
    const bool error = w.event().error;
    switch (w.phase()) {
    case Phase::Live:
        w.liveEnded(error);
        break;
    case Phase::HeldKey:
    case Phase::AwaitingKeyFrame:
    case Phase::Starting:
        // Its key frame may be on screen, but nothing more of this session will be.
        w.fallBack(error ? Action::GiveUpWarm : Action::EndWarm,
                   error ? "its warm session failed" : "its server ended its warm session");
        break;
    default:
        break;
    }
}

void coldFailed(Writer &w) {
    const PlayerFailure failure = w.event().failure;
    State &s = w.state();
    if (w.phase() == Phase::Tuning && refusal(failure)) {
        // Refused this soon after the box came back: the box may still be ending the recording's
        // session. Asked again a moment later, without a word to the user; no neighbour meanwhile.
        if (!s.returnRetried && s.boxReturnedAtMs >= 0 &&
            w.now() - s.boxReturnedAtMs <= w.timing().returnGraceMs) {
            s.returnRetried = true;
            w.act(Action::StopCold);
            w.enter(Phase::AwaitingBox, "refused just after the box came back: asking again",
                    w.timing().returnRetryMs);
            return;
        }
        // The watched channel comes first: refused while warm sessions were open, it is asked
        // again, once, when they are gone, and the user hears of a failure only if that one fails too.
        if (w.facts().othersWarm && !s.retried) {
            if (failure == PlayerFailure::BoxBusy)
                w.act(Action::NoteRefused);
            s.retried = true;
            w.act(Action::StopCold);
            w.act(Action::CloseOthers);
            w.act(Action::Restarted);
            w.tuneWhenFree();
            return;
        }
    }
    w.act(Action::EmitFailed);
}

} // namespace

Step advance(const State &state, const Event &event, const Timing &timing, qint64 nowMs) {
    Writer w(state, event, timing, nowMs);
    const Phase phase = state.phase;
    switch (event.kind) {
    case EventKind::Play:
        play(w);
        break;
    case EventKind::Stop:
    case EventKind::StopForRetry:
        stop(w, event.kind == EventKind::StopForRetry);
        break;
    case EventKind::Deadline:
        deadline(w);
        break;
    case EventKind::KeyFrameWhole:
        if (phase == Phase::AwaitingKeyFrame && event.facts.warm == Warm::Ready)
            w.startDecoder();
        break;
    case EventKind::StillReady:
        // It stands for the channel, so warming ahead may go on; but it is no proof of a stream.
        if (phase != Phase::Live) {
            w.act(Action::NoteShown);
            w.act(Action::EmitStill);
        }
        break;
    case EventKind::DecoderPicture:
        if (phase == Phase::Starting)
            w.shown(Phase::Live, "first decoded picture");
        if (w.phase() == Phase::Live)
            w.act(Action::EmitPicture);
        break;
    case EventKind::DecoderTracks:
        if (phase == Phase::Starting || phase == Phase::Live)
            w.act(Action::EmitTracks);
        break;
    case EventKind::DecoderEnded:
        if (phase == Phase::Starting)
            // Nothing was shown yet: the user never sees this neighbour's trouble, only a cold tune.
            w.fallBack(Action::GiveUpWarm, "the decoder ended before a picture");
        else if (phase == Phase::Live)
            w.liveEnded(event.error);
        break;
    case EventKind::SessionFailed:
        sessionFailed(w);
        break;
    case EventKind::CheckedBox:
        if (phase == Phase::AwaitingCloses)
            w.tuneWhenFree();
        break;
    case EventKind::ClosesDone:
        if (phase == Phase::AwaitingCloses)
            w.tuneCold("the sessions it waited for are closed");
        break;
    case EventKind::BoxReturned:
        w.state().boxReturnedAtMs = nowMs;
        if (phase == Phase::AwaitingBox)
            w.tuneWhenFree();
        w.act(Action::Reconcile);
        break;
    case EventKind::ColdPicture:
    case EventKind::ColdSoundOnly:
        if (!playsCold(phase))
            break;
        if (phase == Phase::Tuning)
            w.shown(Phase::Playing, event.kind == EventKind::ColdPicture ? "first picture" : "sound only");
        w.act(event.kind == EventKind::ColdPicture ? Action::EmitPicture : Action::EmitSoundOnly);
        break;
    case EventKind::ColdTracks:
        if (playsCold(phase))
            w.act(Action::EmitTracks);
        break;
    case EventKind::ColdFailed:
        if (playsCold(phase))
            coldFailed(w);
        break;
    case EventKind::ColdEnded:
        if (playsCold(phase))
            w.act(Action::EmitEnded);
        break;
    }
    return w.take();
}

const char *name(Phase phase) {
    switch (phase) {
    case Phase::Idle:
        return "idle";
    case Phase::HeldKey:
        return "held key";
    case Phase::AwaitingKeyFrame:
        return "awaiting key frame";
    case Phase::Starting:
        return "starting";
    case Phase::Live:
        return "live";
    case Phase::AwaitingCloses:
        return "awaiting closes";
    case Phase::AwaitingBox:
        return "awaiting the box";
    case Phase::Tuning:
        return "tuning";
    case Phase::Playing:
        return "playing";
    }
    return "";
}

bool handingOver(Phase phase) {
    return phase == Phase::HeldKey || phase == Phase::AwaitingKeyFrame || phase == Phase::Starting ||
           phase == Phase::Live;
}

bool playsCold(Phase phase) {
    return phase == Phase::Tuning || phase == Phase::Playing;
}

bool awaitingTune(Phase phase) {
    return phase == Phase::AwaitingCloses || phase == Phase::AwaitingBox;
}

HandoverState handoverState(const State &state) {
    switch (state.phase) {
    case Phase::HeldKey:
        return HandoverState::HeldKey;
    case Phase::AwaitingKeyFrame:
        return HandoverState::AwaitingKeyFrame;
    case Phase::Starting:
        return HandoverState::Starting;
    case Phase::Live:
        return HandoverState::Live;
    default:
        return state.fellBack ? HandoverState::FallingBack : HandoverState::Idle;
    }
}

} // namespace WatchRoute
