#pragma once

#include <string>
#include <vector>

namespace halcyon::settopbox {

struct BoxOptions {
    int port = 8554;
    std::string bindAddress = "127.0.0.1";
    std::string host = "127.0.0.1";
    std::vector<int> channels{201, 202, 203};
    std::vector<int> unserved;
    std::string playlistPath;
    // When set, the box only prints that channel's background colour as "R G B" for scripts.
    int printColour = 0;
};

// Reads the command line; on a mistake returns false with a message for the user.
bool parseBoxOptions(int argc, char **argv, BoxOptions *options, std::string *error);

extern const char *const kBoxUsage;

} // namespace halcyon::settopbox
