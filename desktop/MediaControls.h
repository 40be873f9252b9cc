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

signals:
    void playingChanged(bool playing);
    void titleChanged();
    void volumeChanged();
};
