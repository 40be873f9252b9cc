#include "settopbox/BoxOptions.h"

#include "settopbox/StreamProfile.h"

#include <charconv>
#include <cstdlib>

namespace halcyon::settopbox {

const char *const kBoxUsage =
    "usage: halcyon-settopbox [--port N] [--channels 201[:PROFILE],202,...] [--profile PROFILE]\n"
    "                         [--unserved 299,...] [--playlist PATH] [--host NAME] [--bind ADDRESS]\n"
    "                         [--transport any|tcp|udp] [--session-timeout S] [--max-sessions N]\n"
    "                         [--loss PERCENT] [--jitter MS] [--teardown answer|ignore]\n"
    "                         [--guide-port N] [--programme-seconds S] [--end-sessions-every S]\n"
    "       halcyon-settopbox --print-colour N\n"
    "  --port 0 picks a free port. Prints \"READY port=N\" when serving.\n"
    "  --guide-port serves an XMLTV guide at http://HOST:N/guide.xml, named in the playlist, and\n"
    "  prints \"GUIDE port=N\" before READY.\n"
    "  Profiles: broadcast (default), sd-h264, sd-mpeg2, hd-h264i, two-audio, aspect-switch, radio,\n"
    "  elementary, audio-tracks, dvb-subtitles, tracks, tracks-qad.\n"
    "  Commands on stdin, one per line: freeze [N], resume [N], stall MS [N], loss PERCENT [N],\n"
    "  jitter MS [N], transport any|tcp|udp, session-timeout S, max-sessions N,\n"
    "  teardown answer|ignore, end-sessions-every S (0: never), sessions (SESSIONS HELD N:NOW/PEAK...),\n"
    "  restart [MS], stop-serving, serve, quit.\n"
    "  --end-sessions-every ends each session S seconds after it began with an RTCP BYE (naming its\n"
    "  SSRC and 0 in turn) and sends nothing more on it.\n";

bool parseInt(const std::string &text, int *value) {
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, *value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool parsePercent(const std::string &text, double *value) {
    char *end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && *value >= 0 && *value <= 100;
}

bool parseTeardown(const std::string &text, bool *ignored) {
    if (text != "answer" && text != "ignore")
        return false;
    if (ignored)
        *ignored = text == "ignore";
    return true;
}

std::string BoxOptions::profileOf(int channel) const {
    auto it = channelProfiles.find(channel);
    return it == channelProfiles.end() ? profile : it->second;
}

namespace {

// "201,202:radio,203": numbers, each with an optional profile.
bool parseList(const std::string &text, std::vector<int> *numbers, std::map<int, std::string> *profiles) {
    numbers->clear();
    if (profiles)
        profiles->clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        std::string item = text.substr(start, comma - start);
        const size_t colon = item.find(':');
        if (colon != std::string::npos) {
            const std::string profile = item.substr(colon + 1);
            item.resize(colon);
            if (!profiles || !findProfile(profile))
                return false;
            int n = 0;
            if (parseInt(item, &n))
                (*profiles)[n] = profile;
        }
        int n = 0;
        if (!parseInt(item, &n) || n <= 0)
            return false;
        numbers->push_back(n);
        start = comma + 1;
    }
    return !numbers->empty();
}

} // namespace

bool parseBoxOptions(int argc, char **argv, BoxOptions *options, std::string *error) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            *error = kBoxUsage;
            return false;
        }
        if (i + 1 >= argc) {
            *error = name + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        bool ok = true;
        if (name == "--port")
            ok = parseInt(value, &options->port) && options->port >= 0 && options->port <= 65535;
        else if (name == "--channels")
            ok = parseList(value, &options->channels, &options->channelProfiles);
        else if (name == "--profile")
            ok = findProfile(options->profile = value) != nullptr;
        else if (name == "--unserved")
            ok = parseList(value, &options->unserved, nullptr);
        else if (name == "--playlist")
            options->playlistPath = value;
        else if (name == "--host")
            options->host = value;
        else if (name == "--print-colour")
            ok = parseInt(value, &options->printColour) && options->printColour > 0;
        else if (name == "--bind")
            options->bindAddress = value;
        else if (name == "--transport")
            ok = (options->transport = value) == "any" || value == "tcp" || value == "udp";
        else if (name == "--session-timeout")
            ok = parseInt(value, &options->sessionTimeout) && options->sessionTimeout > 0;
        else if (name == "--max-sessions")
            ok = parseInt(value, &options->maxSessions) && options->maxSessions >= 0;
        else if (name == "--end-sessions-every")
            ok = parseInt(value, &options->endSessionsEvery) && options->endSessionsEvery >= 0;
        else if (name == "--teardown")
            ok = parseTeardown(options->teardown = value, nullptr);
        else if (name == "--loss")
            ok = parsePercent(value, &options->loss);
        else if (name == "--guide-port")
            ok = parseInt(value, &options->guidePort) && options->guidePort >= 0 &&
                 options->guidePort <= 65535;
        else if (name == "--programme-seconds")
            ok = parseInt(value, &options->programmeSeconds) && options->programmeSeconds > 0;
        else if (name == "--jitter")
            ok = parseInt(value, &options->jitter) && options->jitter >= 0 && options->jitter <= 5000;
        else {
            *error = "unknown option " + name + "\n" + kBoxUsage;
            return false;
        }
        if (!ok) {
            *error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    return true;
}

} // namespace halcyon::settopbox
