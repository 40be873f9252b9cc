#include "player/playback/WatchRoute.h"

namespace WatchRoute {

namespace {

// One step being written: the phase it leads to and the actions in the order they are carried out.
class Writer {
public:
    Writer(const State &state, const Facts &facts, const Timing &timing, qint64 nowMs)
        : m_step{state, {}}, m_facts(facts), m_timing(timing), m_now(nowMs) {}

    Step take() { return std::move(m_step); }
    Phase phase() const { return m_step.next.phase; }
    State &state() { return m_step.next; }
    const Facts &facts() const { return m_facts; }

    void act(Action action) { m_step.actions.append(action); }
    void enter(Phase phase, int forMs = -1) {
        m_step.next.phase = phase;
        m_step.next.deadlineMs = forMs < 0 ? -1 : m_now + forMs;
    }

    // Lets go of what the phase holds: the hand-over decoder, the cold path's session.
    void leave() {
        if (phase() == Phase::Starting || phase() == Phase::Live)
            act(Action::DropDecoder);
        if (phase() == Phase::Tuning || phase() == Phase::Playing)
            act(Action::ReleaseCold);
    }

    // The channel from its warm session if it can, else cold.
    void proceed(Warm warm) {
        switch (warm) {
        case Warm::None:
            startCold();
            break;
        case Warm::Ready:
            startDecoder();
            break;
        case Warm::Failed:
            fallBack(Action::GiveUpWarm, true);
            break;
        case Warm::Waiting:
            // Closing it to tune anew would cost a second session for the same channel, and a box
            // that keeps sessions it was asked to end would hold both: its key frame is near.
            enter(Phase::AwaitingKeyFrame, m_timing.handoverGraceMs);
            break;
        }
    }

    void holdKey() { enter(Phase::HeldKey, m_timing.heldTuneDelayMs); }

    void startDecoder() {
        m_step.next.handedOver = true;
        act(Action::NoteShown);
        act(Action::StartDecoder);
        enter(Phase::Starting, m_timing.handoverGraceMs);
    }

    // Gives the warm session up (closed as close says) and tunes the channel cold once it is gone.
    void fallBack(Action close, bool restart) {
        if (phase() == Phase::Starting || phase() == Phase::Live)
            act(Action::DropDecoder);
        act(close);
        m_step.next.handedOver = false;
        if (restart)
            act(Action::Restarted);
        startCold();
    }

    // The sessions the new position does not want close first; whether the box must be waited for
    // is asked once they are on their way.
    void startCold() {
        enter(Phase::AwaitingCloses);
        act(Action::Reconcile);
        act(Action::CheckBox);
    }

    void tuneWhenFree(const Facts &facts) {
        if (facts.boxLent) {
            enter(Phase::AwaitingBox, m_timing.boxReturnMs);
        } else if (!facts.mustAwaitCloses && !m_step.next.retried) {
            tuneCold();
        } else {
            enter(Phase::AwaitingCloses);
            act(Action::AwaitCloses);
        }
    }

    void tuneCold() {
        enter(Phase::Tuning);
        act(Action::TuneCold);
    }

