#include "player/PlayQueue.h"

#include <algorithm>

void PlayQueue::insert(const PlayTarget &target, int mode, int position) {
    const qsizetype at =
        mode == kInsertMode ? std::clamp<qsizetype>(position, 0, m_entries.size()) : m_entries.size();
    m_entries.insert(at, Entry{target, m_nextSerial++});
    while (m_entries.size() > kCapacity) {
        const auto oldest =
            std::min_element(m_entries.begin(), m_entries.end(),
                             [](const Entry &a, const Entry &b) { return a.serial < b.serial; });
        m_entries.erase(oldest);
    }
}

std::optional<PlayTarget> PlayQueue::mostRecent() const {
    if (m_entries.isEmpty())
        return std::nullopt;
    const auto newest = std::max_element(m_entries.begin(), m_entries.end(),
                                         [](const Entry &a, const Entry &b) { return a.serial < b.serial; });
    return newest->target;
}

QList<QString> PlayQueue::addresses() const {
    QList<QString> result;
    for (const Entry &entry : m_entries)
        result.append(entry.target.address);
    return result;
}
