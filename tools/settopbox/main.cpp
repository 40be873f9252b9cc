// The simulated set-top box: serves live test channels over RTSP at /orvantv/<number>.
#include "settopbox/BoxCommands.h"
#include "settopbox/BoxOptions.h"
#include "settopbox/BoxServer.h"
#include "settopbox/ChannelColors.h"
#include "settopbox/GuideServer.h"
#include "settopbox/PlaylistText.h"

#include <glib-unix.h>
#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>
#include <map>

using namespace halcyon::settopbox;

namespace {

struct Box {
    GMainLoop *loop = nullptr;
    guint inputWatch = 0;
    BoxServer server;
    GuideServer guide;
};

// Answers on stdout so a test knows the command has taken effect before it goes on.
void runCommand(Box &box, const std::string &line) {
    const CommandResult result = runBoxCommand(box.server, line);
    if (result == CommandResult::Empty)
        return;
    std::printf("%s %s\n", result == CommandResult::Refused ? "ERROR" : "OK", line.c_str());
    std::fflush(stdout);
    if (result == CommandResult::Quit)
        g_main_loop_quit(box.loop);
}

gboolean onStdin(GIOChannel *channel, GIOCondition, gpointer data) {
    auto &box = *static_cast<Box *>(data);
    gchar *line = nullptr;
    gsize terminator = 0;
    GIOStatus status = g_io_channel_read_line(channel, &line, nullptr, &terminator, nullptr);
    if (status == G_IO_STATUS_AGAIN)
        return G_SOURCE_CONTINUE;
    if (status != G_IO_STATUS_NORMAL) {
        // The box started in the background with no stdin goes on serving until a signal.
        box.inputWatch = 0;
        return G_SOURCE_REMOVE;
    }
    std::string text(line, terminator);
    g_free(line);
    runCommand(box, text);
    return G_SOURCE_CONTINUE;
}

gboolean onSignal(gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop *>(loop));
    return G_SOURCE_CONTINUE;
}

bool writePlaylist(const BoxOptions &options, int port, int guidePort) {
    std::vector<int> all = options.channels;
    all.insert(all.end(), options.unserved.begin(), options.unserved.end());
    const std::string text = playlistText(options.host, port, all, guidePort);
    FILE *file = std::fopen(options.playlistPath.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char **argv) {
    gst_init(&argc, &argv);
    BoxOptions options;
    std::string error;
    if (!parseBoxOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }

    if (options.printColour > 0) {
        const ChannelColour c = channelColour(options.printColour);
        std::printf("%d %d %d\n", c.r, c.g, c.b);
        return 0;
    }

    Box box;
    box.loop = g_main_loop_new(nullptr, FALSE);
    std::map<int, const StreamProfile *> channels;
    for (int number : options.channels)
        channels[number] = findProfile(options.profileOf(number));
    Transports transports = Transports::Any;
    parseTransports(options.transport, &transports);
    if (!box.server.start(options.bindAddress, options.port, channels, &error)) {
        std::fprintf(stderr, "halcyon-settopbox: %s\n", error.c_str());
        return 1;
    }
    box.server.setTransports(transports);
    box.server.setSessionTimeout(options.sessionTimeout);
    box.server.setMaxSessions(options.maxSessions);
    bool teardownIgnored = false;
    parseTeardown(options.teardown, &teardownIgnored);
    box.server.setTeardownIgnored(teardownIgnored);
    box.server.setSessionsEndedEvery(options.endSessionsEvery);
    box.server.setLoss(0, options.loss);
    box.server.setJitter(0, options.jitter);
    const int port = box.server.port();
    int guidePort = -1;
    if (options.guidePort >= 0) {
        std::vector<int> listed = options.channels;
        listed.insert(listed.end(), options.unserved.begin(), options.unserved.end());
        if (!box.guide.start(options.bindAddress, options.guidePort, listed, options.programmeSeconds,
                             &error)) {
            std::fprintf(stderr, "halcyon-settopbox: %s\n", error.c_str());
            return 1;
        }
        guidePort = box.guide.port();
        std::printf("GUIDE port=%d\n", guidePort);
    }
    if (!options.playlistPath.empty() && !writePlaylist(options, port, guidePort)) {
        std::fprintf(stderr, "halcyon-settopbox: cannot write %s\n", options.playlistPath.c_str());
        return 1;
    }

    GIOChannel *input = g_io_channel_unix_new(0);
    box.inputWatch = g_io_add_watch(input, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), &onStdin, &box);
    g_unix_signal_add(SIGINT, &onSignal, box.loop);
    g_unix_signal_add(SIGTERM, &onSignal, box.loop);

    std::printf("READY port=%d\n", port);
    std::fflush(stdout);
    g_main_loop_run(box.loop);

    if (box.inputWatch)
        g_source_remove(box.inputWatch);
    g_io_channel_unref(input);
    g_main_loop_unref(box.loop);
    return 0;
}
