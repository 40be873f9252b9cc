#pragma once

#include <map>
#include <string>
#include <vector>

namespace halcyon::settopbox {

struct BoxOptions {
    int port = 8554;
    std::string bindAddress = "127.0.0.1";
    std::string host = "127.0.0.1";
    std::vector<int> channels{201, 202, 203};
    // Profiles named per channel in --channels; the others take `profile`.
    std::map<int, std::string> channelProfiles;
    std::string profile = "broadcast";
    std::vector<int> unserved;
    std::string playlistPath;
    // "any", "tcp" or "udp": the lower transports a SETUP may ask for.
    std::string transport = "any";
    int sessionTimeout = 60;
    int maxSessions = 0;
    // "answer" or "ignore": TEARDOWN answered 501, the session left to time out.
    std::string teardown = "answer";
    // Each session ended by the box with an RTCP BYE this many seconds after it began; 0: never.
    int endSessionsEvery = 0;
    double loss = 0;
    int jitter = 0;
    // A guide served over HTTP on this port (0: a free one) and named in the playlist; -1: none.
    int guidePort = -1;
    // The length of each programme in that guide.
    int programmeSeconds = 300;
    // When set, the box only prints that channel's background colour as "R G B" for scripts.
    int printColour = 0;

    std::string profileOf(int channel) const;
};

// Reads the command line; on a mistake returns false with a message for the user.
bool parseBoxOptions(int argc, char **argv, BoxOptions *options, std::string *error);

// Number parsing shared with the commands on standard input: the whole text or nothing.
bool parseInt(const std::string &text, int *value);
bool parsePercent(const std::string &text, double *value);
// "answer" or "ignore" (ignored may be null).
bool parseTeardown(const std::string &text, bool *ignored);

extern const char *const kBoxUsage;

} // namespace halcyon::settopbox
