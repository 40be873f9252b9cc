#pragma once

#include <QByteArray>

// MPEG-TS packets made up for tests: one programme (PAT, PMT), a picture stream and a sound
// stream, pictures and sound frames as PES starts followed by continuation packets.
namespace tspackets {

constexpr int kPacketSize = 188;
constexpr int kPmtPid = 0x1000;
constexpr int kVideoPid = 0x100;
constexpr int kSoundPid = 0x101;

constexpr int kMpeg2Video = 0x02;
constexpr int kH264Video = 0x1B;
constexpr int kMpegAudio = 0x04;
constexpr int kPrivateData = 0x06;

QByteArray packet(int pid, bool unitStart, const QByteArray &payload, bool randomAccess = false);
QByteArray pat();
// A programme of a picture stream of videoType (none when 0) and a sound stream of soundType
// (none when 0) with the given descriptors.
QByteArray pmt(int videoType, int soundType, const QByteArray &soundDescriptors = {});
// One picture in packets packets, the first starting the PES: a key frame or not, coded as
// videoType codes it.
QByteArray picture(int videoType, bool key, int packets = 3);
// One sound frame.
QByteArray soundFrame(int packets = 1);
// Writes each packet's number, counted from first, in its last eight bytes (which the packets
// made here leave as filler), so that a reader can tell which packet it got.
void number(QByteArray &packets, qint64 first);
qint64 numberOf(const char *packet);

} // namespace tspackets
