#pragma once

#include "player/warm/WatchRoute.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

// The watched channel's route tried as tables: (phase, event, time) → (phase, actions), on a
// clock of the test's own.
namespace RouteTable {

using namespace WatchRoute;
using A = Action;
using E = EventKind;
using P = Phase;
inline const Timing kTiming{200, 1500, 5000, 1000, 250};
constexpr qint64 kNow = 10000;

// In the order of Action, for messages a reader can follow.
inline const char *const kActionNames[] = {
    "CloseWarm",      "GiveUpWarm",  "EndWarm",       "ReconcileWhenClosed", "ShowStill",  "StartDecoder",
    "DropDecoder",    "ReleaseCold", "StopCold",      "CloseOthers",         "CheckBox",   "AwaitCloses",
    "TuneCold",       "NoteShown",   "NoteRecovered", "NoteRefused",         "Reconcile",  "Restarted",
    "EmitStill",      "EmitPicture", "EmitSoundOnly", "EmitTracks",          "EmitFailed", "EmitEnded",
    "EmitInterrupted"};
static_assert(std::size(kActionNames) == int(A::EmitInterrupted) + 1);

inline std::string spelled(const QList<Action> &actions) {
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

inline State in(Phase phase, qint64 deadlineMs = -1) {
    State state;
    state.phase = phase;
    state.deadlineMs = deadlineMs;
    return state;
}

inline State with(State state, void (*change)(State &)) {
    change(state);
    return state;
}

inline Event event(EventKind kind, Facts facts = {}, bool error = false) {
    Event e(kind, error);
    e.facts = facts;
    return e;
}

inline Event failure(PlayerFailure why, Facts facts = {}) {
    Event e(E::ColdFailed, false, why);
    e.facts = facts;
    return e;
}

inline Facts warm(Warm w, bool keyHeld = false) {
    Facts facts;
    facts.warm = w;
    facts.keyHeld = keyHeld;
    return facts;
}

inline Step checkRow(const Row &row) {
    SCOPED_TRACE(row.what);
    const Step step = advance(row.from, row.event, kTiming, row.nowMs);
    EXPECT_EQ(std::string(name(step.next.phase)), name(row.to));
    EXPECT_EQ(spelled(step.actions), spelled(row.actions));
    EXPECT_EQ(step.next.deadlineMs, row.deadlineMs);
    return step;
}

inline void check(const std::vector<Row> &rows) {
    for (const Row &row : rows)
        checkRow(row);
}

} // namespace RouteTable
