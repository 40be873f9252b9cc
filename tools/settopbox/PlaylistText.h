#pragma once

#include "settopbox/ChannelNames.h"

#include <algorithm>
#include <string>
#include <vector>

namespace halcyon::settopbox {

inline std::string channelAddress(const std::string &host, int port, int number) {
    return "rtsp://" + host + ":" + std::to_string(port) + "/orvantv/" + std::to_string(number);
}

// The box's playlist: entry line, address line, entry line, address line..., in channel order,
// with no header, because the player finds row k's address on line 2k + 1.
inline std::string playlistText(const std::string &host, int port, std::vector<int> numbers) {
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::string text;
    for (int n : numbers) {
        text += "#EXTINF:-1," + channelName(n) + "\n";
        text += channelAddress(host, port, n) + "\n";
    }
    return text;
}

} // namespace halcyon::settopbox
