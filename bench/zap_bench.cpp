// Channel-change speed and playback cost of the player control against the simulated box.
//   zap_bench [--tunes N] [--cpu-seconds S] [--seed X] [--verbose]
// Prints: zap time from the tune call to the first picture painted (median, p90) beside ffmpeg's
// first decoded frame on the same streams, the longest time the UI thread spent inside one tune,
// and the player's CPU while one channel plays.
#include "ProcessCpu.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"
#include "player/TuneSequence.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

const QList<int> kChannels = {201, 202, 203};

struct Settings {
    int tunes = 24;
    int cpuSeconds = 10;
    quint32 seed = 0;
    bool verbose = false;
};

Settings parseArguments(const QStringList &arguments) {
    Settings settings;
    settings.seed = QRandomGenerator::system()->generate();
    settings.verbose = arguments.contains("--verbose");
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == "--tunes")
            settings.tunes = arguments[i + 1].toInt();
        else if (arguments[i] == "--cpu-seconds")
            settings.cpuSeconds = arguments[i + 1].toInt();
        else if (arguments[i] == "--seed")
            settings.seed = arguments[i + 1].toUInt();
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

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
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

class ZapBench {
public:
    ZapBench(SetTopBox &box, const Settings &settings)
        : m_box(box), m_settings(settings), m_random(settings.seed) {
        m_control.resize(537, 329);
        m_control.show();
        QObject::connect(&m_control, &TVLCPlugin::framePainted, [this] {
            if (m_waitingForPicture) {
                m_waitingForPicture = false;
                m_zapMs = m_clock.nsecsElapsed() / 1e6;
            }
        });
    }

    // Tunes as the channel list does and returns the time to the first picture, or -1.
    double zapTo(int channel) {
        m_waitingForPicture = true;
        m_zapMs = -1;
        const double cpuBefore = threadCpuMs();
        m_clock.start();
        runTuneSequence(m_control, m_box.address(channel), {"nooverlay"}, true);
        m_uiMs.append(m_clock.nsecsElapsed() / 1e6);
        m_uiCpuMs.append(threadCpuMs() - cpuBefore);
        if (!waitUntil([this] { return !m_waitingForPicture; }, 20000, 1))
            return -1;
        if (!looksLikeChannel(averageColour(m_control.grab().toImage(), QRect(200, 20, 137, 40)), channel))
            ++m_wrongPictures;
        return m_zapMs;
    }

    // A random moment in the box's 0.48 s GOP, and time for the picture to settle.
    void pause() {
        waitUntil([] { return false; }, 500 + int(m_random.bounded(1000)));
    }

    int otherChannel(int current) {
        int next;
        do
            next = kChannels[m_random.bounded(int(kChannels.size()))];
        while (next == current);
        return next;
    }

    void run() {
        QList<double> zaps;
        QList<double> ffmpeg;
        int failures = 0;
        int current = kChannels.first();
        zapTo(current); // loads the plugins once
        for (int i = 0; i < m_settings.tunes; ++i) {
            pause();
            const int next = otherChannel(current);
            const double ms = zapTo(next);
            ms < 0 ? ++failures : (zaps.append(ms), 0);
            if (m_settings.verbose)
                std::printf("zap %d -> %d: %.0f ms\n", current, next, ms);
            current = next;

            // ffmpeg on another running channel, alone on the machine but for the box.
            m_control.stop();
            pause();
            const double ffmpegMs = ffmpegFirstFrameMs(m_box.address(otherChannel(current)));
            ffmpegMs < 0 ? ++failures : (ffmpeg.append(ffmpegMs), 0);
            zapTo(current);
        }
        std::printf("zap (tune call to first picture painted), %lld tunes: median %.0f ms, p90 %.0f ms, "
                    "min %.0f, max %.0f\n",
                    qlonglong(zaps.size()), percentile(zaps, 0.5), percentile(zaps, 0.9), percentile(zaps, 0),
                    percentile(zaps, 1));
        std::printf(
            "ffmpeg -rtsp_transport udp -frames:v 1 -f null -, %lld runs: median %.0f ms, p90 %.0f ms\n",
            qlonglong(ffmpeg.size()), percentile(ffmpeg, 0.5), percentile(ffmpeg, 0.9));
        std::printf("zap median / ffmpeg median: %.2f\n", percentile(zaps, 0.5) / percentile(ffmpeg, 0.5));
        // Wall time includes being preempted on a busy machine; the thread's CPU time does not.
        std::printf(
            "UI thread inside one tune: median %.2f ms, longest %.2f ms (CPU: median %.2f, longest %.2f)\n",
            percentile(m_uiMs, 0.5), percentile(m_uiMs, 1), percentile(m_uiCpuMs, 0.5),
            percentile(m_uiCpuMs, 1));
        std::printf("failed tunes or ffmpeg runs: %d, pictures of the wrong channel: %d\n", failures,
                    m_wrongPictures);
    }

    void measureCpu() {
        zapTo(kChannels.first());
        pause();
        int painted = 0;
        const auto counter =
            QObject::connect(&m_control, &TVLCPlugin::framePainted, [&painted] { ++painted; });
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        waitUntil([] { return false; }, m_settings.cpuSeconds * 1000, 5);
        const double seconds = wall.nsecsElapsed() / 1e9;
        const double used = cpuSeconds() - cpuBefore;
        QObject::disconnect(counter);
        std::printf("player CPU playing channel %d at %dx%d: %.1f %% of one core (%.0f pictures/s painted)\n",
                    kChannels.first(), m_control.width(), m_control.height(), 100 * used / seconds,
                    painted / seconds);
    }

private:
    SetTopBox &m_box;
    Settings m_settings;
    QRandomGenerator m_random;
    TVLCPlugin m_control;
    QElapsedTimer m_clock;
    bool m_waitingForPicture = false;
    double m_zapMs = -1;
    QList<double> m_uiMs;
    QList<double> m_uiCpuMs;
    int m_wrongPictures = 0;
};

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Settings settings = parseArguments(app.arguments());
    SetTopBox box;
    if (!box.start({.channels = kChannels, .unserved = {}, .port = 0})) {
        std::fprintf(stderr, "the simulated box did not start: %s\n", qPrintable(box.error()));
        return 1;
    }
    std::printf("seed %u, platform %s, channels 201-203 on 127.0.0.1:%d\n", settings.seed,
                qPrintable(QGuiApplication::platformName()), box.port());
    ZapBench bench(box, settings);
    bench.run();
    bench.measureCpu();
    return 0;
}
