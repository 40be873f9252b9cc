#include "player/timeshift/ShiftIndex.h"

#include <algorithm>

void ShiftIndex::add(qint64 offset, qint64 arrivalNs, qint64 minSpacingNs) {
    if (!m_entries.empty() && arrivalNs - m_entries.back().arrivalNs < minSpacingNs)
        return;
    m_entries.push_back({offset, arrivalNs});
}

void ShiftIndex::dropBefore(qint64 offset) {
    while (!m_entries.empty() && m_entries.front().offset < offset)
        m_entries.pop_front();
}

bool ShiftIndex::dropOlderThan(qint64 newestNs, qint64 spanNs) {
    bool dropped = false;
    while (!m_entries.empty() && newestNs - m_entries.front().arrivalNs > spanNs) {
        m_entries.pop_front();
        dropped = true;
    }
    return dropped;
}

std::optional<ShiftIndex::Entry> ShiftIndex::atOrBeforeTime(qint64 arrivalNs) const {
    if (m_entries.empty())
        return std::nullopt;
    auto after = std::upper_bound(m_entries.begin(), m_entries.end(), arrivalNs,
                                  [](qint64 ns, const Entry &entry) { return ns < entry.arrivalNs; });
    return after == m_entries.begin() ? m_entries.front() : *std::prev(after);
}

std::optional<ShiftIndex::Entry> ShiftIndex::atOrBeforeOffset(qint64 offset) const {
    if (m_entries.empty())
        return std::nullopt;
    auto after = std::upper_bound(m_entries.begin(), m_entries.end(), offset,
                                  [](qint64 at, const Entry &entry) { return at < entry.offset; });
    return after == m_entries.begin() ? m_entries.front() : *std::prev(after);
}
