#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Turning a row's bytes into what the user reads.

// A name is shown up to this many characters, then "…": a list row shows a few dozen at most.
constexpr qsizetype kShownNameCharacters = 300;
constexpr qsizetype kShownNameBytes = 4 * kShownNameCharacters;

// UTF-8 where the bytes are valid UTF-8, otherwise Windows-1252 (the usual encoding of
// playlists written on Windows). Zero bytes show as U+2400; past kShownNameCharacters the name is
// cut and ends with "…".
QString decodeChannelName(QByteArrayView name);

// Windows-1252, byte by byte; the five unassigned bytes keep their C1 code points.
QString decodeWindows1252(QByteArrayView bytes);

// The channel number shown under the picture: the row text up to and including the character
// before the first " -", so "2 - Foo" gives "2 " with its space; "" when the text has no " -".
QString channelNumber(const QString &rowText);

// A row as the banner shows it: the number before the first " - " and the name after it. A row
// without " - " is all name.
struct ChannelTitle {
    QString number;
    QString name;
};
ChannelTitle channelTitle(const QString &rowText);

// The first row whose number (ChannelTitle::number, blanks around it ignored) is number, or -1.
int rowOfChannelNumber(const QStringList &rowTexts, const QString &number);
