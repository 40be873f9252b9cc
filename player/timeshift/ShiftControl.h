#pragma once

#include <QObject>
#include <QString>

// Pausing and moving through the kept part of the watched channel, as the keys and the desktop's
// media controls ask for it. Times are in milliseconds.
class ShiftControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    struct Position {
        // How long a stretch of the channel is kept (0 when none).
        qint64 keptMs = 0;
        // How far the point played (or held) is behind live; 0 when live.
        qint64 behindMs = 0;
        bool paused = false;
    };
    virtual Position position() const = 0;

    // Space: pauses, or resumes behind live from the picture held.
    virtual void togglePause() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Moves by deltaMs (negative: back); past live goes live, before the oldest kept moment stops
    // there. A pause holds.
    virtual void seekBy(qint64 deltaMs) = 0;
    // To a moment counted from the oldest kept one.
    virtual void seekTo(qint64 fromOldestMs) = 0;
    virtual void toOldest() = 0;
    virtual void toLive() = 0;

signals:
    // The position moved by a command, a pause began or ended, or what is kept changed its length
    // a lot (another channel): for the overlay and the media controls.
    void changed();
    // Live is reached again by a command (not by a change of channel).
    void wentLive();
    // A pause or move was asked but cannot be done; why is the user's text ("espace disque
    // insuffisant"...).
    void unavailable(const QString &why);
};
