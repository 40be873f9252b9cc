#include "player/warm/Box.h"

#include <algorithm>

void Box::learnLimit(int sessions, qint64 nowMs, qint64 memoryMs) {
    const int limit = std::max(1, sessions);
    const std::optional<int> known = sessionLimit(nowMs, memoryMs);
    if (known && limit > *known)
        return;
    m_limit = limit;
    m_learnedMs = nowMs;
}

std::optional<int> Box::sessionLimit(qint64 nowMs, qint64 memoryMs) const {
    if (!m_limit)
        return std::nullopt;
    const qint64 regained = memoryMs > 0 ? (nowMs - m_learnedMs) / memoryMs : 0;
    return int(std::min<qint64>(*m_limit + regained, 1 << 16));
}

std::optional<int> Box::room(const Sessions &sessions, qint64 nowMs, qint64 memoryMs) const {
    const std::optional<int> limit = sessionLimit(nowMs, memoryMs);
    if (!limit)
        return std::nullopt;
    return std::max(0, *limit - sessions.held - sessions.closing - sessions.watched);
}
