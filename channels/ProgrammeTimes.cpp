#include "channels/ProgrammeTimes.h"

#include <QDateTime>
#include <QLocale>

namespace ProgrammeTimes {

QString timeOfDay(qint64 time) {
    return QDateTime::fromSecsSinceEpoch(time).toString(QStringLiteral("HH:mm"));
}

QString dayAndTimes(const GuideProgramme &programme) {
    const QLocale french(QLocale::French, QLocale::France);
    const QString day =
        french.toString(QDateTime::fromSecsSinceEpoch(programme.start).date(), QStringLiteral("dddd d MMMM"));
    return QStringLiteral("%1, %2 – %3").arg(day, timeOfDay(programme.start), timeOfDay(programme.stop));
}

} // namespace ProgrammeTimes
