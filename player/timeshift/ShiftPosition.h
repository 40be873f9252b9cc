#pragma once

#include <QtGlobal>

// Where the picture shown stands in the watched channel's arrival time, as pauses and moves leave
// it: live, held, or playing behind live from a moment. Plain arithmetic on times the caller gives
// (nanoseconds of the arrival clock), so it can be tried with a clock of the test's own.
class ShiftPosition {
public:
    // A live picture shows what arrived this long before (the jitter buffer and the decoder).
    static constexpr qint64 kLiveDelayNs = 150'000'000;
    // A move that lands this close to live goes live.
    static constexpr qint64 kLiveMarginNs = 1'000'000'000;

    bool isLive() const { return m_live; }
    bool isPaused() const { return m_paused; }
    // The arrival time of the picture shown at now.
    qint64 shownAt(qint64 nowNs) const;
    // What a move of deltaNs from the picture shown aims at, kept within [oldestNs, live]; live is
    // -1 (a move past or close to live goes live).
    qint64 target(qint64 nowNs, qint64 deltaNs, qint64 oldestNs) const;
    // Where a resume plays from: the moment held, or the oldest kept once that one is gone.
    qint64 resumePoint(qint64 oldestNs) const;
    // How far behind live the picture shown is, never before the oldest kept moment.
    qint64 behindNs(qint64 nowNs, qint64 oldestNs) const;

    void pause(qint64 nowNs);
    // Plays (or holds, when paused) from the moment fromNs.
    void playFrom(qint64 nowNs, qint64 fromNs, bool paused);
    void resume(qint64 nowNs);
    void goLive();

private:
    bool m_live = true;
    bool m_paused = false;
    // The moment shown at m_sinceNs (held there while paused).
    qint64 m_anchorNs = 0;
    qint64 m_sinceNs = 0;
};
