#include "settopbox/BoxOptions.h"

#include <charconv>

namespace halcyon::settopbox {

const char *const kBoxUsage =
    "usage: halcyon-settopbox [--port N] [--channels 201,202,...] [--unserved 299,...]\n"
    "                         [--playlist PATH] [--host NAME] [--bind ADDRESS]\n"
    "       halcyon-settopbox --print-colour N\n"
    "  --port 0 picks a free port. Prints \"READY port=N\" when serving.\n"
    "  Commands on stdin, one per line: freeze [N], resume [N], stop-serving, serve, quit.\n";

namespace {

bool parseInt(const std::string &text, int *value) {
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc() && ptr == end;
}

bool parseList(const std::string &text, std::vector<int> *numbers) {
    numbers->clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        int n = 0;
        if (!parseInt(text.substr(start, comma - start), &n) || n <= 0)
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
            ok = parseList(value, &options->channels);
        else if (name == "--unserved")
            ok = parseList(value, &options->unserved);
        else if (name == "--playlist")
            options->playlistPath = value;
        else if (name == "--host")
            options->host = value;
        else if (name == "--print-colour")
            ok = parseInt(value, &options->printColour) && options->printColour > 0;
        else if (name == "--bind")
            options->bindAddress = value;
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
