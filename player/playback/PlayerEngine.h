#pragma once

#include "player/PlayTarget.h"
#include "player/StreamTrack.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

// Why a stream stopped or never started, as the user is told.
enum class PlayerFailure {
    BoxUnreachable,    // nothing answers at the box's address
    HostUnknown,       // the box's host name does not resolve
    ChannelNotFound,   // the box answers but has no such stream
    NoAnswer,          // connected, but no picture ever came
    StreamInterrupted, // the picture was playing and stopped
    Unplayable,        // the stream came but cannot be decoded or shown
    BoxBusy,           // the box refuses another session (453, 454 or 503)
};

// The media backend behind the player control. Calls return at once; what follows arrives
// through the signals, on the thread that owns the engine, for the stream played last only.
class PlayerEngine : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Stops whatever plays and starts the target.
    virtual void play(const PlayTarget &target) = 0;
    virtual void stop() = 0;
    // Stops the stream for a retry of the same target a few seconds on: an engine may keep what it
    // prepared around it meanwhile. A plain stop() unless the engine keeps something.
    virtual void stopForRetry() { stop(); }
    // 0 to 200; 100 leaves the stream's own level.
    virtual void setVolume(int volume) = 0;
    // The streams likely to be played next; an engine may prepare them. Ignored by default.
    virtual void setNeighbours(const QStringList &addresses) { Q_UNUSED(addresses); }
    // The size the picture is shown at: an engine may deliver pictures no larger than that.
    virtual void setPictureSize(QSize) {}
    // Another user (a recording) takes a session of the box of address (its host and port) first:
    // the engine, stopped, opens none of its own there until boxReturned(), and calls lent on its
    // own thread once that box has seen every session it held close. A play on that box meanwhile
    // waits, connecting, for it to be given back; other boxes are not concerned.
    virtual void lendBox(const QString &address, std::function<void()> lent) {
        Q_UNUSED(address);
        lent();
    }
    // The other user's sessions on the box of address are closed: that box is this engine's again.
    virtual void boxReturned(const QString &address) { Q_UNUSED(address); }
    // Asked of each stream played from now on as soon as its tracks are known, before any sound
    // plays, so that the first sound heard is the chosen track's. Ignored by default.
    virtual void setTrackChooser(TrackChooser chooser) { Q_UNUSED(chooser); }
    // Plays the sound track and draws the subtitles (an empty id: none) of the stream playing,
    // by the ids streamsFound gave them, without retuning. Ignored by default.
    virtual void selectTracks(const QString &soundId, const QString &subtitlesId) {
        Q_UNUSED(soundId);
        Q_UNUSED(subtitlesId);
    }

signals:
    // A decoded picture; pixelAspectRatio is the width of one pixel over its height.
    void frameReady(const QImage &frame, qreal pixelAspectRatio);
    // A picture kept from before the tune (a warm channel's key frame): shown at once, but it
    // says nothing of whether the stream plays.
    void stillReady(const QImage &frame, qreal pixelAspectRatio);
    // What was being tried is given up and the stream is tuned anew: the wait for its first
    // picture starts again.
    void restarted();
    // Reported once per play; detail names what failed (a host, GStreamer's own text).
    void failed(PlayerFailure failure, const QString &detail);
    void endOfStream();
    // The stream plays and has sound but no picture to show (a radio channel).
    void soundOnly();
    // The sound and subtitle tracks the stream carries, once its streams are settled.
    void streamsFound(const QList<StreamTrack> &tracks);
};
