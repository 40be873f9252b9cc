// Channel-change speed and the cost of warm neighbours, against the simulated box.
//   zap_bench [--steps N] [--tunes N] [--cpu-seconds S] [--limited-seconds S] [--held-steps N]
//             [--profile NAME] [--channels N] [--seed X] [--verbose]
// Prints, in one run on the same streams: warm steps (Up/Down to a neighbour, as the channel list
// does it: tune, then tell the control the new neighbours) from the step to the first picture
// painted; cold tunes (nothing warm) beside ffmpeg's first frame and a bare GStreamer pipeline's
// first decoded frame; the player's CPU, memory and bytes received with and without warm
// neighbours; steps on a box that takes two sessions at most (failure texts, sessions asked for);
// how many steps of a held key (one every 100 ms after 300 ms, up and down the list) showed a
// picture of their channel before the next step; and how many painted pictures showed another
// channel than the one tuned. A part given 0 is left out.
#include "ProcessCpu.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"
#include "player/TuneSequence.h"
#include "player/playback/GstPlayerEngine.h"
#include "player/playback/PlaybackSupervisor.h"
#include "player/playback/WarmPlayerEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

// Three broadcast channels already take most of a core of the box: more would starve the player.
QList<int> kChannels = {201, 202, 203};

struct Settings {
    int steps = 30;
    int tunes = 24;
    int cpuSeconds = 10;
    int limitedSeconds = 60;
    int heldSteps = 0;
    int channels = 3;
    QString profile = QStringLiteral("broadcast");
    quint32 seed = 0;
    bool verbose = false;
};

Settings parseArguments(const QStringList &arguments) {
    Settings settings;
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
        else if (arguments[i] == "--seed")
            settings.seed = value.toUInt();
    }
    return settings;
}

double percentile(QList<double> values, double fraction) {
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype index =
        std::min<qsizetype>(values.size() - 1, qsizetype(fraction * (values.size() - 1) + 0.5));
    return values[index];
}

QString summary(const QList<double> &values) {
    return QStringLiteral("%1 runs: median %2 ms, p90 %3 ms, min %4, max %5")
        .arg(values.size())
        .arg(percentile(values, 0.5), 0, 'f', 0)
        .arg(percentile(values, 0.9), 0, 'f', 0)
        .arg(percentile(values, 0), 0, 'f', 0)
        .arg(percentile(values, 1), 0, 'f', 0);
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.simplified().split(' ').value(1).toDouble() / 1024;
    }
    return -1;
}

void idle(int ms) {
    waitUntil([] { return false; }, ms, 5);
}

// Wall time of ffmpeg fetching and decoding one frame, process start included; -1 on failure.
double ffmpegFirstFrameMs(const QByteArray &address) {
    QProcess ffmpeg;
    QElapsedTimer clock;
    clock.start();
    ffmpeg.start("ffmpeg", {"-nostdin", "-loglevel", "error", "-rtsp_transport", "udp", "-i",
                            QString::fromLatin1(address), "-frames:v", "1", "-f", "null", "-"});
    if (!ffmpeg.waitForFinished(30000) || ffmpeg.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

struct BareTimes {
    double keyFrameMs = -1; // the first key frame whole out of the parser: no player shows a picture sooner
    double frameMs = -1;    // the first decoded frame
};

// Times from starting rtspsrc ! depay ! demux ! parse ! decoder ! fakesink sync=false, in this
// process; latencyMs < 0 keeps rtspsrc's default. -1s on failure.
BareTimes barePipelineTimes(const QByteArray &address, int latencyMs) {
    const QByteArray latency = latencyMs < 0 ? QByteArray() : " latency=" + QByteArray::number(latencyMs);
    const QByteArray line = "rtspsrc location=" + address + latency +
                            " ! rtpmp2tdepay ! tsdemux ! h264parse name=parse ! avdec_h264"
                            " ! fakesink name=sink sync=false signal-handoffs=true";
    GstElement *pipeline = gst_parse_launch(line.constData(), nullptr);
    if (!pipeline)
        return {};
    static std::atomic<qint64> s_firstNs, s_keyNs;
    s_firstNs = -1;
    s_keyNs = -1;
    QElapsedTimer clock;
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement *, GstBuffer *, GstPad *, gpointer data) {
                         qint64 none = -1;
                         s_firstNs.compare_exchange_strong(
                             none, static_cast<QElapsedTimer *>(data)->nsecsElapsed());
                     }),
                     &clock);
    gst_object_unref(sink);
    GstElement *parse = gst_bin_get_by_name(GST_BIN(pipeline), "parse");
    GstPad *parsed = gst_element_get_static_pad(parse, "src");
    gst_pad_add_probe(
        parsed, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            qint64 none = -1;
            if (!GST_BUFFER_FLAG_IS_SET(GST_PAD_PROBE_INFO_BUFFER(info), GST_BUFFER_FLAG_DELTA_UNIT))
                s_keyNs.compare_exchange_strong(none, static_cast<QElapsedTimer *>(data)->nsecsElapsed());
            return GST_PAD_PROBE_OK;
        },
        &clock, nullptr);
    gst_object_unref(parsed);
    gst_object_unref(parse);
    clock.start();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const bool ok = waitUntil([] { return s_firstNs >= 0; }, 20000, 1);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok ? BareTimes{s_keyNs / 1e6, s_firstNs / 1e6} : BareTimes{};
}

