#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <mutex>

typedef struct _GstElement GstElement;

// Watches one channel of the box and notes when each of its key frames arrives. Every viewer of
// a channel gets the same stream at the same moments, so a measure that ends on a key frame's
// arrival can be started at a chosen point of the GOP: two measures started at the same points
// then wait for their key frames alike, and only what the players themselves do tells them apart.
class KeyFrameWatch {
public:
    // elementary: MPEG-2 video sent as its own RTP session (control paths relative to the address),
    // otherwise H.264 in MPEG-TS over RTP.
    explicit KeyFrameWatch(const QByteArray &address, bool elementary = false);
    ~KeyFrameWatch();
    KeyFrameWatch(const KeyFrameWatch &) = delete;
    KeyFrameWatch &operator=(const KeyFrameWatch &) = delete;

    // Waits (delivering Qt events) until two key frames have come, so the GOP is known.
    bool waitUntilKnown(int timeoutMs);
    double gopMs() const;
    // Waits at least minimumMs, then until the given fraction of a GOP after a key frame's arrival.
    void pauseUntilPhase(int minimumMs, double fraction) const;
    // Milliseconds from startUs (monotonic microseconds) to the first key frame whole out of the
    // parser after it: the soonest a tune started then can show a picture. -1 when none came yet.
    double msToKeyFrameAfter(qint64 startUs) const;

private:
    GstElement *m_pipeline = nullptr;
    // Monotonic microseconds of the last two key frames' arrival; 0 before.
    std::atomic<qint64> m_last{0};
    std::atomic<qint64> m_gap{0};
    mutable std::mutex m_mutex;
    // The arrival of the latest key frames, oldest first.
    QList<qint64> m_recent;
};
