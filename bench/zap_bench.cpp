// Channel-change speed and the cost of warm neighbours, against the simulated box (one MPEG-TS over
// RTP) and an independent server (rtsp-server-perl fed by ffmpeg: each elementary stream its own
// RTP session, relative control paths), one after the other in one run.
//   zap_bench [--steps N] [--tunes N] [--cpu-seconds S] [--limited-seconds S] [--held-steps N]
//             [--profile NAME] [--channels N] [--servers box,independent] [--seed X] [--verbose]
//             [--loss PERCENT] [--jitter MS]
// For each server: warm steps (Up/Down to a neighbour, as the channel list does it: tune, then tell
// the control the new neighbours) from the step to the first picture painted and to the first
// live one (the hand-over's first, when the first was the key frame kept); cold tunes (nothing
// warm) beside ffmpeg's first frame, a bare GStreamer pipeline's first decoded frame and its first
// key frame whole out of the parser (the floor); the player's CPU and memory with and without warm
// neighbours; sessions and bytes per second at rest and while a key is held (one step every 100 ms
// after 300 ms, up and down the list: the steps that showed their channel before the next one);
// steps on a box that takes two sessions at most (failure texts, sessions asked for); and how many
// painted pictures showed another channel than the one tuned. Then one table of both. A part
// given 0 is left out. --loss and --jitter make the box's link lossy or uneven (the independent
// server has no such switch).
#include "ZapBench.h"
#include "support/IndependentRelay.h"
#include "support/SetTopBox.h"

#include <QApplication>
#include <QRandomGenerator>
#include <gst/gst.h>

#include <algorithm>
#include <cstdio>

namespace {

ZapSettings parseArguments(const QStringList &arguments) {
    ZapSettings settings;
    settings.seed = QRandomGenerator::system()->generate();
    settings.verbose = arguments.contains("--verbose");
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        const QString &value = arguments[i + 1];
        if (arguments[i] == "--steps")
            settings.steps = value.toInt();
        else if (arguments[i] == "--tunes")
            settings.tunes = value.toInt();
        else if (arguments[i] == "--cpu-seconds")
            settings.cpuSeconds = value.toInt();
        else if (arguments[i] == "--limited-seconds")
            settings.limitedSeconds = value.toInt();
        else if (arguments[i] == "--held-steps")
            settings.heldSteps = value.toInt();
        else if (arguments[i] == "--channels")
            settings.channels = std::max(3, value.toInt());
        else if (arguments[i] == "--profile")
            settings.profile = value;
        else if (arguments[i] == "--servers")
            settings.servers = value.split(',');
        else if (arguments[i] == "--seed")
            settings.seed = value.toUInt();
        else if (arguments[i] == "--loss" || arguments[i] == "--jitter")
            settings.boxArguments << arguments[i] << value;
    }
    return settings;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    gst_init(nullptr, nullptr);
    const ZapSettings settings = parseArguments(app.arguments());
    kChannels.clear();
    for (int i = 0; i < settings.channels; ++i)
        kChannels << 201 + i;
    std::printf("seed %u, platform %s\n", settings.seed, qPrintable(QGuiApplication::platformName()));
    QList<ZapFigures> all;
    if (settings.servers.contains("box")) {
        SetTopBox box;
        SetTopBox::Options options;
        options.channels = kChannels;
        options.profile = settings.profile;
        options.arguments = settings.boxArguments;
        if (!box.start(options)) {
            std::fprintf(stderr, "the simulated box did not start: %s\n", qPrintable(box.error()));
            return 1;
        }
        const ZapServer server{QStringLiteral("box (%1, MPEG-TS over RTP)").arg(settings.profile),
                               [&box](int channel) { return box.address(channel); }, box.port(), &box, false};
        all.append(ZapFigures());
        runZapBench(server, settings, all.last());
    }
    if (settings.servers.contains("independent")) {
        // Started once the box is gone: the two would share the machine's two cores.
        IndependentRelay relay;
        bool started = relay.start(kChannels.first());
        for (int i = 1; started && i < kChannels.size(); ++i)
            started = relay.publish(kChannels[i]);
        if (!started) {
            std::fprintf(stderr, "the independent server did not start: %s\n", qPrintable(relay.error()));
            return 1;
        }
        const ZapServer server{QStringLiteral("independent (MPEG-2 and MP2, each its own RTP session)"),
                               [&relay](int channel) { return relay.address(channel); }, relay.port(),
                               nullptr, true};
        all.append(ZapFigures());
        runZapBench(server, settings, all.last());
    }
    ZapFigures::printTable(all);
    return 0;
}
