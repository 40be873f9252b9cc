#include "settopbox/ProgramTableMarks.h"

#include <algorithm>
#include <cstring>

namespace halcyon::settopbox {

namespace {

constexpr size_t kPacketSize = 188;
constexpr uint8_t kSyncByte = 0x47;
constexpr uint8_t kProgramMapTableId = 0x02;
constexpr uint8_t kLanguageDescriptor = 0x0a;
constexpr uint8_t kSubtitlingDescriptor = 0x59;
// Section header after the length field (program number to program_info_length), then the CRC.
constexpr size_t kPmtFixedBytes = 9 + 4;

// Where a section lies in its packet; size 0 for none.
struct Section {
    size_t offset = 0;
    size_t size = 0;
};

// The section starting in this packet, when the whole of it lies there and it is a program map.
Section programTableIn(const uint8_t *packet) {
    const bool unitStart = packet[1] & 0x40;
    const int adaptation = (packet[3] >> 4) & 0x3;
    if (packet[0] != kSyncByte || !unitStart || !(adaptation & 0x1))
        return {};
    size_t at = 4;
    if (adaptation & 0x2)
        at += 1 + packet[4];
    if (at >= kPacketSize)
        return {};
    at += 1 + packet[at]; // pointer_field
    if (at + 3 > kPacketSize)
        return {};
    const uint8_t *section = packet + at;
    const size_t size = 3 + (size_t(section[1] & 0x0f) << 8 | section[2]);
    const bool syntax = section[1] & 0x80;
    if (section[0] != kProgramMapTableId || !syntax || size < 3 + kPmtFixedBytes || at + size > kPacketSize)
        return {};
    return {at, size};
}

const TrackMark *markOf(const std::vector<TrackMark> &marks, int pid) {
    auto it = std::find_if(marks.begin(), marks.end(), [pid](const TrackMark &m) { return m.pid == pid; });
    return it == marks.end() ? nullptr : &*it;
}

// Entries of a language descriptor are 4 bytes (code, audio_type), of a subtitling one 8 (code,
// subtitling_type, two page ids): the type follows the code in both.
void markDescriptor(uint8_t tag, uint8_t *body, size_t length, const TrackMark &mark) {
    size_t entry = 0;
    int type = -1;
    if (tag == kLanguageDescriptor) {
        entry = 4;
        type = mark.audioType;
    } else if (tag == kSubtitlingDescriptor) {
        entry = 8;
        type = mark.subtitlingType;
    } else {
        return;
    }
    for (size_t at = 0; at + entry <= length; at += entry) {
        if (mark.language.size() == 3)
            std::memcpy(body + at, mark.language.data(), 3);
        if (type >= 0)
            body[at + 3] = uint8_t(type);
    }
}

void markSection(uint8_t *s, size_t size, const std::vector<TrackMark> &marks) {
    const size_t end = size - 4;
    const size_t programInfo = size_t(s[10] & 0x0f) << 8 | s[11];
    size_t at = 12 + programInfo;
    while (at + 5 <= end) {
        const int pid = (s[at + 1] & 0x1f) << 8 | s[at + 2];
        const size_t infoLength = size_t(s[at + 3] & 0x0f) << 8 | s[at + 4];
        size_t d = at + 5;
        const size_t infoEnd = std::min(d + infoLength, end);
        if (const TrackMark *mark = markOf(marks, pid)) {
            while (d + 2 <= infoEnd && d + 2 + s[d + 1] <= infoEnd) {
                markDescriptor(s[d], s + d + 2, s[d + 1], *mark);
                d += 2 + s[d + 1];
            }
        }
        at += 5 + infoLength;
    }
}

} // namespace

std::vector<TrackMark> trackMarks(const std::vector<BoxTrack> &tracks) {
    std::vector<TrackMark> marks;
    int pid = kFirstTrackPid;
    for (const BoxTrack &track : tracks) {
        TrackMark mark;
        mark.pid = pid++;
        if (track.kind == TrackKind::Sound)
            mark.audioType = track.audioDescription ? 3 : 0;
        else
            mark.subtitlingType = track.hardOfHearing ? 0x20 : 0x10;
        if (track.tableLanguage)
            mark.language = track.tableLanguage;
        marks.push_back(mark);
    }
    return marks;
}

uint32_t mpegCrc32(const uint8_t *data, size_t size) {
    uint32_t crc = 0xffffffff;
    for (size_t i = 0; i < size; ++i) {
        crc ^= uint32_t(data[i]) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000 ? (crc << 1) ^ 0x04c11db7 : crc << 1;
    }
    return crc;
}

bool holdsProgramTable(const uint8_t *packets, size_t size) {
    for (size_t at = 0; at + kPacketSize <= size; at += kPacketSize) {
        if (programTableIn(packets + at).size > 0)
            return true;
    }
    return false;
}

int markProgramTables(uint8_t *packets, size_t size, const std::vector<TrackMark> &marks) {
    int changed = 0;
    for (size_t at = 0; at + kPacketSize <= size; at += kPacketSize) {
        const Section found = programTableIn(packets + at);
        uint8_t *section = packets + at + found.offset;
        // A whole section, its CRC included, divides to nothing.
        if (found.size == 0 || mpegCrc32(section, found.size) != 0)
            continue;
        const std::vector<uint8_t> before(section, section + found.size);
        markSection(section, found.size, marks);
        const uint32_t crc = mpegCrc32(section, found.size - 4);
        uint8_t *tail = section + found.size - 4;
        for (int i = 0; i < 4; ++i)
            tail[i] = uint8_t(crc >> (24 - 8 * i));
        if (!std::equal(before.begin(), before.end(), section))
            ++changed;
    }
    return changed;
}

} // namespace halcyon::settopbox
