#pragma once

#include "player/engine/StreamTap.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <memory>
#include <mutex>

// One stream's way to a tap. What is delivered reaches the tap in order until close(); once close()
// has returned, nothing more does, not even a delivery under way on another thread. A line made
// before anyone wants the stream (a tune begun early) holds what comes, within a bound, until it
// is given a tap: the tap then gets the stream from its first packet all the same.
class TapLine {
public:
    // A line to tap, or one that holds until give() when tap is empty.
    explicit TapLine(StreamTap tap = {});
    TapLine(const TapLine &) = delete;
    TapLine &operator=(const TapLine &) = delete;

    // Hands what is held to tap, then what comes; an empty tap closes the line.
    void give(StreamTap tap);
    // Any thread; the tap is called on it.
    void deliver(const QByteArray &packets, qint64 arrivalNs);
    void close();
    // Whether anything reached the tap (held packets count once given).
    bool hasDelivered() const;
    // Closed: whoever feeds the line may stop copying for it. Any thread, without waiting.
    bool isClosed() const { return m_closedFlag; }

    // Held before a tap is given, at most: some seconds of a channel at 8 Mbit/s.
    static constexpr qsizetype kMaxHeldBytes = 8 * 1024 * 1024;

private:
    struct Held {
        QByteArray packets;
        qint64 arrivalNs;
    };

    mutable std::mutex m_mutex;
    StreamTap m_tap;
    bool m_closed = false;
    std::atomic<bool> m_closedFlag{false};
    bool m_delivered = false;
    QList<Held> m_held;
    qsizetype m_heldBytes = 0;
    // Held packets were dropped: the stream no longer starts at its first packet.
    bool m_overflowed = false;
};
