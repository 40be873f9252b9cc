#pragma once

#include "player/PlayTarget.h"
#include "player/TrackChoice.h"
#include "player/engine/PlaybackSupervisor.h"
#include "player/engine/PlayerEngine.h"
#include "player/recording/RecordingSession.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <memory>

// What the player control plays and the state the user sees of it, without a window: the engine
// and its supervisor for the watched channel, the recorder's turn on the box, the line of text,
// the volume and the tracks. A target queued with a recording chain is written to a file instead
// of shown.
class EarlyTune;

class PlayerController : public QObject {
    Q_OBJECT
public:
    // The engine the program plays with: GStreamer, keeping neighbouring channels warm.
    static std::unique_ptr<PlayerEngine> gstreamerEngine(EarlyTune *earlyTune = nullptr);
    // The recorder loaded from its own library when first needed.
    static RecordingSession::EngineFactory loadedRecorder();

    PlayerController(std::unique_ptr<PlayerEngine> engine, RecordingSession::EngineFactory makeRecorder,
                     QObject *parent = nullptr);
    ~PlayerController() override;

    void play(const PlayTarget &target);
    void stop();
    void setNeighbours(const QStringList &addresses);
    // A recording of its own takes sessions of the box of address: the neighbours there give theirs
    // back and none is warmed there until it is released. Counted: one release per reservation.
    void reserveBox(const QString &address);
    void releaseBox(const QString &address);
    // A target refused before it could play: the line says why instead of the picture going blank,
    // until something else is played or stopped.
    void refuse(const QString &why);
    // The size the picture is shown at, for the engine to scale to; given again before each play, as
    // a window not shown yet has had no resize.
    void setPictureSize(QSize size);

    // The line shown over the picture; empty while a picture plays or when stopped.
    QString statusText() const;
    // True while a live picture of a channel plays.
    bool isPlaying() const { return m_playing; }
    // True while a radio channel plays: sound, no picture. Told by statusChanged.
    bool isSoundOnly() const { return m_supervisor.isSoundOnly(); }
    bool isRecording() const { return m_recording.isRecording(); }
    void setSupervisionTiming(const PlaybackSupervisor::Timing &timing) { m_supervisor.setTiming(timing); }
    bool autoLoop() const { return m_autoLoop; }
    void setAutoLoop(bool autoLoop);

    int volume() const { return m_volume; }
    // 0 to 200; kept for every stream played next.
    void setVolume(int volume);
    // Muting silences the sound and keeps the volume, which unmuting brings back.
    bool isMuted() const { return m_muted; }
    void setMuted(bool muted);

    // The sound and subtitle tracks of the channel playing, named as the menus show them (none until
    // its streams are found), and the places of those playing (-1: none).
    QStringList soundTracks() const;
    QStringList subtitleTracks() const;
    int currentSound() const { return m_tracks.selection().sound; }
    int currentSubtitles() const { return m_tracks.selection().subtitles; }
    // Switches without retuning; the choice holds for this channel until the program ends.
    void chooseSound(int place);
    // -1 for none.
    void chooseSubtitles(int place);
    // Pausing and rewinding the channel watched; null when the engine keeps nothing of it.
    ShiftControl *shift() { return m_engine->shiftControl(); }
    // The engine it plays through, for what it can tell of the stream playing.
    PlayerEngine &engine() { return *m_engine; }
    // The stream's facts with the address played and its sound tracks as the menu names them.
    StreamFacts streamFacts();

signals:
    // A picture to show (a still kept from before the tune as well); pixelAspectRatio is the width
    // of one pixel over its height.
    void pictureReady(const QImage &frame, qreal pixelAspectRatio);
    void pictureCleared();
    void statusChanged(const QString &text);
    // The volume or the mute changed.
    void volumeChanged();
    // How far the recording under way has got: time as the file will play it, bytes on disk.
    void recordingProgress(qint64 elapsedMs, qint64 bytesWritten);
    // A recording's file is complete: stopped (ok) or ended by a failure, message saying why.
    void recordingFinished(const QString &path, bool ok, const QString &message);
    // True while a live picture of a channel plays; false when stopped, failed, or nothing shown yet.
    void playingChanged(bool playing);
    // The channel's tracks were found, or are forgotten (another channel, stopped), or one was chosen.
    void tracksChanged();

private:
    void record(const PlayTarget &target);
    void showPicture(const QImage &frame, qreal pixelAspectRatio);
    void onStatusChanged();
    void updatePlaying();
    void cancelBoxLoan();
    void applyVolume();
    void channelChanged(const QString &address);
    void onStreamsFound(const QList<StreamTrack> &tracks);
    void applyTracks(TrackChoice::Selection selection);
    static TrackChooser chooserFor(const TrackChoice &choice);

    std::unique_ptr<PlayerEngine> m_engine;
    PlaybackSupervisor m_supervisor;
    RecordingSession m_recording;
    TrackChoice m_tracks;
    bool m_autoLoop = false;
    int m_volume = 50;
    bool m_muted = false;
    QString m_shownStatus;
    QString m_refusal;
    bool m_playing = false;
    // A recording waits for the engine to have closed its sessions; a newer play or stop voids it.
    quint64 m_recordingTicket = 0;
    bool m_awaitingBox = false;
    // The box the last recording was lent, by an address of it, and the neighbours last offered.
    QString m_lentAddress;
    QStringList m_neighbours;
    QStringList m_reserved;
};