class ZapBench {
public:
    ZapBench(SetTopBox &box, const Settings &settings)
        : m_box(box), m_settings(settings), m_random(settings.seed) {
        auto engine = std::make_unique<WarmPlayerEngine>(std::make_unique<GstPlayerEngine>());
        m_warm = engine.get();
        m_control = std::make_unique<TVLCPlugin>(std::move(engine));
        m_control->resize(537, 329);
        m_control->show();
        QObject::connect(m_control.get(), &TVLCPlugin::framePainted, [this] {
            if (m_grabbing)
                return;
            ++m_painted;
            if (++m_paintedSinceTune == 2)
                m_secondMs = m_clock.nsecsElapsed() / 1e6;
            if (m_waitingForPicture) {
                m_waitingForPicture = false;
                m_zapMs = m_clock.nsecsElapsed() / 1e6;
            }
            // Every painted picture is looked at, right after its paint (a grab inside it would
            // paint again).
            if (!m_checkPending) {
                m_checkPending = true;
                QTimer::singleShot(0, m_control.get(), [this] { checkPicture(); });
            }
        });
    }

    void checkPicture() {
        m_checkPending = false;
        if (m_tuned == 0 || !m_control->statusText().isEmpty())
            return;
        ++m_checkedPictures;
        m_grabbing = true;
        const QRgb colour = averageColour(m_control->grab().toImage(), QRect(200, 20, 137, 40));
        m_grabbing = false;
        const int shown = channelOfColour(colour, kChannels);
        if (shown != 0 && shown != m_tuned) {
            ++m_wrongPictures;
            std::printf("picture of %d while on %d\n", shown, m_tuned);
        }
    }

    // Tunes as the channel list does; returns the time to the first picture painted, or -1.
    double tune(int channel, bool warmNeighbours) {
        m_waitingForPicture = true;
        m_zapMs = -1;
        m_paintedSinceTune = 0;
        m_secondMs = -1;
        m_tuned = channel;
        m_clock.start();
        runTuneSequence(*m_control, m_box.address(channel), {"nooverlay"}, true);
        m_control->setNeighbours(warmNeighbours ? neighboursOf(channel) : QStringList());
        if (!waitUntil([this] { return !m_waitingForPicture; }, 20000, 1))
            return -1;
        return m_zapMs;
    }

    // What the channel list offers: rows after and before, nearest first, alternately.
    QStringList offeredAround(qsizetype row) const {
        QStringList addresses;
        for (qsizetype distance = 1; distance <= 8; ++distance) {
            for (qsizetype neighbour : {row + distance, row - distance})
                addresses << (neighbour >= 0 && neighbour < kChannels.size()
                                  ? QString::fromLatin1(m_box.address(kChannels[neighbour]))
                                  : QString());
        }
        return addresses;
    }

