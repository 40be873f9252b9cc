#include "desktop/MprisPlayerAdaptor.h"

#include "desktop/MediaControls.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <algorithm>
#include <cmath>
#include <utility>

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject *service, MediaControls &controls)
    : QDBusAbstractAdaptor(service), m_controls(controls) {
    connect(&controls, &MediaControls::playingChanged, this,
            [this] { propertiesChanged({QStringLiteral("PlaybackStatus")}); });
    connect(&controls, &MediaControls::titleChanged, this, [this] {
        ++m_channelChanges;
        propertiesChanged({QStringLiteral("Metadata")});
    });
    connect(&controls, &MediaControls::volumeChanged, this,
            [this] { propertiesChanged({QStringLiteral("Volume")}); });
    connect(&controls, &MediaControls::shiftChanged, this, &MprisPlayerAdaptor::shiftChanged);
}

QString MprisPlayerAdaptor::playbackStatus() const {
    const MediaControls::Shift shift = m_controls.shift();
    if (shift.available && shift.paused)
        return QStringLiteral("Paused");
    return m_controls.isPlaying() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QDBusObjectPath MprisPlayerAdaptor::trackId() const {
    if (m_controls.title().isEmpty())
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(QStringLiteral("/org/halcyontv/Player/Channel%1").arg(m_channelChanges));
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    const QString title = m_controls.title();
    QVariantMap values{{QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId())}};
    if (!title.isEmpty())
        values.insert(QStringLiteral("xesam:title"), title);
    // The start-up channel is kept before any is chosen: its span counts without a title.
    const MediaControls::Shift shift = m_controls.shift();
    if (shift.available)
        values.insert(QStringLiteral("mpris:length"), qlonglong(shift.keptMs) * 1000);
    return values;
}

qlonglong MprisPlayerAdaptor::position() const {
    const MediaControls::Shift shift = m_controls.shift();
    if (!shift.available)
        return 0;
    return std::max<qlonglong>(0, shift.keptMs - shift.behindMs) * 1000;
}

bool MprisPlayerAdaptor::canSeek() const {
    return m_controls.shift().available;
}

double MprisPlayerAdaptor::volume() const {
    return m_controls.volume() / 100.0;
}

std::optional<int> MprisPlayerAdaptor::percentOf(double volume) {
    // Clamped before the conversion: a double beyond an int's range makes an undefined one.
    constexpr double kLoudest = 10.0;
    if (std::isnan(volume))
        return std::nullopt;
    return int(std::lround(std::clamp(volume, 0.0, kLoudest) * 100.0));
}

void MprisPlayerAdaptor::setVolume(double volume) {
    if (const std::optional<int> percent = percentOf(volume))
        m_controls.setVolume(*percent);
}

void MprisPlayerAdaptor::Next() {
    m_controls.next();
}

void MprisPlayerAdaptor::Previous() {
    m_controls.previous();
}

void MprisPlayerAdaptor::Pause() {
    const MediaControls::Shift shift = m_controls.shift();
    if (shift.available) {
        if (!shift.paused && m_controls.isPlaying())
            m_controls.pause();
        return;
    }
    if (m_controls.isPlaying())
        m_controls.stop();
}

void MprisPlayerAdaptor::PlayPause() {
    const MediaControls::Shift shift = m_controls.shift();
    if (shift.available && shift.paused)
        m_controls.resume();
    else if (shift.available && m_controls.isPlaying())
        m_controls.pause();
    else if (m_controls.isPlaying())
        m_controls.stop();
    else
        m_controls.play();
}

void MprisPlayerAdaptor::Stop() {
    m_controls.stop();
}

void MprisPlayerAdaptor::Play() {
    const MediaControls::Shift shift = m_controls.shift();
    if (shift.available && shift.paused)
        m_controls.resume();
    else if (!m_controls.isPlaying())
        m_controls.play();
}

void MprisPlayerAdaptor::Seek(qlonglong offsetUs) {
    if (m_controls.shift().available)
        m_controls.seekBy(offsetUs / 1000);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath &trackId, qlonglong positionUs) {
    // A position meant for another channel, or outside what is kept, is ignored.
    const MediaControls::Shift shift = m_controls.shift();
    if (!shift.available || trackId != this->trackId() || positionUs < 0 || positionUs > shift.keptMs * 1000)
        return;
    m_controls.seekTo(positionUs / 1000);
}

void MprisPlayerAdaptor::shiftChanged() {
    propertiesChanged({QStringLiteral("PlaybackStatus"), QStringLiteral("Metadata"),
                       QStringLiteral("CanPause"), QStringLiteral("CanSeek")});
    const MediaControls::Shift shift = m_controls.shift();
    const bool paused = std::exchange(m_wasPaused, shift.paused);
    const qint64 behind = std::exchange(m_wasBehindMs, shift.behindMs);
    // A pause or a resume holds the point played; anything else changed moved it, as did a return
    // to live from a pause.
    if (shift.available && (paused == shift.paused || (behind > 0 && shift.behindMs == 0)))
        emit Seeked(position());
}

void MprisPlayerAdaptor::propertiesChanged(const QStringList &names) {
    QVariantMap changed;
    for (const QString &name : names)
        changed.insert(name, property(name.toLatin1().constData()));
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/mpris/MediaPlayer2"),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal.setArguments({QStringLiteral("org.mpris.MediaPlayer2.Player"), changed, QStringList()});
    QDBusConnection::sessionBus().send(signal);
}
