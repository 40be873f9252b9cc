#include "player/ring/TsRing.h"

#include <algorithm>

namespace {

constexpr uchar kSyncByte = 0x47;
constexpr int kPatPid = 0;

// Stream types of the programme map that carry pictures.
constexpr int kMpeg1Video = 0x01;
constexpr int kMpeg2Video = 0x02;
constexpr int kH264Video = 0x1B;
constexpr int kHevcVideo = 0x24;

bool isVideoType(int type) {
    return type == kMpeg1Video || type == kMpeg2Video || type == kH264Video || type == kHevcVideo;
}

// Where a table section starts in the packet's payload, past the pointer field; -1 when none fits.
int sectionStart(const uchar *packet, int payloadOffset) {
    if (payloadOffset >= TsRing::kPacketSize)
        return -1;
    const int start = payloadOffset + 1 + packet[payloadOffset];
    return start + 3 <= TsRing::kPacketSize ? start : -1;
}

int sectionEnd(const uchar *packet, int start) {
    const int length = ((packet[start + 1] & 0x0F) << 8) | packet[start + 2];
    // Tables larger than one packet are not needed here: read what this packet holds.
    return std::min(start + 3 + length - 4, TsRing::kPacketSize);
}

// Whether the first coded unit after a start code makes a picture that decodes on its own.
bool codedUnitIsKey(int streamType, const uchar *unit) {
    switch (streamType) {
    case kH264Video: {
        const int nalType = unit[0] & 0x1F;
        return nalType == 5 || nalType == 7;
    }
    case kHevcVideo: {
        const int nalType = (unit[0] >> 1) & 0x3F;
        return (nalType >= 16 && nalType <= 21) || nalType == 32;
    }
    default:
        return unit[0] == 0xB3; // sequence header
    }
}

bool isAccessUnitDelimiter(int streamType, const uchar *unit) {
    if (streamType == kH264Video)
        return (unit[0] & 0x1F) == 9;
    if (streamType == kHevcVideo)
        return ((unit[0] >> 1) & 0x3F) == 35;
    return false;
}

} // namespace

TsRing::PacketInfo TsRing::inspect(const uchar *packet) {
    PacketInfo info;
    info.pid = ((packet[1] & 0x1F) << 8) | packet[2];
    info.unitStart = packet[1] & 0x40;
    const int control = (packet[3] >> 4) & 0x3;
    int offset = 4;
    if (control & 0x2) {
        const int length = packet[4];
        if (length > 0)
            info.randomAccess = packet[5] & 0x40;
        offset += 1 + length;
    }
    info.payloadOffset = (control & 0x1) ? std::min(offset, kPacketSize) : kPacketSize;
    return info;
}

void TsRing::readPat(const uchar *packet, const PacketInfo &info) {
    const int start = sectionStart(packet, info.payloadOffset);
    if (start < 0 || packet[start] != 0x00)
        return;
    const int end = sectionEnd(packet, start);
    for (int at = start + 8; at + 4 <= end; at += 4) {
        const int programme = (packet[at] << 8) | packet[at + 1];
        if (programme != 0) {
            m_pmtPid = ((packet[at + 2] & 0x1F) << 8) | packet[at + 3];
            m_pat = QByteArray(reinterpret_cast<const char *>(packet), kPacketSize);
            return;
        }
    }
}

void TsRing::readPmt(const uchar *packet, const PacketInfo &info) {
    const int start = sectionStart(packet, info.payloadOffset);
    if (start < 0 || start + 12 > kPacketSize || packet[start] != 0x02)
        return;
    const int end = sectionEnd(packet, start);
    const int programInfoLength = ((packet[start + 10] & 0x0F) << 8) | packet[start + 11];
    for (int at = start + 12 + programInfoLength; at + 5 <= end;) {
        const int type = packet[at];
        const int pid = ((packet[at + 1] & 0x1F) << 8) | packet[at + 2];
        if (isVideoType(type)) {
            if (pid != m_videoPid)
                clear(); // another programme layout: what was held no longer decodes against it
            m_videoPid = pid;
            m_videoType = type;
            m_pmt = QByteArray(reinterpret_cast<const char *>(packet), kPacketSize);
            return;
        }
        at += 5 + (((packet[at + 3] & 0x0F) << 8) | packet[at + 4]);
    }
}

bool TsRing::startsKeyFrame(const uchar *packet, const PacketInfo &info) const {
    if (info.randomAccess)
        return true;
    // The PES header: start code, stream id, length, two flag bytes, then its own length.
    const int pes = info.payloadOffset;
    if (pes + 9 > kPacketSize || packet[pes] != 0 || packet[pes + 1] != 0 || packet[pes + 2] != 1)
        return false;
    const int data = pes + 9 + packet[pes + 8];
    for (int at = data; at + 3 < kPacketSize; ++at) {
        if (packet[at] != 0 || packet[at + 1] != 0 || packet[at + 2] != 1)
            continue;
        const uchar *unit = packet + at + 3;
        if (codedUnitIsKey(m_videoType, unit))
            return true;
        // Only a delimiter may come before the picture's first unit; anything else decides.
        if (!isAccessUnitDelimiter(m_videoType, unit))
            return false;
    }
    return false;
}

void TsRing::push(const QByteArray &packets, qint64 runningTimeNs) {
    const auto *bytes = reinterpret_cast<const uchar *>(packets.constData());
    const qsizetype count = packets.size() / kPacketSize;
    qsizetype keyAt = -1;
    int framesAfterKey = 0;
    int framesInBuffer = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const uchar *packet = bytes + i * kPacketSize;
        if (packet[0] != kSyncByte)
            continue;
        const PacketInfo info = inspect(packet);
        if (info.pid == kPatPid && info.unitStart)
            readPat(packet, info);
        else if (info.pid == m_pmtPid && info.unitStart)
            readPmt(packet, info);
        else if (info.pid == m_videoPid && info.unitStart) {
            ++framesInBuffer;
            ++framesAfterKey;
            if (startsKeyFrame(packet, info)) {
                keyAt = i;
                framesAfterKey = 1;
            }
        }
    }
    if (keyAt >= 0 && !m_pmt.isEmpty()) {
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
    chunks.append({m_pat + m_pmt, m_chunks.first().runningTimeNs});
    chunks.append(m_chunks);
    return chunks;
}

TsRing::KeyFrame TsRing::keyFrame() const {
    if (m_frames < 2)
        return {};
    KeyFrame key{{}, m_videoType, m_chunks.first().runningTimeNs};
    bool started = false;
    for (const Chunk &chunk : m_chunks) {
        const auto *bytes = reinterpret_cast<const uchar *>(chunk.packets.constData());
        for (qsizetype at = 0; at + kPacketSize <= chunk.packets.size(); at += kPacketSize) {
            const uchar *packet = bytes + at;
            if (packet[0] != kSyncByte)
                continue;
            const PacketInfo info = inspect(packet);
            if (info.pid != m_videoPid || info.payloadOffset >= kPacketSize)
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
