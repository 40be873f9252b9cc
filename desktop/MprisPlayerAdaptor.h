#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

#include <optional>

class MediaControls;

// The org.mpris.MediaPlayer2.Player interface over the program's media controls. While the channel
// is kept, pausing holds it and playing resumes, and the position runs from the oldest moment kept
// over a "track" as long as what is kept. Otherwise live television has no position and no pause
// of its own: pausing stops, and playing plays the channel again. A radio channel plays as a picture
// does.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canControl)
    Q_PROPERTY(bool CanGoPrevious READ canControl)
    Q_PROPERTY(bool CanPlay READ canControl)
    Q_PROPERTY(bool CanPause READ canSeek)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    MprisPlayerAdaptor(QObject *service, MediaControls &controls);

    QString playbackStatus() const;
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);
    // In microseconds from the oldest moment kept.
    qlonglong position() const;
    bool canSeek() const;
    bool canControl() const { return true; }
    // The volume in percent that an MPRIS volume asks for, whatever number a client sends: up to
    // far beyond any player's loudest (the player keeps to its own), none for NaN.
    static std::optional<int> percentOf(double volume);

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offsetUs);
    void SetPosition(const QDBusObjectPath &trackId, qlonglong positionUs);
    void OpenUri(const QString &) {}

signals:
    // The point played jumped, to this position in microseconds.
    void Seeked(qlonglong Position);

private:
    QDBusObjectPath trackId() const;
    // Tells the bus what a pause, a move or a new length of what is kept changed.
    void shiftChanged();
    // Tells the bus's listeners the new values of these properties.
    void propertiesChanged(const QStringList &names);

    MediaControls &m_controls;
    // A new id for each channel, so the desktop sees a new "track" at each change.
    int m_channelChanges = 0;
    bool m_wasPaused = false;
    qint64 m_wasBehindMs = 0;
};
