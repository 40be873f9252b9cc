#include "player/ring/TsRing.h"

void TsRing::push(const QByteArray &packets, qint64 runningTimeNs) {
    const auto *bytes = reinterpret_cast<const uchar *>(packets.constData());
    const qsizetype count = packets.size() / kPacketSize;
    qsizetype keyAt = -1;
    int framesAfterKey = 0;
    int framesInBuffer = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const uchar *packet = bytes + i * kPacketSize;
        if (!TsScan::inSync(packet))
            continue;
        const int videoPid = m_scan.videoPid();
        const TsScan::Unit unit = m_scan.scan(packet);
        if (unit == TsScan::Unit::NewLayout && m_scan.videoPid() != videoPid)
            clear(); // another programme layout: what was held no longer decodes against it
        else if (unit == TsScan::Unit::Picture) {
            ++framesInBuffer;
            ++framesAfterKey;
        } else if (unit == TsScan::Unit::KeyFrame) {
            ++framesInBuffer;
            keyAt = i;
            framesAfterKey = 1;
        }
    }
    if (keyAt >= 0 && m_scan.videoPid() >= 0) {
        m_chunks.clear();
        m_chunks.append({packets.mid(keyAt * kPacketSize, (count - keyAt) * kPacketSize), runningTimeNs});
        m_bytes = m_chunks.last().packets.size();
        m_frames = framesAfterKey;
    } else if (hasKeyFrame()) {
        m_chunks.append({packets.left(count * kPacketSize), runningTimeNs});
        m_bytes += m_chunks.last().packets.size();
        m_frames += framesInBuffer;
    }
    enforceLimits(runningTimeNs);
}

void TsRing::enforceLimits(qint64 newestNs) {
    if (!hasKeyFrame())
        return;
    if (m_bytes > m_limits.maxBytes || newestNs - m_chunks.first().runningTimeNs > m_limits.maxSpanNs) {
        m_chunks.clear();
        m_bytes = 0;
        m_frames = 0;
    }
}

void TsRing::clear() {
    m_chunks.clear();
    m_bytes = 0;
    m_frames = 0;
}

QList<TsRing::Chunk> TsRing::snapshot() const {
    if (!hasKeyFrame())
        return {};
    QList<Chunk> chunks;
    chunks.reserve(m_chunks.size() + 1);
    chunks.append({m_scan.pat() + m_scan.pmt(), m_chunks.first().runningTimeNs});
    chunks.append(m_chunks);
    return chunks;
}

TsRing::KeyFrame TsRing::keyFrame() const {
    if (m_frames < 2)
        return {};
    KeyFrame key{{}, m_scan.videoType(), m_chunks.first().runningTimeNs};
    bool started = false;
    for (const Chunk &chunk : m_chunks) {
        const auto *bytes = reinterpret_cast<const uchar *>(chunk.packets.constData());
        for (qsizetype at = 0; at + kPacketSize <= chunk.packets.size(); at += kPacketSize) {
            const uchar *packet = bytes + at;
            if (!TsScan::inSync(packet))
                continue;
            const TsScan::Header info = TsScan::header(packet);
            if (info.pid != m_scan.videoPid() || info.payloadOffset >= kPacketSize)
                continue;
            int from = info.payloadOffset;
            if (info.unitStart) {
                if (started)
                    return key;
                started = true;
                // Past the PES header, whose last fixed byte gives the length of the rest of it.
                if (from + 9 > kPacketSize || packet[from] != 0 || packet[from + 1] != 0 ||
                    packet[from + 2] != 1)
                    return {};
                from += 9 + packet[from + 8];
            }
            if (started && from < kPacketSize)
                key.elementary.append(reinterpret_cast<const char *>(packet + from), kPacketSize - from);
        }
    }
    return {};
}
