#pragma once

#include "player/ring/TsScan.h"

#include <QByteArray>
#include <QList>

// The compressed stream of one channel since its newest key frame, as MPEG-TS packets: what a
// decoder needs to show the newest picture at once instead of waiting for the next key frame.
// Key frames are found as TsScan finds them. The ring is bounded in bytes and in time; past either
// bound it holds nothing until the next key frame.
class TsRing {
public:
    static constexpr int kPacketSize = TsScan::kPacketSize;

    struct Limits {
        qsizetype maxBytes = 4 * 1024 * 1024;
        qint64 maxSpanNs = 4'000'000'000;
    };
    struct Chunk {
        QByteArray packets;
        qint64 runningTimeNs;
    };
    // The key frame alone, as its coded units without the transport around them.
    struct KeyFrame {
        QByteArray elementary;
        int streamType = 0;
        qint64 runningTimeNs = -1;
    };

    TsRing() = default;
    explicit TsRing(const Limits &limits) : m_limits(limits) {}

    // Takes whole packets received at runningTimeNs; a packet out of sync is skipped.
    void push(const QByteArray &packets, qint64 runningTimeNs);
    void clear();

    bool hasKeyFrame() const { return !m_chunks.isEmpty(); }
    // The programme tables, then the packets from the key frame on, in arrival order.
    QList<Chunk> snapshot() const;
    // Pictures started since the key frame, the key frame included.
    int framesHeld() const { return m_frames; }
    qsizetype bytesHeld() const { return m_bytes; }
    int videoPid() const { return m_scan.videoPid(); }
    // The held key frame once the next picture has started (before that it may be incomplete);
    // empty otherwise.
    KeyFrame keyFrame() const;

private:
    void enforceLimits(qint64 newestNs);

    Limits m_limits;
    TsScan m_scan;
    QList<Chunk> m_chunks;
    qsizetype m_bytes = 0;
    int m_frames = 0;
};
