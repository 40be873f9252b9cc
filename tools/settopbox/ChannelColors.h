#pragma once

// The background colour of each simulated channel. Tests tell channels apart by sampling the
// picture's background, so the box and the tests read the colour from here and nowhere else.
// The colours sit at least 127 apart in one component; none is pure red (the skin's key colour),
// pure blue, grey (a decoder's blank picture) or close to black (a window's empty background).

namespace halcyon::settopbox {

struct ChannelColour {
    int r;
    int g;
    int b;
};

inline constexpr ChannelColour kChannelColours[] = {
    {255, 128, 0},   {0, 128, 255}, {0, 255, 0},     {255, 0, 255},   {255, 255, 0}, {0, 128, 128},
    {128, 0, 255},   {128, 255, 0}, {255, 0, 128},   {0, 255, 255},   {128, 128, 0}, {0, 255, 128},
    {255, 128, 128}, {0, 128, 0},   {128, 128, 255}, {128, 255, 128},
};

inline constexpr int kChannelColourCount = sizeof(kChannelColours) / sizeof(kChannelColours[0]);

// Channel 201 takes the first colour; any 16 consecutive numbers get 16 different colours.
inline constexpr ChannelColour channelColour(int number) {
    const int i = ((number - 201) % kChannelColourCount + kChannelColourCount) % kChannelColourCount;
    return kChannelColours[i];
}

} // namespace halcyon::settopbox
