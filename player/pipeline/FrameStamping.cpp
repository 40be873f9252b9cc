#include "player/pipeline/FrameStamping.h"

qint64 FrameStamping::stamp(qint64 pts) {
    if (pts >= 0) {
        // Frames given out of order (video with B-frames) say nothing of the spacing.
        if (m_lastStamped >= 0 && pts > m_lastStamped && m_since > 0)
            m_spacing = (pts - m_lastStamped) / m_since;
        m_lastStamped = pts;
        m_since = 1;
        return pts;
    }
    const int since = m_since++;
    if (m_spacing < 0 || since == 0)
        return -1;
    return m_lastStamped + m_spacing * since;
}
