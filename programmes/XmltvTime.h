#pragma once

#include <QStringView>
#include <optional>

// An XMLTV time, "YYYYMMDDhhmmss +hhmm", as seconds since the epoch, UTC. The time may be shortened
// to any leading part down to the year, and the zone left out, which means UTC. The zone is read as
// an offset ("+0530", "+05:30", "+05", "-0100"), as a common abbreviation ("UTC", "GMT", "CET",
// "CEST", "BST", "EST"...: the fixed offset it names) or as a zone of the time zone database
// ("Europe/Paris": its offset at that time). Nothing on a malformed time or an unknown zone.
std::optional<qint64> parseXmltvTime(QStringView text);
