#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace halcyon::settopbox {

// The id a channel has in the box's guide and its playlist's tvg-id.
inline std::string guideChannelId(int number) {
    return std::to_string(number) + ".halcyon";
}

// An XMLTV guide of the channels, from an hour before now to a day after, in programmes of
// programmeSeconds each, aligned on multiples of it so that every fetch agrees with the last.
// Titles are French with accents, as a real guide's are; times are given in UTC+01:00.
std::string guideText(const std::vector<int> &channels, std::time_t now, int programmeSeconds);

} // namespace halcyon::settopbox
