#pragma once

#include <cstddef>
#include <cstdint>

// GStreamer 1.22's DVB subtitle decoder refuses any code that comes once a line has reached the
// right edge of its region, the end-of-line code included ("invalid object location"), and drops
// the rest of that field: a region whose lines fill its width, as dvbsubenc and other encoders
// write every line, shows only its first line of each field. One column more keeps every line
// short of the edge. The column is filled with the page's transparent colour where the page
// redraws the region anyway, so nothing shows there.
namespace SubtitleRegions {

// Widens each region of a DVB subtitle page (a PES payload: 0x20 0x00, segments, 0xff) in place
// by one column. A region that asks for no fill, whose objects all come with the page and whose
// colour table there has a fully transparent colour for its depth, is filled with that colour.
// Returns how many regions grew; a page it cannot read is left as it is.
int widen(uint8_t *page, size_t size);

} // namespace SubtitleRegions
