#include "settopbox/BoxCommands.h"

#include "settopbox/BoxOptions.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace halcyon::settopbox {

namespace {

constexpr int kDefaultRestartMs = 1000;
// Holding a viewer's thread longer would also hold up its teardown.
constexpr int kLongestJitterMs = 5000;

// The optional channel argument: absent means every channel.
bool channelArgument(const std::vector<std::string> &words, size_t index, int *channel) {
    *channel = 0;
    if (words.size() <= index)
        return true;
    return words.size() == index + 1 && parseInt(words[index], channel) && *channel >= 0;
}

} // namespace

bool parseTransports(const std::string &text, Transports *transports) {
    if (text == "any")
        *transports = Transports::Any;
    else if (text == "tcp")
        *transports = Transports::TcpOnly;
    else if (text == "udp")
        *transports = Transports::UdpOnly;
    else
        return false;
    return true;
}

CommandResult runBoxCommand(BoxServer &server, const std::string &line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    if (words.empty())
        return CommandResult::Empty;
    const std::string &verb = words[0];
    const std::string first = words.size() > 1 ? words[1] : std::string();
    int channel = 0;
    int number = 0;
    double percent = 0;
    bool ok = false;
    if (verb == "freeze" || verb == "resume")
        ok = channelArgument(words, 1, &channel) && server.setFrozen(channel, verb == "freeze");
    else if (verb == "stall")
        ok = parseInt(first, &number) && number >= 0 && channelArgument(words, 2, &channel) &&
             server.stall(channel, number);
    else if (verb == "loss")
        ok = parsePercent(first, &percent) && channelArgument(words, 2, &channel) &&
             server.setLoss(channel, percent);
    else if (verb == "jitter")
        ok = parseInt(first, &number) && number >= 0 && number <= kLongestJitterMs &&
             channelArgument(words, 2, &channel) && server.setJitter(channel, number);
    else if (verb == "transport") {
        Transports transports;
        ok = words.size() == 2 && parseTransports(first, &transports);
        if (ok)
            server.setTransports(transports);
    } else if (verb == "session-timeout") {
        ok = words.size() == 2 && parseInt(first, &number) && number > 0;
        if (ok)
            server.setSessionTimeout(number);
    } else if (verb == "max-sessions") {
        ok = words.size() == 2 && parseInt(first, &number) && number >= 0;
        if (ok)
            server.setMaxSessions(number);
    } else if (verb == "teardown") {
        bool ignored = false;
        ok = words.size() == 2 && parseTeardown(first, &ignored);
        if (ok)
            server.setTeardownIgnored(ignored);
    } else if (verb == "end-sessions-every") {
        ok = words.size() == 2 && parseInt(first, &number) && number >= 0;
        if (ok)
            server.setSessionsEndedEvery(number);
    } else if (verb == "sessions") {
        // Answered on a line of its own before the acknowledgement: "SESSIONS 3 201:1/2 202:1/1",
        // the sessions held, then by channel its viewers now and the most at once since last asked.
        ok = words.size() == 1;
        if (ok) {
            const BoxServer::SessionCount count = server.sessions();
            std::string counts = "SESSIONS " + std::to_string(count.held);
            for (const auto &[number, viewers] : count.viewers)
                counts += " " + std::to_string(number) + ":" + std::to_string(viewers.now) + "/" +
                          std::to_string(viewers.peak);
            std::printf("%s\n", counts.c_str());
        }
    } else if (verb == "restart") {
        number = kDefaultRestartMs;
        std::string error;
        ok = words.size() <= 2 && (words.size() == 1 || (parseInt(first, &number) && number >= 0)) &&
             server.restart(number, &error);
        if (!error.empty())
            std::fprintf(stderr, "halcyon-settopbox: %s\n", error.c_str());
    } else if (verb == "stop-serving" || verb == "serve") {
        ok = words.size() == 1;
        if (ok && verb == "serve")
            server.serve();
        else if (ok)
            server.stopServing();
    } else if (verb == "quit") {
        return CommandResult::Quit;
    }
    return ok ? CommandResult::Done : CommandResult::Refused;
}

} // namespace halcyon::settopbox
