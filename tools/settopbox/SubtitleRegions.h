#pragma once

#include <cstddef>
#include <cstdint>

namespace halcyon::settopbox {

// Widens each region of a DVB subtitle page by one transparent column. The encoder makes every
// line of a region exactly as wide as the region, and GStreamer's 1.22 decoder takes the end of
// such a line for a write past the region and drops the rest of the field: only the first line
// of the page shows. The page is the encoder's payload (0x20 0x00, segments, 0xff); the region's
// fill colour becomes the page's first fully transparent colour. Returns how many regions grew.
int widenSubtitleRegions(uint8_t *page, size_t size);

} // namespace halcyon::settopbox
