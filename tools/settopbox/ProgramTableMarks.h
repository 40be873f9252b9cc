#pragma once

#include "settopbox/TrackProfile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace halcyon::settopbox {

// What the multiplexer cannot write itself: it names a track's language but always calls a sound
// track plain audio (audio_type 0), a subtitle track plain subtitles (subtitling_type 0x10), and
// drops language codes it does not know. These marks are written over its program map table.
struct TrackMark {
    int pid = 0;
    // -1 leaves the field as the multiplexer wrote it.
    int audioType = -1;
    int subtitlingType = -1;
    // Three letters, or empty to keep the code written.
    std::string language = {};
};

std::vector<TrackMark> trackMarks(const std::vector<BoxTrack> &tracks);

// The CRC-32 that ends every MPEG-TS section (polynomial 0x04C11DB7, no reflection).
uint32_t mpegCrc32(const uint8_t *data, size_t size);

// Whether a run of 188-byte packets holds the start of a program map section that fits in its packet.
bool holdsProgramTable(const uint8_t *packets, size_t size);

// Writes the marks into every program map section held whole in one packet of the run, and the
// section's CRC after them. Sections whose CRC is wrong are left alone: they are not what they seem.
// Returns how many sections changed.
int markProgramTables(uint8_t *packets, size_t size, const std::vector<TrackMark> &marks);

} // namespace halcyon::settopbox