    // The first picture (or sound) of this play: warming ahead may begin.
    void shown() {
        act(Action::NoteShown);
        act(Action::Reconcile);
    }

private:
    Step m_step;
    const Facts &m_facts;
    const Timing &m_timing;
    const qint64 m_now;
};

void play(Writer &w) {
    w.leave();
    w.state().retried = false;
    w.state().handedOver = false;
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
        // A held key steps on before a decoder or a session started now would show anything.
        w.state().handedOver = warm == Warm::Ready;
        w.holdKey();
        w.act(Action::Reconcile);
        return;
    }
    w.proceed(warm);
    w.act(Action::Reconcile);
}

void deadline(Writer &w) {
    switch (w.phase()) {
    case Phase::HeldKey:
        w.proceed(w.facts().warm);
        break;
    case Phase::AwaitingKeyFrame:
    case Phase::Starting:
        w.fallBack(Action::GiveUpWarm, true);
        break;
    case Phase::AwaitingBox:
        // The box was not given back in time: tuned all the same.
        w.tuneCold();
        break;
    default:
        break;
    }
}

bool handingOver(Phase phase) {
    return phase == Phase::HeldKey || phase == Phase::AwaitingKeyFrame || phase == Phase::Starting;
}

void warmEnded(Writer &w, bool error) {
    if (w.phase() == Phase::Live) {
        // The stream under the watched channel broke while it showed: as the cold path would say.
        w.leave();
        w.act(Action::GiveUpWarm);
        w.state().handedOver = false;
        w.enter(Phase::Idle);
        w.act(error ? Action::EmitInterrupted : Action::EmitEnded);
    } else if (handingOver(w.phase())) {
        // Nothing of it was shown: the user sees only a cold tune.
        w.fallBack(Action::GiveUpWarm, true);
    }
}

void endedByServer(Writer &w) {
    switch (w.phase()) {
    case Phase::Live:
        // Nothing failed: the channel is tuned again at once, its last picture kept on screen.
        w.fallBack(Action::CloseWarm, false);
        break;
    case Phase::HeldKey:
    case Phase::AwaitingKeyFrame:
    case Phase::Starting:
        w.fallBack(Action::CloseWarm, true);
        break;
    case Phase::Tuning:
    case Phase::Playing:
        w.tuneCold();
        break;
    default:
        break;
    }
}

void coldFailed(Writer &w, PlayerFailure failure) {
    // The watched channel comes first: refused while warm sessions were open, it is asked again,
    // once, when they are gone, and the user hears of a failure only if that one fails too. (A box
    // out of sessions may also read as unreachable to the cold path.)
    const bool refused = failure == PlayerFailure::BoxBusy || failure == PlayerFailure::BoxUnreachable;
    if (refused && w.facts().othersWarm && w.phase() == Phase::Tuning && !w.state().retried) {
        if (failure == PlayerFailure::BoxBusy)
            w.act(Action::NoteRefused);
        w.state().retried = true;
        w.act(Action::StopCold);
        w.act(Action::CloseOthers);
        w.act(Action::Restarted);
        w.tuneWhenFree(w.facts());
        return;
    }
    w.act(Action::EmitFailed);
}

bool cold(Phase phase) {
    return phase == Phase::Tuning || phase == Phase::Playing;
}

} // namespace

Step advance(const State &state, const Event &event, const Timing &timing, qint64 nowMs) {
    Writer w(state, event.facts, timing, nowMs);
    const Phase phase = state.phase;
    switch (event.kind) {
    case EventKind::Play:
        play(w);
        break;
    case EventKind::Stop:
        w.leave();
        w.state() = State();
        break;
    case EventKind::Deadline:
        if (state.deadlineMs >= 0 && nowMs >= state.deadlineMs)
            deadline(w);
        break;
    case EventKind::KeyFrameWhole:
        if (phase == Phase::AwaitingKeyFrame && event.facts.warm == Warm::Ready)
            w.startDecoder();
        break;
    case EventKind::DecoderPicture:
        if (phase == Phase::Starting) {
            w.enter(Phase::Live);
            w.shown();
        }
        if (w.phase() == Phase::Live)
            w.act(Action::EmitPicture);
        break;
    case EventKind::DecoderEnded:
        if (phase == Phase::Starting || phase == Phase::Live)
            warmEnded(w, event.error);
        break;
    case EventKind::SessionFailed:
        warmEnded(w, true);
        break;
    case EventKind::EndedByServer:
        endedByServer(w);
        break;
    case EventKind::CheckedBox:
        if (phase == Phase::AwaitingCloses)
            w.tuneWhenFree(event.facts);
        break;
    case EventKind::ClosesDone:
        if (phase == Phase::AwaitingCloses)
            w.tuneCold();
        break;
    case EventKind::BoxReturned:
        if (phase == Phase::AwaitingBox) {
            w.tuneWhenFree(event.facts);
            w.act(Action::Reconcile);
        }
        break;
    case EventKind::ColdPicture:
    case EventKind::ColdSoundOnly:
        if (!cold(phase))
            break;
        if (phase == Phase::Tuning) {
            w.enter(Phase::Playing);
            w.shown();
        }
        w.act(event.kind == EventKind::ColdPicture ? Action::EmitPicture : Action::EmitSoundOnly);
        break;
    case EventKind::ColdFailed:
        if (cold(phase))
            coldFailed(w, event.failure);
        break;
    case EventKind::ColdEnded:
        if (cold(phase))
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

} // namespace WatchRoute
