#include "player/ByteRate.h"

#include <algorithm>

void ByteRate::add(qint64 nowMs, qint64 bytes) {
    const qint64 second = nowMs / 1000;
    if (m_first < 0) {
        m_first = second;
        m_last = second;
    }
    // The seconds skipped since the last byte, silent, are counted as such.
    for (qint64 s = m_last + 1; s <= second && s <= m_last + qint64(m_bytes.size()); ++s)
        m_bytes[size_t(s % qint64(m_bytes.size()))] = 0;
    m_last = std::max(m_last, second);
    m_bytes[size_t(second % qint64(m_bytes.size()))] += bytes;
}

qint64 ByteRate::bitsPerSecond(qint64 nowMs) const {
    const qint64 current = nowMs / 1000;
    if (m_first < 0 || current <= m_first)
        return -1;
    const qint64 from = std::max(m_first, current - kSeconds);
    qint64 bytes = 0;
    for (qint64 s = from; s < current; ++s) {
        // A second after the last byte, or one whose slot was since reused, had nothing.
        if (s <= m_last && m_last - s < qint64(m_bytes.size()))
            bytes += m_bytes[size_t(s % qint64(m_bytes.size()))];
    }
    return bytes * 8 / (current - from);
}
