#pragma once

#include "player/PictureView.h"
#include "player/PlayQueue.h"
#include "player/PlayerControl.h"
#include "player/PlayerController.h"

#include <memory>

class EarlyTune;

// The player control the windows hold: the calls they tune with and the control's stored settings,
// in front of the controller that plays (what plays, what the user is told) and the picture it
// shows in its rectangle. A stream queued with a recording chain is written to a file instead of
// shown, the line saying how far the recording has got.
class TVLCPlugin : public PictureView, public PlayerControl {
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
    // Reads the address and options into the one target kept; a refused one leaves it unchanged.
    void addTarget(const QString &address, const QStringList &options, int mode, int position) override;
    void play() override;
    void setNeighbours(const QStringList &addresses) override;

    PlayerController &controller() { return m_controller; }
    // Pausing and rewinding the channel watched; null when nothing of it is kept.
    ShiftControl *shift() { return m_controller.shift(); }
    const PlayerController &controller() const { return m_controller; }

    bool autoPlay() const { return m_autoPlay; }
    void setAutoPlay(bool autoPlay) { m_autoPlay = autoPlay; }
    bool autoLoop() const { return m_controller.autoLoop(); }
    void setAutoLoop(bool autoLoop) { m_controller.setAutoLoop(autoLoop); }
    int volume() const { return m_controller.volume(); }
    void setVolume(int volume) { m_controller.setVolume(volume); }
    bool isMuted() const { return m_controller.isMuted(); }
    void setMuted(bool muted) { m_controller.setMuted(muted); }
    QString mrl() const { return m_mrl; }
    // With AutoPlay on, a non-empty MRL is queued and played at once.
    void setMrl(const QString &mrl);

    QString statusText() const { return m_controller.statusText(); }
    bool isPlaying() const { return m_controller.isPlaying(); }
    bool isSoundOnly() const { return m_controller.isSoundOnly(); }
    bool isRecording() const { return m_controller.isRecording(); }
    const PlayQueue &queue() const { return m_queue; }
    void setSupervisionTiming(const PlaybackSupervisor::Timing &timing) {
        m_controller.setSupervisionTiming(timing);
    }

    QStringList soundTracks() const { return m_controller.soundTracks(); }
    QStringList subtitleTracks() const { return m_controller.subtitleTracks(); }
    int currentSound() const { return m_controller.currentSound(); }
    int currentSubtitles() const { return m_controller.currentSubtitles(); }
    void chooseSound(int place) { m_controller.chooseSound(place); }
    void chooseSubtitles(int place) { m_controller.chooseSubtitles(place); }

signals:
    // The controller's, told again for those holding the control.
    void statusChanged(const QString &text);
    void volumeChanged();
    void recordingProgress(qint64 elapsedMs, qint64 bytesWritten);
    void recordingFinished(const QString &path, bool ok, const QString &message);
    void playingChanged(bool playing);
    void tracksChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    PlayerController m_controller;
    PlayQueue m_queue;
    bool m_autoPlay = true;
    QString m_mrl;
    // The last call was stop: the target added next is a channel chosen in the list.
    bool m_afterStop = false;
};
