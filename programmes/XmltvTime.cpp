#include "programmes/XmltvTime.h"

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

} // namespace

std::optional<qint64> parseXmltvTime(QStringView text) {
    qsizetype end = 0;
    while (end < text.size() && text[end].isDigit())
        ++end;
    if (end < 8 || end > 14 || end % 2 != 0)
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const int month = digits(text, 4, 2);
    const int day = digits(text, 6, 2);
    const int hour = end >= 10 ? digits(text, 8, 2) : 0;
    const int minute = end >= 12 ? digits(text, 10, 2) : 0;
    const int second = end >= 14 ? digits(text, 12, 2) : 0;
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60)
        return std::nullopt;
    qint64 secs = daysFromCivil(year, unsigned(month), unsigned(day)) * 86400 + hour * 3600 + minute * 60 +
                  second;

    QStringView rest = text.sliced(end).trimmed();
    if (rest.isEmpty() || rest == u"Z" || rest == u"UTC" || rest == u"GMT")
        return secs;
    if (rest.size() != 5 || (rest[0] != u'+' && rest[0] != u'-'))
        return std::nullopt;
    const int offsetHours = digits(rest, 1, 2);
    const int offsetMinutes = digits(rest, 3, 2);
    if (offsetHours < 0 || offsetHours > 14 || offsetMinutes < 0 || offsetMinutes > 59)
        return std::nullopt;
    const qint64 offset = offsetHours * 3600 + offsetMinutes * 60;
    // The local time is ahead of UTC by a positive offset.
    return rest[0] == u'+' ? secs - offset : secs + offset;
}
