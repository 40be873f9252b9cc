#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Attributes of the form name="value" on a playlist's header line ("#EXTM3U url-tvg=…") and on
// the part of an entry line before its first comma ("#EXTINF:-1 tvg-id=…,Name"). A value is
// quoted with " or ', or runs to the next blank; a quote left open runs to the end of the text.
// The name must start the text or follow a blank, so "xtvg-id=" is not "tvg-id=".
//
// Returns the first value of that name, empty when there is none.
QByteArray attributeValue(QByteArrayView text, QByteArrayView name);

// The part of an entry line that holds its attributes: before the first comma (the name comes
// after it), the whole line when it has none.
QByteArrayView entryAttributes(QByteArrayView entryLine);
