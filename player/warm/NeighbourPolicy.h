#pragma once

#include "player/warm/Boxes.h"
#include "player/warm/WarmFailure.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// Which neighbouring channels to keep warm, from what the engine tells it: the rows offered around
// the watched one, each step and when it came, what failed and why, how many sessions a box held
// when it refused one, which box a recording has. Each box (host and port) keeps its own limit and
// its own lending. Plain logic on the times it is given, so each rule can be tried on a clock of the
// caller's.
class NeighbourPolicy {
public:
    struct Rules {
        // At rest: the next and the previous row, three times the watched channel's bitrate in all.
        int restingNeighbours = 2;
        // While a key is held: three rows ahead and the one just left, five times the bitrate in all.
        int steppingNeighbours = 4;
        // At rest, besides those, the channel watched before when it is offered: going back to it
        // is a step too. Counted against each box's limit like the others.
        int returnNeighbours = 1;
        // Steps one way this close together are a held key.
        qint64 steppingGapMs = 700;
        // Without a channel change this long nobody is zapping: warmth lapses until the next one.
        qint64 lapseMs = 10 * 60 * 1000;
        // A neighbour that broke, or that the box had no session for, is left alone this long.
        qint64 brokenCoolMs = 30 * 1000;
        // A neighbour the server ended is reopened at once, unless it ended this soon after it opened.
        qint64 endedSoonMs = 5000;
        // A neighbour that cannot be warmed (no such stream, a form not held, never ready) longer.
        qint64 unwarmableCoolMs = 5 * 60 * 1000;
        // An open neighbour not ready this long after its first packet (or silent this long after
        // it opened) will not be: some two GOPs of the box, and a margin.
        qint64 readyWithinMs = 3000;
        // A limit learned from a refusal is tried one higher after this long without another: the
        // second viewer who held the sessions may have gone.
        qint64 limitMemoryMs = 10 * 60 * 1000;
    };
    // The sessions of the failed one's box besides it: all of this player's there (watched, warm,
    // still closing) and how many of them were warm ones.
    struct BoxLoad {
        int sessions = 0;
        int warm = 0;
    };

    void setRules(const Rules &rules) { m_rules = rules; }
    const Rules &rules() const { return m_rules; }

    // Nearest first, alternately after and before the watched row (an empty string for none), then
    // perhaps the channel watched before it: it is warmed only if offered.
    void offer(const QStringList &addresses) { m_offered = addresses; }
    // A play of address: a channel change, perhaps one more repeat of a held key. The watched
    // channel played again (tuned anew after its server ended it) is no step.
    void noteStep(const QString &address, qint64 nowMs);
    // The watched channel shows (or a warm session's picture stands for it): warming may start.
    void noteShown() { m_shown = true; }
    void noteStopped();
    // The watched channel shows again after a failure: the box is back, and what broke with it may
    // be warmed again at once.
    void noteRecovered();
    // While another user (a recording) has the box of address, nothing is warmed on it; the
    // neighbours of the channel last watched stay warm on the other boxes meanwhile.
    void lendBox(const QString &address) { m_boxes.of(address).lend(); }
    void boxReturned(const QString &address, qint64 nowMs) { m_boxes.of(address).giveBack(nowMs); }
    bool boxLent(const QString &address) const { return m_boxes.known(address).isLent(); }
    // When a recording last gave the box of address back, -1 if never.
    qint64 boxReturnedAt(const QString &address) const { return m_boxes.known(address).givenBackMs(); }

    // A warm session for address failed, or was never given.
    void noteFailure(const QString &address, WarmFailure failure, BoxLoad load, qint64 nowMs);
    // The server ended a warm session opened at openedMs: no fault, unless it does so at once.
    void noteEnded(const QString &address, qint64 openedMs, qint64 nowMs);
    // The box refused the watched channel (address) a session.
    void noteWatchedRefused(const QString &address, BoxLoad load, qint64 nowMs);

    // The addresses to hold warm now, the most useful first; never the watched one. Sessions not
    // wanted are closed at once; wanted ones are opened only when mayOpen().
    QStringList wanted(qint64 nowMs) const;
    bool mayOpen(qint64 nowMs) const;
    // How many sessions the box of address gives at once, once a refusal told.
    std::optional<int> sessionLimit(const QString &address, qint64 nowMs) const;
    // How many more sessions may be asked of the box of address, holding sessions there now.
    std::optional<int> room(const QString &address, const Box::Sessions &sessions, qint64 nowMs) const;
    bool keyHeld(qint64 nowMs) const;
    bool coolingDown(const QString &address, qint64 nowMs) const;
    // Whether some neighbour waits for its cool-down to end.
    bool anyCoolingDown(qint64 nowMs) const;
    // Whether a neighbour opened at openedMs, its first packet at firstPacketMs (-1: none yet), and
    // still not ready should be given up.
    bool overdue(qint64 openedMs, qint64 firstPacketMs, qint64 nowMs) const;

private:
    struct CoolDown {
        qint64 untilMs = 0;
        // Broken or refused: the box's trouble, over once the box is back.
        bool transient = false;
    };
    void coolDown(const QString &address, qint64 forMs, bool transient, qint64 nowMs);
    void learnLimit(const QString &address, int sessions, qint64 nowMs);
    // How many of the neighbours may be warm on the box of address, at most.
    std::optional<int> warmLimit(const QString &address, qint64 nowMs) const;

    Rules m_rules;
    QStringList m_offered;
    QString m_watched;
    // The channel watched last, stopped or not, and the one watched before it.
    QString m_left;
    QString m_before;
    bool m_shown = false;
    // The last step's direction (1 after, -1 before, 0 elsewhere), when it came, how many came one
    // way, and when the channel last changed at all.
    int m_direction = 0;
    qint64 m_lastStepMs = -1;
    int m_stepsOneWay = 0;
    QHash<QString, CoolDown> m_coolDowns;
    Boxes m_boxes;
};
