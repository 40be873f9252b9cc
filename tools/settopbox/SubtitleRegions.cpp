#include "settopbox/SubtitleRegions.h"

namespace halcyon::settopbox {

namespace {

constexpr uint8_t kSyncByte = 0x0f;
constexpr uint8_t kRegionSegment = 0x11;
constexpr uint8_t kClutSegment = 0x12;
constexpr int kNone = -1;

struct Segment {
    uint8_t type;
    uint8_t *data;
    size_t size;
};

// Calls visit(segment) for each whole segment of the page, in order.
template <typename Visit> void eachSegment(uint8_t *page, size_t size, Visit visit) {
    if (size < 2 || page[0] != 0x20 || page[1] != 0x00)
        return;
    size_t at = 2;
    while (at + 6 <= size && page[at] == kSyncByte) {
        const size_t length = size_t(page[at + 4]) << 8 | page[at + 5];
        if (at + 6 + length > size)
            return;
        visit(Segment{page[at + 1], page + at + 6, length});
        at += 6 + length;
    }
}

// A colour entry is id, flags and either Y Cr Cb T (full range) or two packed bytes; T 255, or
// Y 0 in either form, is fully transparent.
int transparentEntry(const Segment &clut) {
    size_t at = 2;
    while (at + 2 <= clut.size) {
        const uint8_t id = clut.data[at];
        const bool fullRange = clut.data[at + 1] & 0x01;
        const size_t length = fullRange ? 6 : 4;
        if (at + length > clut.size)
            break;
        const uint8_t *value = clut.data + at + 2;
        const bool clear = fullRange ? (value[3] == 0xff || value[0] == 0) : (value[0] >> 2) == 0;
        if (clear)
            return id;
        at += length;
    }
    return kNone;
}

} // namespace

int widenSubtitleRegions(uint8_t *page, size_t size) {
    int clear = kNone;
    eachSegment(page, size, [&](const Segment &s) {
        if (s.type == kClutSegment && clear == kNone)
            clear = transparentEntry(s);
    });
    if (clear == kNone)
        return 0;
    int widened = 0;
    eachSegment(page, size, [&](const Segment &s) {
        // id, version and fill flag, width, height, depth, CLUT id, 8-bit, 4-bit and 2-bit codes.
        if (s.type != kRegionSegment || s.size < 10)
            return;
        const unsigned width = unsigned(s.data[2]) << 8 | s.data[3];
        if (width >= 0xffff)
            return;
        s.data[2] = uint8_t((width + 1) >> 8);
        s.data[3] = uint8_t(width + 1);
        s.data[1] |= 0x08;
        s.data[8] = uint8_t(clear);
        s.data[9] = uint8_t((clear & 0x0f) << 4 | (clear & 0x03) << 2 | (s.data[9] & 0x03));
        ++widened;
    });
    return widened;
}

} // namespace halcyon::settopbox