    // Holds the key: the list steps, the bench does not wait for a picture between steps.
    void runHeldKey() {
        if (m_settings.heldSteps <= 0)
            return;
        constexpr int kRepeatDelayMs = 300;
        constexpr int kRepeatMs = 100;
        int row = 0;
        tune(kChannels[row], true);
        m_control->setNeighbours(offeredAround(row));
        int steps = 0, shown = 0, handedOver = 0, handedOverShown = 0, sweeps = 0;
        QList<double> shownMs;
        while (steps < m_settings.heldSteps) {
            // The key is pressed on a channel watched a while, its neighbours warm.
            pause();
            const int direction = row == 0 ? 1 : -1;
            ++sweeps;
            for (int i = 0;
                 steps < m_settings.heldSteps && row + direction >= 0 && row + direction < kChannels.size();
                 ++i, ++steps) {
                row += direction;
                m_waitingForPicture = true;
                m_zapMs = -1;
                m_tuned = kChannels[row];
                m_clock.start();
                runTuneSequence(*m_control, m_box.address(kChannels[row]), {"nooverlay"}, true);
                m_control->setNeighbours(offeredAround(row));
                const bool warm = m_warm->lastPlayWasHandedOver();
                idle(i == 0 ? kRepeatDelayMs : kRepeatMs);
                const bool pictured = !m_waitingForPicture;
                shown += pictured;
                handedOver += warm;
                handedOverShown += warm && pictured;
                if (pictured)
                    shownMs << m_zapMs;
                if (m_settings.verbose)
                    std::printf(
                        "held step to %d: %s, %s\n", kChannels[row], warm ? "handed over" : "cold",
                        pictured ? qPrintable(QStringLiteral("picture after %1 ms").arg(m_zapMs, 0, 'f', 0))
                                 : "no picture before the next step");
            }
            // The key is let go: the last channel shows.
            waitUntil([this] { return !m_waitingForPicture; }, 20000, 1);
        }
        std::printf(
            "held key over %d channels, %d steps in %d sweeps: %d showed their channel before the next "
            "step (%d of the %d handed over); time to those pictures %s\n",
            int(kChannels.size()), steps, sweeps, shown, handedOverShown, handedOver,
            qPrintable(summary(shownMs)));
    }

    QStringList neighboursOf(int channel) const {
        const qsizetype row = kChannels.indexOf(channel);
        QStringList addresses;
        for (qsizetype neighbour : {row + 1, row - 1}) {
            if (neighbour >= 0 && neighbour < kChannels.size())
                addresses << QString::fromLatin1(m_box.address(kChannels[neighbour]));
        }
        return addresses;
    }

    // A random moment in the GOP, and time for the neighbours to warm.
    void pause() { idle(600 + int(m_random.bounded(1000))); }

    void runWarmSteps() {
        if (m_settings.steps <= 0)
            return;
        int row = int(kChannels.size() / 2);
        tune(kChannels[row], true);
        QList<double> warm, notWarm, secondPicture;
        int failures = 0;
        for (int i = 0; i < m_settings.steps; ++i) {
            pause();
            const int direction = row == 0                      ? 1
                                  : row == kChannels.size() - 1 ? -1
                                  : m_random.bounded(2)         ? 1
                                                                : -1;
            const bool wasWarm = m_warm->warmAddresses().contains(
                QString::fromLatin1(m_box.address(kChannels[row + direction])));
            row += direction;
            const double ms = tune(kChannels[row], true);
            if (ms < 0)
                ++failures;
            else
                (m_warm->lastPlayWasHandedOver() ? warm : notWarm).append(ms);
            if (ms >= 0 && m_warm->lastPlayWasHandedOver() &&
                waitUntil([this] { return m_secondMs >= 0; }, 3000, 1))
                secondPicture.append(m_secondMs);
            if (m_settings.verbose)
                std::printf("step to %d: %.0f ms (%s, %s)\n", kChannels[row], ms,
                            wasWarm ? "was warm" : "not warm",
                            m_warm->lastPlayWasHandedOver() ? "handed over" : "cold");
        }
        std::printf("warm step (tune to first picture painted), handed over, %s\n",
                    qPrintable(summary(warm)));
        std::printf("the same to the second picture painted (the hand-over's first when the first was the "
                    "key frame kept), %s\n",
                    qPrintable(summary(secondPicture)));
        std::printf("steps to a neighbour not warm yet (tuned cold), %s\n", qPrintable(summary(notWarm)));
        std::printf("failed steps: %d\n", failures);
    }

