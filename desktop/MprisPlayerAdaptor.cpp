#include "desktop/MprisPlayerAdaptor.h"

#include "desktop/MediaControls.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <algorithm>
#include <cmath>

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
}

QString MprisPlayerAdaptor::playbackStatus() const {
    return m_controls.isPlaying() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    const QString title = m_controls.title();
    if (title.isEmpty())
        return {{QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack"))}};
    return {{QStringLiteral("mpris:trackid"),
             QVariant::fromValue(
                 QDBusObjectPath(QStringLiteral("/org/halcyontv/Player/Channel%1").arg(m_channelChanges)))},
            {QStringLiteral("xesam:title"), title}};
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
    if (m_controls.isPlaying())
        m_controls.stop();
}

void MprisPlayerAdaptor::PlayPause() {
    if (m_controls.isPlaying())
        m_controls.stop();
    else
        m_controls.play();
}

void MprisPlayerAdaptor::Stop() {
    m_controls.stop();
}

void MprisPlayerAdaptor::Play() {
    if (!m_controls.isPlaying())
        m_controls.play();
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
