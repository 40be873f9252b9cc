#pragma once

#include <QByteArray>
#include <QList>

// The compressed stream of one channel since its newest key frame, as MPEG-TS packets: what a
// decoder needs to show the newest picture at once instead of waiting for the next key frame.
// Key frames are found from the programme tables: on the video stream, a packet that starts a
// PES and is flagged random access, or whose first coded unit is an IDR or parameter set (H.264,
// HEVC) or a sequence header (MPEG-1/2). The ring is bounded in bytes and in time; past either
// bound it holds nothing until the next key frame.
class TsRing {
public:
    static constexpr int kPacketSize = 188;

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
    int videoPid() const { return m_videoPid; }
    // The held key frame once the next picture has started (before that it may be incomplete);
    // empty otherwise.
    KeyFrame keyFrame() const;

private:
    struct PacketInfo {
        int pid = -1;
        bool unitStart = false;
        bool randomAccess = false;
        int payloadOffset = kPacketSize;
    };

    static PacketInfo inspect(const uchar *packet);
    void readPat(const uchar *packet, const PacketInfo &info);
    void readPmt(const uchar *packet, const PacketInfo &info);
    bool startsKeyFrame(const uchar *packet, const PacketInfo &info) const;
    void enforceLimits(qint64 newestNs);

    Limits m_limits;
    QByteArray m_pat;
    QByteArray m_pmt;
    int m_pmtPid = -1;
    int m_videoPid = -1;
    int m_videoType = 0;
    QList<Chunk> m_chunks;
    qsizetype m_bytes = 0;
    int m_frames = 0;
};
