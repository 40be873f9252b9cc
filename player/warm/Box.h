#pragma once

#include <QtGlobal>
#include <optional>

// One box on the network (one host and port): how many sessions it was seen to give at once and
// when that was learned, and whether another user (a recording) has it. Plain logic on the times
// it is given; the sessions themselves are counted by whoever holds them.
class Box {
public:
    // The sessions this player holds with the box now.
    struct Sessions {
        int held = 0;
        // Asked to close, not yet seen to go: still the box's.
        int closing = 0;
        // The watched channel's session, held or about to be asked for.
        int watched = 0;
    };

    // The box refused one more session while sessions were open: it gives that many (at least one).
    // A refusal at a load above what is known says nothing new (sessions closed meanwhile).
    void learnLimit(int sessions, qint64 nowMs, qint64 memoryMs);
    // The sessions it gives at once, once a refusal told; a limit learned long ago is tried one
    // higher for every memoryMs since (the other viewer who held the sessions may have gone).
    std::optional<int> sessionLimit(qint64 nowMs, qint64 memoryMs) const;
    // How many more sessions may be asked of it now; none when no limit is known.
    std::optional<int> room(const Sessions &sessions, qint64 nowMs, qint64 memoryMs) const;

    void lend() { m_lent = true; }
    void giveBack(qint64 nowMs) {
        m_lent = false;
        m_givenBackMs = nowMs;
    }
    bool isLent() const { return m_lent; }
    // When a recording last gave it back, -1 if never.
    qint64 givenBackMs() const { return m_givenBackMs; }

private:
    std::optional<int> m_limit;
    qint64 m_learnedMs = 0;
    bool m_lent = false;
    qint64 m_givenBackMs = -1;
};
