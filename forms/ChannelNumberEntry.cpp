#include "forms/ChannelNumberEntry.h"

#include <utility>

bool ChannelNumberEntry::type(QChar character, qint64 nowMs) {
    if (character < u'0' || character > u'9' || m_digits.size() >= kMaxDigits)
        return false;
    m_digits.append(character);
    m_lastTypedMs = nowMs;
    return true;
}

bool ChannelNumberEntry::takeBack(qint64 nowMs) {
    if (m_digits.isEmpty())
        return false;
    m_digits.chop(1);
    m_lastTypedMs = nowMs;
    return true;
}

QString ChannelNumberEntry::take() {
    return std::exchange(m_digits, QString());
}
