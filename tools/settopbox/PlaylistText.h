#pragma once

#include "settopbox/ChannelNames.h"
#include "settopbox/GuideText.h"

#include <algorithm>
#include <string>
#include <vector>

namespace halcyon::settopbox {

inline std::string channelAddress(const std::string &host, int port, int number) {
    return "rtsp://" + host + ":" + std::to_string(port) + "/orvantv/" + std::to_string(number);
}

inline std::string guideAddress(const std::string &host, int guidePort) {
    return "http://" + host + ":" + std::to_string(guidePort) + "/guide.xml";
}

// The box's playlist: entry line, address line, entry line, address line..., in channel order,
// with no header, because the player finds row k's address on line 2k + 1. With a guide
// (guidePort >= 0) a header line names it and each entry carries its channel's tvg-id.
inline std::string playlistText(const std::string &host, int port, std::vector<int> numbers, int guidePort = -1) {
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::string text;
    if (guidePort >= 0)
        text += "#EXTM3U url-tvg=\"" + guideAddress(host, guidePort) + "\"\n";
    for (int n : numbers) {
        const std::string id = guidePort >= 0 ? " tvg-id=\"" + guideChannelId(n) + "\"" : std::string();
        text += "#EXTINF:-1" + id + "," + channelName(n) + "\n";
        text += channelAddress(host, port, n) + "\n";
    }
    return text;
}

} // namespace halcyon::settopbox
