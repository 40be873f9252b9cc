#pragma once

#include <QString>
#include <QStringList>

// The operations the rest of the program uses on the player control.
// Each of the first three may throw EOleException (player/EOleException.h).
class PlayerControl {
public:
    virtual ~PlayerControl() = default;
    virtual void stop() = 0;
    // mode 1 inserts; position 0 is the head of the play queue.
    virtual void addTarget(const QString &address, const QStringList &options, int mode, int position) = 0;
    // Plays the target most recently inserted by addTarget.
    virtual void play() = 0;
    // The streams that neighbour the one tuned in the channel list, nearest first and alternately
    // after and before it (the row after, the row before, two rows after...; an empty string for a
    // row without one): the control may keep some ready for a fast step. Changes nothing of what
    // play() shows or reports.
    virtual void setNeighbours(const QStringList &addresses) = 0;
};
