#pragma once

#include "player/PlayTarget.h"
#include "player/StreamTrack.h"
#include "player/engine/PipelineSettings.h"
#include "player/engine/StreamFacts.h"
#include "player/engine/StreamTap.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

class ShiftControl;

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
    // What every stream is played with from now on; the stream playing takes it at once. An engine
    // that plays through pipelines overrides it to hand them the value, and calls this first.
    virtual void setSettings(const PipelineSettings &settings) { m_settings = settings; }
    const PipelineSettings &settings() const { return m_settings; }
    // Each changes one of the settings.
    void setVolume(int volume) {
        change([&](PipelineSettings &s) { s.volume = volume; });
    }
    void setMuted(bool muted) {
        change([&](PipelineSettings &s) { s.muted = muted; });
    }
    void setPictureSize(QSize size) {
        change([&](PipelineSettings &s) { s.pictureBound = size; });
    }
    void setTrackChooser(TrackChooser chooser) {
        change([&](PipelineSettings &s) { s.tracks = std::move(chooser); });
    }
    // The streams likely to be played next; an engine may prepare them. Ignored by default.
    virtual void setNeighbours(const QStringList &addresses) { Q_UNUSED(addresses); }
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
    // Plays the sound track and draws the subtitles (an empty id: none) of the stream playing,
    // by the ids streamsFound gave them, without retuning. Ignored by default. Not a setting: the
    // ids are the stream's own, and the next stream's first choice is the settings' chooser.
    virtual void selectTracks(const QString &soundId, const QString &subtitlesId) {
        Q_UNUSED(soundId);
        Q_UNUSED(subtitlesId);
    }

    // The tap in force when play() is called receives that play's stream, from its first packet,
    // until the next play or stop; a play's later packets never go to another tap. An empty tap:
    // none. Ignored by engines that have no stream to give.
    void setStreamTap(StreamTap tap) { m_tap = std::move(tap); }
    // Pausing and rewinding the watched channel, for an engine that keeps what it plays; null when
    // it keeps nothing.
    virtual ShiftControl *shiftControl() { return nullptr; }
    // What the stream playing is made of and how it arrives, for the user to read; nothing known
    // by default. The address and the tracks are the caller's to add.
    virtual StreamFacts streamFacts() { return {}; }

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
    // The user holds the picture (a pause): no new picture comes meanwhile, and none is missed.
    void held(bool held);

private:
    void change(const std::function<void(PipelineSettings &)> &edit) {
        PipelineSettings changed = m_settings;
        edit(changed);
        setSettings(changed);
    }

protected:
    const StreamTap &streamTap() const { return m_tap; }

private:
    PipelineSettings m_settings;
    StreamTap m_tap;
};
