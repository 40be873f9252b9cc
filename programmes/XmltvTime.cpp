#include "programmes/XmltvTime.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

// count digits at pos as a number, or -1.
int digits(QStringView text, qsizetype pos, int count) {
    if (pos + count > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = text[pos + i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

constexpr int kLargestOffsetSecs = 14 * 3600;

// "+hhmm", "+hh:mm" or "+hh" (and the same with '-'), as seconds ahead of UTC.
std::optional<int> numericOffset(QStringView text) {
    if (text.size() < 3 || (text[0] != u'+' && text[0] != u'-'))
        return std::nullopt;
    const int hours = digits(text, 1, 2);
    // Minutes after the hours, with or without a colon, or none at all.
    QStringView minutesText = text.sliced(3);
    if (minutesText.startsWith(u':') && minutesText.size() == 3)
        minutesText = minutesText.sliced(1);
    int minutes = 0;
    if (!minutesText.isEmpty())
        minutes = minutesText.size() == 2 ? digits(minutesText, 0, 2) : -1;
    if (hours < 0 || minutes < 0 || minutes > 59 || hours * 3600 + minutes * 60 > kLargestOffsetSecs)
        return std::nullopt;
    const int secs = hours * 3600 + minutes * 60;
    return text[0] == u'+' ? secs : -secs;
}

// The abbreviations a guide writes instead of an offset, each standing for the one offset it names
// (CET is +0100 even in summer, when a guide on local time writes CEST). Those that name different
// zones in different countries (IST, AST, ...) are left out: a programme timed by one is dropped
// rather than shown at a wrong hour. CST and the other North American names have their usual
// (RFC 822) meaning.
struct ZoneName {
    const char *name;
    int minutes;
};
constexpr ZoneName kZoneNames[] = {
    {"UTC", 0},    {"UT", 0},     {"GMT", 0},     {"Z", 0},       {"WET", 0},    {"WEST", 60},  {"BST", 60},
    {"CET", 60},   {"MET", 60},   {"CEST", 120},  {"MEST", 120},  {"EET", 120},  {"EEST", 180}, {"MSK", 180},
    {"SAST", 120}, {"EST", -300}, {"EDT", -240},  {"CST", -360},  {"CDT", -300}, {"MST", -420}, {"MDT", -360},
    {"PST", -480}, {"PDT", -420}, {"AKST", -540}, {"AKDT", -480}, {"HST", -600}, {"NST", -210}, {"NDT", -150},
    {"JST", 540},  {"KST", 540},  {"HKT", 480},   {"AWST", 480},  {"ACST", 570}, {"ACDT", 630}, {"AEST", 600},
    {"AEDT", 660}, {"NZST", 720}, {"NZDT", 780},
};

std::optional<int> namedOffset(QStringView name) {
    for (const ZoneName &zone : kZoneNames) {
        if (name.compare(QLatin1StringView(zone.name), Qt::CaseInsensitive) == 0)
            return zone.minutes * 60;
    }
    return std::nullopt;
}

// A zone named as the time zone database names it ("Europe/Paris"): its offset on that local date
// and time, summer time included.
std::optional<qint64> inZoneDatabase(QStringView name, qint64 localSecs) {
    if (!name.contains(u'/'))
        return std::nullopt;
    // The same few zones come back for every programme of a guide: keep the last one a thread asked.
    thread_local QString lastName;
    thread_local QTimeZone lastZone;
    if (name != lastName) {
        lastName = name.toString();
        lastZone = QTimeZone(lastName.toLatin1());
    }
    if (!lastZone.isValid())
        return std::nullopt;
    const QDateTime wallClock = QDateTime::fromSecsSinceEpoch(localSecs, QTimeZone::utc());
    const QDateTime there(wallClock.date(), wallClock.time(), lastZone);
    return there.isValid() ? std::optional<qint64>(there.toSecsSinceEpoch()) : std::nullopt;
}

} // namespace

std::optional<qint64> parseXmltvTime(QStringView text) {
    qsizetype end = 0;
    while (end < text.size() && text[end].isDigit())
        ++end;
    if (end < 4 || end > 14 || end % 2 != 0)
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const int month = end >= 6 ? digits(text, 4, 2) : 1;
    const int day = end >= 8 ? digits(text, 6, 2) : 1;
    const int hour = end >= 10 ? digits(text, 8, 2) : 0;
    const int minute = end >= 12 ? digits(text, 10, 2) : 0;
    const int second = end >= 14 ? digits(text, 12, 2) : 0;
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60)
        return std::nullopt;
    const qint64 secs =
        daysFromCivil(year, unsigned(month), unsigned(day)) * 86400 + hour * 3600 + minute * 60 + second;

    const QStringView zone = text.sliced(end).trimmed();
    if (zone.isEmpty())
        return secs;
    // The local time is ahead of UTC by a positive offset.
    if (const std::optional<int> offset = numericOffset(zone))
        return secs - *offset;
    if (const std::optional<int> offset = namedOffset(zone))
        return secs - *offset;
    return inZoneDatabase(zone, secs);
}
