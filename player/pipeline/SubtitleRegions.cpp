#include "player/pipeline/SubtitleRegions.h"

#include <algorithm>
#include <vector>

namespace SubtitleRegions {

namespace {

constexpr uint8_t kSyncByte = 0x0f;
constexpr uint8_t kRegionSegment = 0x11;
constexpr uint8_t kClutSegment = 0x12;
constexpr uint8_t kObjectSegment = 0x13;
constexpr size_t kRegionHead = 10;
constexpr int kNone = -1;

struct Segment {
    uint8_t type;
    uint8_t *data;
    size_t size;
};

// The page's whole segments in order; none when it is not a DVB subtitle page.
std::vector<Segment> segmentsOf(uint8_t *page, size_t size) {
    std::vector<Segment> segments;
    if (size < 2 || page[0] != 0x20 || page[1] != 0x00)
        return segments;
    size_t at = 2;
    while (at + 6 <= size && page[at] == kSyncByte) {
        const size_t length = size_t(page[at + 4]) << 8 | page[at + 5];
        if (at + 6 + length > size)
            break;
        segments.push_back({page[at + 1], page + at + 6, length});
        at += 6 + length;
    }
    return segments;
}

// A region's bits per pixel: 2, 4 or 8 (0 for a depth the standard does not define).
int depthOf(const Segment &region) {
    switch ((region.data[6] >> 2) & 0x07) {
    case 1:
        return 2;
    case 2:
        return 4;
    case 3:
        return 8;
    default:
        return 0;
    }
}

// The first entry of that table for that depth the decoder draws fully transparent: a transparency
// of 255, or a luma of 0 in either form of entry.
int transparentEntry(const std::vector<Segment> &segments, uint8_t clutId, int depth) {
    const uint8_t depthFlag = depth == 2 ? 0x80 : depth == 4 ? 0x40 : 0x20;
    for (const Segment &clut : segments) {
        if (clut.type != kClutSegment || clut.size < 2 || clut.data[0] != clutId)
            continue;
        size_t at = 2;
        while (at + 2 <= clut.size) {
            const uint8_t id = clut.data[at];
            const uint8_t flags = clut.data[at + 1];
            const bool fullRange = flags & 0x01;
            const size_t length = fullRange ? 6 : 4;
            if (at + length > clut.size)
                break;
            const uint8_t *value = clut.data + at + 2;
            const bool clear = fullRange ? (value[0] == 0 || value[3] == 0xff) : (value[0] >> 2) == 0;
            if (clear && (flags & depthFlag) && id < (1 << depth))
                return id;
            at += length;
        }
    }
    return kNone;
}

// Whether the page carries the pixels of every object the region places, and places at least one.
bool redrawsRegion(const std::vector<Segment> &segments, const Segment &region) {
    std::vector<unsigned> sent;
    for (const Segment &object : segments)
        if (object.type == kObjectSegment && object.size >= 2)
            sent.push_back(unsigned(object.data[0]) << 8 | object.data[1]);
    size_t at = kRegionHead;
    int placed = 0;
    // Each placement: object id, type and position; a character object adds two colours.
    while (at + 6 <= region.size) {
        const unsigned id = unsigned(region.data[at]) << 8 | region.data[at + 1];
        const int type = region.data[at + 2] >> 6;
        if (std::find(sent.begin(), sent.end(), id) == sent.end())
            return false;
        ++placed;
        at += type == 1 || type == 2 ? 8 : 6;
    }
    return placed > 0;
}

void fillWith(const Segment &region, int depth, int entry) {
    region.data[1] |= 0x08;
    if (depth == 8)
        region.data[8] = uint8_t(entry);
    else if (depth == 4)
        region.data[9] = uint8_t((region.data[9] & 0x0f) | entry << 4);
    else
        region.data[9] = uint8_t((region.data[9] & 0xf3) | entry << 2);
}

} // namespace

int widen(uint8_t *page, size_t size) {
    const std::vector<Segment> segments = segmentsOf(page, size);
    int widened = 0;
    for (const Segment &region : segments) {
        if (region.type != kRegionSegment || region.size < kRegionHead)
            continue;
        const unsigned width = unsigned(region.data[2]) << 8 | region.data[3];
        const int depth = depthOf(region);
        if (width == 0 || width >= 0xffff || depth == 0)
            continue;
        region.data[2] = uint8_t((width + 1) >> 8);
        region.data[3] = uint8_t(width + 1);
        ++widened;
        const bool filled = region.data[1] & 0x08;
        if (filled || !redrawsRegion(segments, region))
            continue;
        const int clear = transparentEntry(segments, region.data[7], depth);
        if (clear != kNone)
            fillWith(region, depth, clear);
    }
    return widened;
}

} // namespace SubtitleRegions
