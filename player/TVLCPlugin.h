#pragma once

#include "player/PictureOverlay.h"
#include "player/PlayQueue.h"
#include "player/PlayerControl.h"
#include "player/TrackChoice.h"
#include "player/playback/PlaybackSupervisor.h"
#include "player/playback/PlayerEngine.h"
#include "player/recording/RecordingSession.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <memory>

class EarlyTune;

// The player control: a window that plays the queued stream inside its rectangle, the picture
// scaled with its shape kept and black bars around it, and a line of text in French while it
// connects or when the stream fails. A stream queued with a recording chain is written to a file
// instead of shown, the line saying how far the recording has got.
class TVLCPlugin : public QWidget, public PlayerControl {
    Q_OBJECT
    Q_PROPERTY(bool AutoPlay READ autoPlay WRITE setAutoPlay)
    Q_PROPERTY(bool AutoLoop READ autoLoop WRITE setAutoLoop)
    Q_PROPERTY(int Volume READ volume WRITE setVolume)
    Q_PROPERTY(QString MRL READ mrl WRITE setMrl)
    Q_PROPERTY(bool Visible READ isVisible WRITE setVisible)
public:
    // Plays through GStreamer, taking earlyTune's pipeline over when it was begun for the first play;
    // throws EOleException when GStreamer or a plugin it needs is missing.
    explicit TVLCPlugin(QWidget *parent = nullptr, EarlyTune *earlyTune = nullptr);
    TVLCPlugin(std::unique_ptr<PlayerEngine> engine, QWidget *parent = nullptr);
    TVLCPlugin(std::unique_ptr<PlayerEngine> engine, RecordingSession::EngineFactory makeRecorder,
               QWidget *parent = nullptr);
    ~TVLCPlugin() override;

    void stop() override;
    void addTarget(const QString &address, const QStringList &options, int mode, int position) override;
    void play() override;
    void setNeighbours(const QStringList &addresses) override;

    bool autoPlay() const { return m_autoPlay; }
    void setAutoPlay(bool autoPlay) { m_autoPlay = autoPlay; }
    bool autoLoop() const { return m_autoLoop; }
    void setAutoLoop(bool autoLoop);
    int volume() const { return m_volume; }
    void setVolume(int volume);
    // Muting silences the sound and keeps the volume, which unmuting brings back.
    bool isMuted() const { return m_muted; }
    void setMuted(bool muted);
    QString mrl() const { return m_mrl; }
    // With AutoPlay on, a non-empty MRL is queued and played at once.
    void setMrl(const QString &mrl);

    // The line shown over the picture; empty while a picture plays or when stopped.
    QString statusText() const;
    // True while a live picture of a channel plays.
    bool isPlaying() const { return m_playing; }
    // True while a radio channel plays: sound, no picture. Told by statusChanged.
    bool isSoundOnly() const { return m_supervisor.isSoundOnly(); }
    bool isRecording() const { return m_recording.isRecording(); }
    const PlayQueue &queue() const { return m_queue; }
    void setSupervisionTiming(const PlaybackSupervisor::Timing &timing) { m_supervisor.setTiming(timing); }

    // Drawn over the picture, never over the line above: the channel banner for a few seconds, a
    // short notice for two, the digits being typed until cleared with an empty text.
    void showBanner(const PictureOverlay::Banner &banner);
    void showNotice(const QString &text);
    void setTypedDigits(const QString &digits);
    // What the overlay shows at this moment: banner number and name, the guide's programme now and
    // next ("10:30–11:00  Title"), notice, typed digits, in that order, leaving out what is not shown.
    QStringList overlayTexts() const;

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

signals:
    // A paint put a picture of the stream on screen.
    void framePainted();
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

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showFrame(const QImage &frame, qreal pixelAspectRatio);
    void clearPicture();
    QRect pictureRect() const;
    void onStatusChanged();
    void updatePlaying();
    void cancelBoxLoan();
    void applyVolume();
    void overlayChanged();
    QRect statusRect(QPainter &painter, const QString &status) const;
    void channelChanged(const QString &address);
    void onStreamsFound(const QList<StreamTrack> &tracks);
    void applyTracks(TrackChoice::Selection selection);
    static TrackChooser chooserFor(const TrackChoice &choice);

    std::unique_ptr<PlayerEngine> m_engine;
    PlaybackSupervisor m_supervisor;
    RecordingSession m_recording;
    PlayQueue m_queue;
    QImage m_frame;
    qreal m_pixelAspectRatio = 1.0;
    bool m_autoPlay = true;
    bool m_autoLoop = false;
    int m_volume = 50;
    bool m_muted = false;
    PictureOverlay m_overlay;
    TrackChoice m_tracks;
    QElapsedTimer m_clock;
    // Repaints when an overlay element goes away by itself.
    QTimer m_overlayExpiry;
    QString m_mrl;
    QString m_shownStatus;
    // Why the last target was refused, until something else is played or stopped.
    QString m_refusal;
    bool m_playing = false;
    // A recording waits for the engine to have closed its sessions; a newer play or stop voids it.
    quint64 m_recordingTicket = 0;
    bool m_awaitingBox = false;
};
