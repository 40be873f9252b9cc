#pragma once

#include "player/PlayTarget.h"

#include <optional>

// The player's play queue. Play always starts the target inserted last, wherever it was put, so
// that one is all the queue keeps: the others would never be read.
class PlayQueue {
public:
    static constexpr int kInsertMode = 1;
    static constexpr qsizetype kCapacity = 1;

    // Mode and position place a target in a queue of several; with one kept they change nothing.
    void insert(const PlayTarget &target, int mode, int position);
    // The target inserted last.
    const std::optional<PlayTarget> &mostRecent() const { return m_newest; }
    qsizetype size() const { return m_newest ? 1 : 0; }
    void clear() { m_newest.reset(); }

private:
    std::optional<PlayTarget> m_newest;
};
