#pragma once

#include <QtGlobal>

#include <array>

// Bytes counted as they arrive, in whole seconds, for the rate over the last few complete ones.
// Not locked: the caller guards it.
class ByteRate {
public:
    static constexpr int kSeconds = 5;

    void add(qint64 nowMs, qint64 bytes);
    // Bits per second over the last complete seconds (up to kSeconds, counted since the first
    // byte); -1 before a whole second was counted.
    qint64 bitsPerSecond(qint64 nowMs) const;

private:
    // Bytes of second s in m_bytes[s % size], for the seconds from m_first on.
    std::array<qint64, kSeconds + 1> m_bytes{};
    qint64 m_first = -1;
    qint64 m_last = -1;
};
