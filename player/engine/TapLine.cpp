#include "player/engine/TapLine.h"

TapLine::TapLine(StreamTap tap) : m_tap(std::move(tap)) {}

void TapLine::give(StreamTap tap) {
    if (!tap) {
        close();
        return;
    }
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return;
    m_tap = std::move(tap);
    // A stream whose start was lost goes on from where it is: its programme tables come again.
    if (!m_overflowed) {
        for (const Held &held : std::as_const(m_held))
            m_tap(held.packets, held.arrivalNs);
        m_delivered = !m_held.isEmpty();
    }
    m_held.clear();
    m_heldBytes = 0;
}

void TapLine::deliver(const QByteArray &packets, qint64 arrivalNs) {
    std::lock_guard lock(m_mutex);
    if (m_closed || packets.isEmpty())
        return;
    if (m_tap) {
        m_tap(packets, arrivalNs);
        m_delivered = true;
        return;
    }
    if (m_overflowed || m_heldBytes + packets.size() > kMaxHeldBytes) {
        m_overflowed = true;
        m_held.clear();
        m_heldBytes = 0;
        return;
    }
    m_held.append({packets, arrivalNs});
    m_heldBytes += packets.size();
}

void TapLine::close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_closedFlag = true;
    m_tap = nullptr;
    m_held.clear();
    m_heldBytes = 0;
}

bool TapLine::hasDelivered() const {
    std::lock_guard lock(m_mutex);
    return m_delivered;
}