    void runColdTunes() {
        if (m_settings.tunes <= 0)
            return;
        QList<double> zaps, ffmpeg, bare, bareDefault, keyFrames;
        int failures = 0;
        int current = kChannels.first();
        tune(current, false);
        for (int i = 0; i < m_settings.tunes; ++i) {
            pause();
            const int next = otherChannel(current);
            const double ms = tune(next, false);
            ms < 0 ? ++failures : (zaps.append(ms), 0);
            if (m_settings.verbose)
                std::printf("cold tune %d -> %d: %.0f ms\n", current, next, ms);
            current = next;

            // The references on another running channel, the player stopped meanwhile.
            m_control->stop();
            m_tuned = 0;
            pause();
            const double ffmpegMs = ffmpegFirstFrameMs(m_box.address(otherChannel(current)));
            ffmpegMs < 0 ? ++failures : (ffmpeg.append(ffmpegMs), 0);
            pause();
            const BareTimes bareTimes = barePipelineTimes(m_box.address(otherChannel(current)), 0);
            if (bareTimes.frameMs < 0) {
                ++failures;
            } else {
                bare.append(bareTimes.frameMs);
                keyFrames.append(bareTimes.keyFrameMs);
            }
            if (i % 4 == 0) {
                pause();
                const double defaultMs = barePipelineTimes(m_box.address(otherChannel(current)), -1).frameMs;
                defaultMs < 0 ? ++failures : (bareDefault.append(defaultMs), 0);
            }
            tune(current, false);
        }
        std::printf("cold tune (tune to first picture painted), %s\n", qPrintable(summary(zaps)));
        std::printf("ffmpeg -rtsp_transport udp -frames:v 1 -f null -, %s\n", qPrintable(summary(ffmpeg)));
        std::printf("bare rtspsrc latency=0 ! rtpmp2tdepay ! tsdemux ! h264parse ! avdec_h264 ! fakesink "
                    "sync=false, first decoded frame, %s\n",
                    qPrintable(summary(bare)));
        std::printf("the same with rtspsrc's default latency, %s\n", qPrintable(summary(bareDefault)));
        std::printf("its first key frame whole out of the parser (no picture can come sooner), %s\n",
                    qPrintable(summary(keyFrames)));
        std::printf(
            "cold median / ffmpeg median: %.2f; / bare (latency=0) median: %.2f; / bare (default): %.2f\n",
            percentile(zaps, 0.5) / percentile(ffmpeg, 0.5), percentile(zaps, 0.5) / percentile(bare, 0.5),
            percentile(zaps, 0.5) / percentile(bareDefault, 0.5));
        std::printf("key frame median / ffmpeg median: %.2f\n",
                    percentile(keyFrames, 0.5) / percentile(ffmpeg, 0.5));
        std::printf("failed tunes or reference runs: %d\n", failures);
    }

    struct Cost {
        double cpuPercent;
        double residentMb;
        double ringKbMax;
        double pictureKbMax;
        double neighbourBytesPerSecond;
        double picturesPerSecond;
    };

    Cost measure(bool warmNeighbours) {
        const int channel = kChannels[kChannels.size() / 2];
        tune(channel, warmNeighbours);
        if (warmNeighbours)
            waitUntil([this] { return m_warm->warmAddresses().size() == 2; }, 10000);
        idle(1000);
        const qint64 bytesBefore = m_warm->bytesReceivedByNeighbours();
        const int paintedBefore = m_painted;
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        qsizetype ringMax = 0, picturesMax = 0;
        waitUntil(
            [&] {
                ringMax = std::max(ringMax, m_warm->bytesHeld());
                picturesMax = std::max(picturesMax, m_warm->pictureBytesHeld());
                return false;
            },
            m_settings.cpuSeconds * 1000, 50);
        const double seconds = wall.nsecsElapsed() / 1e9;
        return Cost{100 * (cpuSeconds() - cpuBefore) / seconds,
                    residentMegabytes(),
                    ringMax / 1024.0,
                    picturesMax / 1024.0,
                    (m_warm->bytesReceivedByNeighbours() - bytesBefore) / seconds,
                    (m_painted - paintedBefore) / seconds};
    }

