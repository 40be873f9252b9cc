#pragma once

#include "player/engine/StreamFacts.h"

#include <QStringList>

// The stream's facts as the picture shows them, one line each, in French.
namespace StreamFactsText {

// The codec's usual name ("H.264", "MPEG-2", "AAC"...), the caps name itself when none is known.
QString codecName(const StreamFacts::Codec &codec);
// "3,2 Mbit/s", "850 kbit/s".
QString bitrate(qint64 bitsPerSecond);
// The host and port of an address ("192.168.1.10:554"), the address itself when it names none.
QString boxOf(const QString &address);
QStringList lines(const StreamFacts &facts);

} // namespace StreamFactsText
