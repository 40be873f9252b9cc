#pragma once

#include <QtGlobal>

// Gives a time to the frames of one stream that a depayloader hands on without one (the second
// and later of several frames in one packet, as servers send AAC), from the spacing of the stamped
// ones. A multiplexer orders frames by time: a frame without one would hold up its stream for good.
class FrameStamping {
public:
    // The time for a frame stamped pts (-1 for none): pts itself when it has one, the last stamped
    // frame's time plus the spacing of frames otherwise; -1 (drop the frame) while the spacing is
    // not known yet.
    qint64 stamp(qint64 pts);

private:
    qint64 m_lastStamped = -1;
    qint64 m_spacing = -1;
    // Frames since the last stamped one, that one included.
    int m_since = 0;
};
