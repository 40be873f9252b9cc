#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Turning a row's bytes into what the user reads.

// UTF-8 where the bytes are valid UTF-8, otherwise Windows-1252 (the usual encoding of
// playlists written on Windows).
QString decodeChannelName(QByteArrayView name);

// Windows-1252, byte by byte; the five unassigned bytes keep their C1 code points.
QString decodeWindows1252(QByteArrayView bytes);

// The channel number shown under the picture: the row text up to and including the character
// before the first " -", so "2 - Foo" gives "2 " with its space; "" when the text has no " -".
QString channelNumber(const QString &rowText);
