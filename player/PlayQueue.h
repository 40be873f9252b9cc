#pragma once

#include "player/PlayTarget.h"

#include <QList>
#include <optional>

// The player's play queue. Every tune inserts a target and plays it, so only the few most recently
// inserted are kept: an unbounded queue would grow by one item per channel change for the whole run.
class PlayQueue {
public:
    static constexpr int kInsertMode = 1;
    static constexpr qsizetype kCapacity = 4;

    // Mode 1 inserts at position (0 is the head; past the end appends); other modes append.
    void insert(const PlayTarget &target, int mode, int position);
    // The target inserted last, whatever its place in the queue.
    std::optional<PlayTarget> mostRecent() const;
    qsizetype size() const { return m_entries.size(); }
    // The addresses from head to tail.
    QList<QString> addresses() const;
    void clear() { m_entries.clear(); }

private:
    struct Entry {
        PlayTarget target;
        quint64 serial;
    };
    QList<Entry> m_entries;
    quint64 m_nextSerial = 0;
};
