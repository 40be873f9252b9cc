#include "player/StreamFactsText.h"

#include <QUrl>
#include <cmath>

namespace StreamFactsText {

namespace {

// A number as French writes it, with a comma and no zeros after it that say nothing.
QString decimal(double value, int places) {
    QString text = QString::number(value, 'f', places);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text.replace(QLatin1Char('.'), QLatin1Char(','));
}

QString channelsName(int channels) {
    switch (channels) {
    case 1:
        return QStringLiteral("mono");
    case 2:
        return QStringLiteral("stéréo");
    case 6:
        return QStringLiteral("5.1");
    default:
        return QStringLiteral("%1 canaux").arg(channels);
    }
}

QString videoLine(const StreamFacts &facts) {
    if (facts.video.media.isEmpty())
        return QStringLiteral("Vidéo : aucune");
    QStringList parts{codecName(facts.video)};
    if (facts.size.isValid())
        parts << QStringLiteral("%1×%2").arg(facts.size.width()).arg(facts.size.height());
    if (facts.frameRate > 0)
        parts << QStringLiteral("%1 images/s").arg(decimal(facts.frameRate, 2));
    parts << (facts.interlaced ? QStringLiteral("entrelacée") : QStringLiteral("progressive"));
    return QStringLiteral("Vidéo : ") + parts.join(QStringLiteral(", "));
}

QString soundLine(const StreamFacts &facts) {
    if (facts.sound.media.isEmpty())
        return QStringLiteral("Son : aucun");
    QStringList parts{codecName(facts.sound)};
    if (facts.soundChannels > 0)
        parts << channelsName(facts.soundChannels);
    if (facts.sampleRate > 0)
        parts << QStringLiteral("%1 kHz").arg(decimal(facts.sampleRate / 1000.0, 1));
    return QStringLiteral("Son : ") + parts.join(QStringLiteral(", "));
}

} // namespace

QString codecName(const StreamFacts::Codec &codec) {
    const QString &media = codec.media;
    if (media == QLatin1String("video/x-h264"))
        return QStringLiteral("H.264");
    if (media == QLatin1String("video/x-h265"))
        return QStringLiteral("H.265");
    if (media == QLatin1String("video/mpeg"))
        return codec.version == 4 ? QStringLiteral("MPEG-4")
                                  : QStringLiteral("MPEG-%1").arg(qMax(1, codec.version));
    if (media == QLatin1String("audio/mpeg")) {
        if (codec.version == 2 || codec.version == 4)
            return QStringLiteral("AAC");
        return codec.layer == 3 ? QStringLiteral("MP3") : QStringLiteral("MPEG-1 Layer II");
    }
    if (media == QLatin1String("audio/x-ac3"))
        return QStringLiteral("AC-3");
    if (media == QLatin1String("audio/x-eac3"))
        return QStringLiteral("E-AC-3");
    if (media == QLatin1String("audio/x-opus"))
        return QStringLiteral("Opus");
    return media.section(QLatin1Char('/'), 1).remove(QStringLiteral("x-"));
}

QString bitrate(qint64 bitsPerSecond) {
    if (bitsPerSecond >= 1000000)
        return QStringLiteral("%1 Mbit/s").arg(decimal(bitsPerSecond / 1e6, 1));
    return QStringLiteral("%1 kbit/s").arg(std::llround(bitsPerSecond / 1e3));
}

QString boxOf(const QString &address) {
    const QUrl url(address);
    if (url.host().isEmpty())
        return address;
    const QString host =
        url.host().contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(url.host()) : url.host();
    return url.port() < 0 ? host : QStringLiteral("%1:%2").arg(host).arg(url.port());
}

QStringList lines(const StreamFacts &facts) {
    QStringList shown{QStringLiteral("Informations sur le flux"), videoLine(facts), soundLine(facts)};
    if (!facts.soundTracks.isEmpty())
        shown << QStringLiteral("Pistes son : ") + facts.soundTracks.join(QStringLiteral(", "));
    shown << QStringLiteral("Débit : ") +
                 (facts.bitsPerSecond < 0 ? QStringLiteral("mesure en cours") : bitrate(facts.bitsPerSecond));
    shown << QStringLiteral("Paquets perdus : ") +
                 (facts.lostPackets < 0 ? QStringLiteral("non comptés") : QString::number(facts.lostPackets));
    if (!facts.address.isEmpty())
        shown << QStringLiteral("Décodeur : ") + boxOf(facts.address);
    return shown;
}

} // namespace StreamFactsText
