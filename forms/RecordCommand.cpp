#include "forms/RecordCommand.h"

#include "channels/ChannelLineup.h"
#include "forms/Unit4.h"
#include "player/SoutChain.h"
#include "player/TuneSequence.h"

#include <QDir>

namespace RecordCommand {

QString fileName(const QString &channelNumber, const QByteArray &address, const QDateTime &when) {
    QString channel = channelNumber.trimmed();
    if (channel.isEmpty()) {
        const QByteArray path = address.mid(address.lastIndexOf('/') + 1);
        channel = QString::fromLocal8Bit(path);
    }
    // Keep the name a plain file name whatever the row's text holds.
    for (QChar &c : channel) {
        if (c == QLatin1Char('/') || c == QLatin1Char(',') || c == QLatin1Char('}') || c.isSpace())
            c = QLatin1Char('_');
    }
    if (channel.isEmpty())
        channel = QStringLiteral("chaine");
    return QStringLiteral("%1-%2.mpg").arg(channel, when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QList<QByteArray> options(const QString &path) {
    const QByteArray chain = ":sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,url=" +
                             SoutChain::quotedValue(path).toLocal8Bit() + ",access=file}";
    return {chain, QByteArrayLiteral("ttl=1")};
}

void run(PlayerControl &vlc, const ChannelLineup &lineup, const TForm4 *destination,
         const QByteArray &fallbackStream) {
    QByteArray address = fallbackStream;
    QString number;
    if (const int row = lineup.current(); row >= 0) {
        address = lineup.address(row);
        number = lineup.number(row);
    }
    const QString folder = destination ? destination->destinationFolder() : QDir::homePath();
    const QString path = QDir(folder).filePath(fileName(number, address, QDateTime::currentDateTime()));
    runTuneSequence(vlc, address, options(path), false);
}

} // namespace RecordCommand
