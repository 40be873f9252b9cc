#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <chrono>
#include <functional>

// The watched channel's stream as it comes off the network, whatever the server sends: whole
// MPEG-TS packets (188 bytes each, programme tables included) and when they arrived. Called on
// GStreamer's threads; it must not block.
using StreamTap = std::function<void(const QByteArray &packets, qint64 arrivalNs)>;

namespace StreamArrival {
// The clock of arrival times: monotonic, shared by every thread of the process.
inline qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace StreamArrival
