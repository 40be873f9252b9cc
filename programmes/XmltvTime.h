#pragma once

#include <QStringView>
#include <optional>

// An XMLTV time, "YYYYMMDDhhmmss +hhmm", as seconds since the epoch, UTC. The time of day may be
// shortened (down to the date alone) and the offset left out, which means UTC. Nothing on a
// malformed one.
std::optional<qint64> parseXmltvTime(QStringView text);
