#pragma once

#include <QObject>
#include <QString>

// What the desktop's media controls drive: the program's own channel steps, play and stop, and
// the sound's volume. The program hands one over; the desktop services know nothing else of it.
class MediaControls : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void next() = 0;
    virtual void previous() = 0;
    // Plays the current channel again.
    virtual void play() = 0;
    virtual void stop() = 0;
    // True while a live picture plays.
    virtual bool isPlaying() const = 0;
    // The current channel as the list shows it (number and name); empty before one is chosen.
    virtual QString title() const = 0;
    // In percent: 100 is the sound as sent.
    virtual int volume() const = 0;
    virtual void setVolume(int percent) = 0;

    // Pausing and moving through the kept part of the channel, in milliseconds.
    struct Shift {
        // False while nothing of the channel is kept: no pause, no moves.
        bool available = false;
        bool paused = false;
        // How long a stretch is kept, and how far the point played is behind live.
        qint64 keptMs = 0;
        qint64 behindMs = 0;
    };
    virtual Shift shift() const { return {}; }
    virtual void pause() {}
    virtual void resume() {}
    virtual void seekBy(qint64 deltaMs) { Q_UNUSED(deltaMs); }
    // To a moment counted from the oldest kept one.
    virtual void seekTo(qint64 fromOldestMs) { Q_UNUSED(fromOldestMs); }

signals:
    void playingChanged(bool playing);
    // A pause began or ended, the point played moved, or what is kept changed.
    void shiftChanged();
    void titleChanged();
    void volumeChanged();
};
