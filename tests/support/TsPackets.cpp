#include "TsPackets.h"

#include <cstring>

namespace tspackets {

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

QByteArray pesStart(int streamId) {
    return bytes({0, 0, 1, streamId, 0, 0, 0x80, 0x00, 0x00});
}

// The first coded units of a picture, after an access unit delimiter where the codec has one.
QByteArray codedUnits(int videoType, bool key) {
    if (videoType == kH264Video)
        return bytes({0, 0, 0, 1, 0x09, 0xF0, 0, 0, 0, 1, key ? 0x65 : 0x41});
    return bytes({0, 0, 1, key ? 0xB3 : 0x00});
}

QByteArray filler(int pid, int count) {
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += packet(pid, false, QByteArray(40, char(0x55)));
    return out;
}

} // namespace

QByteArray packet(int pid, bool unitStart, const QByteArray &payload, bool randomAccess) {
    QByteArray p(kPacketSize, char(0xFF));
    p[0] = 0x47;
    p[1] = char((unitStart ? 0x40 : 0) | (pid >> 8));
    p[2] = char(pid & 0xFF);
    int at = 4;
    if (randomAccess) {
        p[3] = 0x30; // adaptation field and payload
        p[4] = 1;
        p[5] = 0x40;
        at = 6;
    } else {
        p[3] = 0x10;
    }
    p.replace(at, payload.size(), payload);
    return p;
}

QByteArray pat() {
    return packet(0, true,
                  bytes({0x00, 0x00, 0xB0, 13, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01,
                         0xE0 | (kPmtPid >> 8), kPmtPid & 0xFF, 0, 0, 0, 0}));
}

QByteArray pmt(int videoType, int soundType, const QByteArray &soundDescriptors) {
    QByteArray streams;
    if (videoType)
        streams += bytes({videoType, 0xE0 | (kVideoPid >> 8), kVideoPid & 0xFF, 0xF0, 0x00});
    if (soundType) {
        streams += bytes({soundType, 0xE0 | (kSoundPid >> 8), kSoundPid & 0xFF, 0xF0,
                          int(soundDescriptors.size())}) +
                   soundDescriptors;
    }
    const int sectionLength = 9 + int(streams.size()) + 4;
    const QByteArray section = bytes({0x02, 0xB0, sectionLength, 0x00, 0x01, 0xC1, 0x00, 0x00,
                                      0xE0 | (kVideoPid >> 8), kVideoPid & 0xFF, 0xF0, 0x00}) +
                               streams + bytes({0, 0, 0, 0});
    return packet(kPmtPid, true, bytes({0x00}) + section);
}

QByteArray picture(int videoType, bool key, int packets) {
    return packet(kVideoPid, true, pesStart(0xE0) + codedUnits(videoType, key)) +
           filler(kVideoPid, packets - 1);
}

QByteArray soundFrame(int packets) {
    return packet(kSoundPid, true, pesStart(0xC0) + bytes({0xFF, 0xFD})) + filler(kSoundPid, packets - 1);
}

void number(QByteArray &packets, qint64 first) {
    for (qsizetype at = 0; at + kPacketSize <= packets.size(); at += kPacketSize) {
        const qint64 n = first++;
        std::memcpy(packets.data() + at + kPacketSize - sizeof n, &n, sizeof n);
    }
}

qint64 numberOf(const char *packet) {
    qint64 n = 0;
    std::memcpy(&n, packet + kPacketSize - sizeof n, sizeof n);
    return n;
}

} // namespace tspackets
