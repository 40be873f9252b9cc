#include "channels/RecordingFileName.h"

namespace RecordingFileName {

namespace {

// A name is cut well below the 255 bytes most file systems allow, room kept for the engine's
// "-2" when the name is taken and for UTF-8's longer characters.
constexpr int kMaxPartLength = 80;

} // namespace

QString cleaned(const QString &text) {
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString name = text.simplified().left(kMaxPartLength);
    for (QChar &c : name) {
        if (refused.contains(c) || c.category() == QChar::Other_Control)
            c = QLatin1Char('-');
    }
    // A name beginning with a dot is hidden, one ending in dots is refused on some systems.
    while (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char(' ')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    return name;
}

QString of(const QString &channelName, const QString &title, const QDateTime &localStart) {
    QString channel = cleaned(channelName);
    if (channel.isEmpty())
        channel = QStringLiteral("chaine");
    QString programme = cleaned(title);
    if (programme.isEmpty())
        programme = QStringLiteral("programme");
    return QStringLiteral("%1 - %2 - %3.mpg")
        .arg(channel, programme, localStart.toString(QStringLiteral("yyyy-MM-dd HH'h'mm")));
}

} // namespace RecordingFileName