    void runCost() {
        if (m_settings.cpuSeconds <= 0)
            return;
        const Cost cold = measure(false);
        const Cost warm = measure(true);
        std::printf(
            "player CPU playing channel %d at 537x329: %.1f %% of one core without neighbours, %.1f %% "
            "with 2 warm: %.1f %% per warm neighbour (%.0f / %.0f pictures/s painted)\n",
            kChannels[kChannels.size() / 2], cold.cpuPercent, warm.cpuPercent,
            (warm.cpuPercent - cold.cpuPercent) / 2, cold.picturesPerSecond, warm.picturesPerSecond);
        std::printf(
            "memory: resident %.0f MB without, %.0f MB with 2 warm neighbours; their rings held at most "
            "%.0f KB together, their key-frame pictures %.0f KB\n",
            cold.residentMb, warm.residentMb, warm.ringKbMax, warm.pictureKbMax);
        std::printf(
            "received by the warm neighbours: %.0f KB/s each; the watched channel is one more such stream: "
            "%.0f KB/s without, %.0f KB/s with neighbours\n",
            warm.neighbourBytesPerSecond / 2 / 1024, warm.neighbourBytesPerSecond / 2 / 1024,
            warm.neighbourBytesPerSecond * 1.5 / 1024);
    }

    // Steps at random moments for a while on a box that refuses a third session.
    void runSessionLimit() {
        if (m_settings.limitedSeconds <= 0 || !m_box.setMaxSessions(2))
            return;
        int row = int(kChannels.size() / 2);
        tune(kChannels[row], true);
        int failureTexts = 0;
        const auto counter =
            QObject::connect(m_control.get(), &TVLCPlugin::statusChanged, [&](const QString &text) {
                if (!text.isEmpty() && text != PlaybackSupervisor::connectingText())
                    ++failureTexts;
            });
        const int sessionsBefore = m_warm->sessionsRequested();
        QList<double> warm, cold;
        int steps = 0, failures = 0;
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < m_settings.limitedSeconds * 1000) {
            pause();
            const int direction = row == 0                      ? 1
                                  : row == kChannels.size() - 1 ? -1
                                  : m_random.bounded(2)         ? 1
                                                                : -1;
            row += direction;
            const double ms = tune(kChannels[row], true);
            ++steps;
            if (ms < 0)
                ++failures;
            else
                (m_warm->lastPlayWasHandedOver() ? warm : cold).append(ms);
        }
        const double seconds = wall.elapsed() / 1000.0;
        QObject::disconnect(counter);
        m_box.setMaxSessions(0);
        std::printf(
            "box of 2 sessions, %d steps over %.0f s: %d failed, %d failure texts; sessions asked for: "
            "%d (%.1f a step); handed over %s; cold %s\n",
            steps, seconds, failures, failureTexts, m_warm->sessionsRequested() - sessionsBefore,
            double(m_warm->sessionsRequested() - sessionsBefore) / std::max(1, steps),
            qPrintable(summary(warm)), qPrintable(summary(cold)));
    }

    void report() const {
        std::printf("pictures painted of another channel than the one tuned: %d of %d looked at\n",
                    m_wrongPictures, m_checkedPictures);
    }

private:
    int otherChannel(int current) {
        int next;
        do
            next = kChannels[m_random.bounded(int(kChannels.size()))];
        while (next == current);
        return next;
    }

    SetTopBox &m_box;
    Settings m_settings;
    QRandomGenerator m_random;
    WarmPlayerEngine *m_warm = nullptr;
    std::unique_ptr<TVLCPlugin> m_control;
    QElapsedTimer m_clock;
    bool m_waitingForPicture = false;
    double m_zapMs = -1;
    int m_paintedSinceTune = 0;
    double m_secondMs = -1;
    int m_tuned = 0;
    int m_painted = 0;
    bool m_grabbing = false;
    bool m_checkPending = false;
    int m_checkedPictures = 0;
    int m_wrongPictures = 0;
};

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    gst_init(nullptr, nullptr);
    const Settings settings = parseArguments(app.arguments());
    kChannels.clear();
    for (int i = 0; i < settings.channels; ++i)
        kChannels << 201 + i;
    SetTopBox box;
    SetTopBox::Options options;
    options.channels = kChannels;
    options.profile = settings.profile;
    if (!box.start(options)) {
        std::fprintf(stderr, "the simulated box did not start: %s\n", qPrintable(box.error()));
        return 1;
    }
    std::printf("seed %u, platform %s, channels 201-%d (%s) on 127.0.0.1:%d\n", settings.seed,
                qPrintable(QGuiApplication::platformName()), kChannels.last(), qPrintable(settings.profile),
                box.port());
    ZapBench bench(box, settings);
    bench.runWarmSteps();
    bench.runColdTunes();
    bench.runCost();
    bench.runSessionLimit();
    bench.runHeldKey();
    bench.report();
    return 0;
}
