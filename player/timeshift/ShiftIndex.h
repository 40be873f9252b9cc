#pragma once

#include <QtGlobal>

#include <deque>
#include <optional>

// The places a player may start from in the kept stream, oldest first: the offset of a packet
// that starts a key frame (or, on a channel without pictures, a sound frame) and when it arrived.
// Offsets and arrival times only rise. Not thread-safe: its owner locks.
class ShiftIndex {
public:
    struct Entry {
        qint64 offset = -1;
        qint64 arrivalNs = -1;
    };

    // Starts closer than minSpacingNs to the newest one are left out, which bounds the index
    // whatever the stream: at most one entry per minSpacingNs.
    void add(qint64 offset, qint64 arrivalNs, qint64 minSpacingNs);
    // Forgets the entries whose start lies before offset (overwritten).
    void dropBefore(qint64 offset);
    // Forgets the entries older than newestNs - spanNs; true when any went.
    bool dropOlderThan(qint64 newestNs, qint64 spanNs);
    void clear() { m_entries.clear(); }

    bool isEmpty() const { return m_entries.empty(); }
    qsizetype size() const { return qsizetype(m_entries.size()); }
    const Entry &oldest() const { return m_entries.front(); }
    // The newest entry at or before arrivalNs, else the oldest; none when empty.
    std::optional<Entry> atOrBeforeTime(qint64 arrivalNs) const;
    // The newest entry at or before offset, else the oldest; none when empty.
    std::optional<Entry> atOrBeforeOffset(qint64 offset) const;

private:
    std::deque<Entry> m_entries;
};
