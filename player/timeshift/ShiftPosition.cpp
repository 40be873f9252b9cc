#include "player/timeshift/ShiftPosition.h"

#include <algorithm>

qint64 ShiftPosition::shownAt(qint64 nowNs) const {
    if (m_live)
        return nowNs - kLiveDelayNs;
    if (m_paused)
        return m_anchorNs;
    return m_anchorNs + (nowNs - m_sinceNs);
}

qint64 ShiftPosition::target(qint64 nowNs, qint64 deltaNs, qint64 oldestNs) const {
    const qint64 aim = shownAt(nowNs) + deltaNs;
    if (aim >= nowNs - kLiveDelayNs - kLiveMarginNs)
        return -1;
    return std::max(aim, oldestNs);
}

qint64 ShiftPosition::resumePoint(qint64 oldestNs) const {
    return std::max(m_anchorNs, oldestNs);
}

qint64 ShiftPosition::behindNs(qint64 nowNs, qint64 oldestNs) const {
    if (m_live)
        return 0;
    return std::max<qint64>(0, nowNs - kLiveDelayNs - std::max(shownAt(nowNs), oldestNs));
}

void ShiftPosition::pause(qint64 nowNs) {
    m_anchorNs = shownAt(nowNs);
    m_sinceNs = nowNs;
    m_live = false;
    m_paused = true;
}

void ShiftPosition::playFrom(qint64 nowNs, qint64 fromNs, bool paused) {
    m_anchorNs = fromNs;
    m_sinceNs = nowNs;
    m_live = false;
    m_paused = paused;
}

void ShiftPosition::resume(qint64 nowNs) {
    if (!m_paused)
        return;
    m_sinceNs = nowNs;
    m_paused = false;
}

void ShiftPosition::goLive() {
    m_live = true;
    m_paused = false;
}
