#pragma once

#include <QString>

// The digits of a channel number as the user types them on the player. The number counts once the
// user stops typing for kWaitMs or presses Enter; times are the caller's clock, in milliseconds.
class ChannelNumberEntry {
public:
    static constexpr qint64 kWaitMs = 1500;
    // Longer than any channel number a box gives; further digits are not taken.
    static constexpr int kMaxDigits = 4;

    // False when the character is no digit or the entry is full.
    bool type(QChar character, qint64 nowMs);
    // Takes back the last digit typed, which starts the wait again; false with nothing typed.
    bool takeBack(qint64 nowMs);
    QString digits() const { return m_digits; }
    bool isEmpty() const { return m_digits.isEmpty(); }
    // When the digits typed so far count as the number; -1 with nothing typed.
    qint64 dueAtMs() const { return isEmpty() ? -1 : m_lastTypedMs + kWaitMs; }
    bool isDue(qint64 nowMs) const { return !isEmpty() && nowMs >= dueAtMs(); }
    // The number typed; the entry is empty again.
    QString take();
    void clear() { m_digits.clear(); }

private:
    QString m_digits;
    qint64 m_lastTypedMs = 0;
};
