#include "player/ring/TsScan.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kPatPid = 0;

// Stream types of the programme map that carry pictures.
constexpr int kMpeg1Video = 0x01;
constexpr int kMpeg2Video = 0x02;
constexpr int kH264Video = 0x1B;
constexpr int kHevcVideo = 0x24;

// And sound: MPEG-1/2 audio, AAC (ADTS, LATM), AC-3 as ATSC marks it; DVB marks AC-3 and E-AC-3
// as private data with a descriptor saying which.
constexpr int kPrivateData = 0x06;
constexpr int kAc3Descriptor = 0x6A;
constexpr int kEnhancedAc3Descriptor = 0x7A;

bool isVideoType(int type) {
    return type == kMpeg1Video || type == kMpeg2Video || type == kH264Video || type == kHevcVideo;
}

bool isSoundType(int type) {
    return type == 0x03 || type == 0x04 || type == 0x0F || type == 0x11 || type == 0x81;
}

bool describesDolbySound(const uchar *descriptors, int length) {
    for (int at = 0; at + 2 <= length; at += 2 + descriptors[at + 1]) {
        if (descriptors[at] == kAc3Descriptor || descriptors[at] == kEnhancedAc3Descriptor)
            return true;
    }
    return false;
}

// Where a table section starts in the packet's payload, past the pointer field; -1 when none fits.
int sectionStart(const uchar *packet, int payloadOffset) {
    if (payloadOffset >= TsScan::kPacketSize)
        return -1;
    const int start = payloadOffset + 1 + packet[payloadOffset];
    return start + 3 <= TsScan::kPacketSize ? start : -1;
}

int sectionEnd(const uchar *packet, int start) {
    const int length = ((packet[start + 1] & 0x0F) << 8) | packet[start + 2];
    // Tables larger than one packet are not needed here: read what this packet holds.
    return std::min(start + 3 + length - 4, TsScan::kPacketSize);
}

bool startsPes(const uchar *packet, int at) {
    return at + 9 <= TsScan::kPacketSize && packet[at] == 0 && packet[at + 1] == 0 && packet[at + 2] == 1;
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

TsScan::Header TsScan::header(const uchar *packet) {
    Header info;
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

TsScan::Unit TsScan::scan(const uchar *packet) {
    const Header info = header(packet);
    if (!info.unitStart)
        return Unit::Other;
    if (info.pid == kPatPid) {
        readPat(packet, info);
        return Unit::Tables;
    }
    if (info.pid == m_pmtPid)
        return readPmt(packet, info) ? Unit::NewLayout : Unit::Tables;
    if (info.pid == m_videoPid)
        return startsKeyFrame(packet, info) ? Unit::KeyFrame : Unit::Picture;
    if (info.pid == m_soundPid && startsPes(packet, info.payloadOffset))
        return Unit::Sound;
    return Unit::Other;
}

void TsScan::reset() {
    *this = TsScan();
}

QByteArray TsScan::pat() const {
    return m_hasPat ? QByteArray(m_pat.data(), kPacketSize) : QByteArray();
}

QByteArray TsScan::pmt() const {
    return m_hasPmt ? QByteArray(m_pmt.data(), kPacketSize) : QByteArray();
}

void TsScan::readPat(const uchar *packet, const Header &info) {
    const int start = sectionStart(packet, info.payloadOffset);
    if (start < 0 || packet[start] != 0x00)
        return;
    const int end = sectionEnd(packet, start);
    for (int at = start + 8; at + 4 <= end; at += 4) {
        const int programme = (packet[at] << 8) | packet[at + 1];
        if (programme != 0) {
            m_pmtPid = ((packet[at + 2] & 0x1F) << 8) | packet[at + 3];
            std::memcpy(m_pat.data(), packet, kPacketSize);
            m_hasPat = true;
            return;
        }
    }
}

// True when the streams to follow changed.
bool TsScan::readPmt(const uchar *packet, const Header &info) {
    const int start = sectionStart(packet, info.payloadOffset);
    if (start < 0 || start + 12 > kPacketSize || packet[start] != 0x02)
        return false;
    const int end = sectionEnd(packet, start);
    const int programInfoLength = ((packet[start + 10] & 0x0F) << 8) | packet[start + 11];
    int videoPid = -1, videoType = 0, soundPid = -1, soundType = 0;
    for (int at = start + 12 + programInfoLength; at + 5 <= end;) {
        const int type = packet[at];
        const int pid = ((packet[at + 1] & 0x1F) << 8) | packet[at + 2];
        const int infoLength = ((packet[at + 3] & 0x0F) << 8) | packet[at + 4];
        if (videoPid < 0 && isVideoType(type)) {
            videoPid = pid;
            videoType = type;
        } else if (soundPid < 0 &&
                   (isSoundType(type) ||
                    (type == kPrivateData &&
                     describesDolbySound(packet + at + 5, std::min(infoLength, end - at - 5))))) {
            soundPid = pid;
            soundType = type;
        }
        at += 5 + infoLength;
    }
    if (videoPid < 0 && soundPid < 0)
        return false;
    std::memcpy(m_pmt.data(), packet, kPacketSize);
    const bool changed = !m_hasPmt || videoPid != m_videoPid || soundPid != m_soundPid;
    m_hasPmt = true;
    m_videoPid = videoPid;
    m_videoType = videoType;
    m_soundPid = soundPid;
    m_soundType = soundType;
    return changed;
}

bool TsScan::startsKeyFrame(const uchar *packet, const Header &info) const {
    if (info.randomAccess)
        return true;
    // The PES header: start code, stream id, length, two flag bytes, then its own length.
    const int pes = info.payloadOffset;
    if (!startsPes(packet, pes))
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
