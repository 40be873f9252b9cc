#pragma once

#include <QByteArray>

#include <atomic>

typedef struct _GstElement GstElement;

// Watches one channel of the box and notes when each of its key frames arrives. Every viewer of
// a channel gets the same stream at the same moments, so a measure that ends on a key frame's
// arrival can be started at a chosen point of the GOP: two measures started at the same points
// then wait for their key frames alike, and only what the players themselves do tells them apart.
class KeyFrameWatch {
public:
    explicit KeyFrameWatch(const QByteArray &address);
    ~KeyFrameWatch();
    KeyFrameWatch(const KeyFrameWatch &) = delete;
    KeyFrameWatch &operator=(const KeyFrameWatch &) = delete;

    // Waits (delivering Qt events) until two key frames have come, so the GOP is known.
    bool waitUntilKnown(int timeoutMs);
    double gopMs() const;
    // Waits at least minimumMs, then until the given fraction of a GOP after a key frame's arrival.
    void pauseUntilPhase(int minimumMs, double fraction) const;

private:
    GstElement *m_pipeline = nullptr;
    // Monotonic microseconds of the last two key frames' arrival; 0 before.
    std::atomic<qint64> m_last{0};
    std::atomic<qint64> m_gap{0};
};
