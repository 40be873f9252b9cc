#pragma once

#include "player/timeshift/ShiftControl.h"

#include <QString>

// What the picture tells of pausing and moving through the kept part of the channel: "Pause −00:42"
// while paused, "Différé −00:42" with the bar of the kept span for a while after each move behind
// live, "Direct" on coming back to live, and why a pause could not be done. The last thing that
// happened decides what is shown. Times are the caller's clock, in milliseconds.
class ShiftIndicator {
public:
    static constexpr qint64 kMovedMs = 4000;
    static constexpr qint64 kLiveMs = 2000;
    static constexpr qint64 kUnavailableMs = 3000;
    // The time behind live changes every second: redrawn twice as often, so no second is skipped.
    static constexpr qint64 kRefreshMs = 500;

    struct Shown {
        // Empty when nothing is shown.
        QString text;
        // Where the point played lies in the kept span, 0 the oldest moment and 1 live; below 0 for
        // no bar.
        double barFraction = -1.0;
    };

    void moved(qint64 nowMs);
    void wentLive(qint64 nowMs);
    void unavailable(const QString &why, qint64 nowMs);

    Shown shown(const ShiftControl::Position &position, qint64 nowMs) const;
    // When what is shown next changes by itself (a time to count on, or the end of a text); -1 when
    // it will not.
    qint64 nextChangeMs(const ShiftControl::Position &position, qint64 nowMs) const;

    // "−00:42", "−1:02:03" past an hour.
    static QString behindText(qint64 behindMs);

private:
    enum class Last { Nothing, Moved, Live, Unavailable };
    Last m_last = Last::Nothing;
    qint64 m_untilMs = -1;
    QString m_why;
};
