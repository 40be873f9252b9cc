#pragma once

#include <QDateTime>
#include <QString>

// The name of a recording set from the guide: "<channel> - <title> - <YYYY-MM-DD HHhMM>.mpg", the
// programme's start in local time.
namespace RecordingFileName {

QString of(const QString &channelName, const QString &title, const QDateTime &localStart);

// text with every character a file system refuses in a name (and control characters) made a '-',
// blanks run together, dots and blanks at its ends dropped; empty stays empty.
QString cleaned(const QString &text);

} // namespace RecordingFileName
