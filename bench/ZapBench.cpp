#include "ZapBench.h"

#include "KeyFrameWatch.h"
#include "ProcessCpu.h"
#include "ZapMeasures.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/PlayerLog.h"
#include "player/TVLCPlugin.h"
#include "player/timeshift/ShiftingEngine.h"
#include "player/TuneSequence.h"
#include "player/engine/GstPlayerEngine.h"
#include "player/engine/PlaybackSupervisor.h"
#include "player/warm/WarmPlayerEngine.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTimer>
#include <glib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

using namespace ZapMeasures;

QList<int> kChannels = {201, 202, 203};

namespace {

// When the cold path last sent its PLAY (monotonic microseconds): the server sends nothing before,
// so a key frame that came earlier could not reach the player.
std::atomic<qint64> gPlaySentUs{-1};
QtMessageHandler gDefaultHandler = nullptr;
// The player's debug lines are shown only when asked for (QT_LOGGING_RULES).
bool gShowPlayerLog = false;

void notePlaySent(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    const bool playerDebug = type == QtDebugMsg && qstrcmp(context.category, "halcyon.player") == 0;
    if (playerDebug && message == QLatin1String("rtsp PLAY sent"))
        gPlaySentUs = g_get_monotonic_time();
    if (!playerDebug || gShowPlayerLog)
        gDefaultHandler(type, context, message);
}

class ZapBench {
public:
    ZapBench(const ZapServer &server, const ZapSettings &settings, ZapFigures &figures)
        : m_server(server), m_settings(settings), m_figures(figures), m_random(settings.seed) {
        m_figures.name = server.name;
        // The engine as the program builds it, keeping what it plays.
        auto warm = std::make_unique<WarmPlayerEngine>(std::make_unique<GstPlayerEngine>());
        m_warm = warm.get();
        m_control = std::make_unique<TVLCPlugin>(
            std::make_unique<ShiftingEngine>(std::move(warm), ShiftingEngine::cacheStore()));
        m_control->resize(537, 329);
        m_control->show();
        QObject::connect(m_control.get(), &TVLCPlugin::framePainted, [this] {
            if (m_grabbing)
                return;
            ++m_painted;
            if (++m_paintedSinceTune == 2)
                m_secondMs = double(m_clock.nsecsElapsed()) / 1e6;
            if (m_waitingForPicture) {
                m_waitingForPicture = false;
                m_zapMs = double(m_clock.nsecsElapsed()) / 1e6;
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
        ++m_figures.checked;
        m_grabbing = true;
        const QRgb colour = averageColour(m_control->grab().toImage(), QRect(200, 20, 137, 40));
        m_grabbing = false;
        const int shown = channelOfColour(colour, kChannels);
        if (shown != 0 && shown != m_tuned) {
            ++m_figures.wrong;
            std::printf("picture of %d while on %d\n", shown, m_tuned);
        }
    }

    QString address(int channel) const { return QString::fromLatin1(m_server.address(channel)); }

    // Tunes as the channel list does, without waiting for the picture.
    void startTune(int channel, const QStringList &neighbours) {
        m_waitingForPicture = true;
        m_zapMs = -1;
        m_paintedSinceTune = 0;
        m_secondMs = -1;
        m_tuned = channel;
        m_tuneStartUs = g_get_monotonic_time();
        m_clock.start();
        runTuneSequence(*m_control, m_server.address(channel), {"nooverlay"}, true);
        m_control->setNeighbours(neighbours);
    }

    // Returns the time to the first picture painted, or -1.
    double tune(int channel, bool warmNeighbours) {
        startTune(channel, warmNeighbours ? neighboursOf(channel) : QStringList());
        if (!waitUntil([this] { return !m_waitingForPicture; }, 20000, 1))
            return -1;
        return m_zapMs;
    }

    // What the channel list offers: rows after and before, nearest first, alternately.
    QStringList offeredAround(qsizetype row) const {
        QStringList addresses;
        for (qsizetype distance = 1; distance <= 8; ++distance) {
            for (qsizetype neighbour : {row + distance, row - distance})
                addresses << (neighbour >= 0 && neighbour < kChannels.size() ? address(kChannels[neighbour])
                                                                             : QString());
        }
        return addresses;
    }

    QStringList neighboursOf(int channel) const {
        const qsizetype row = kChannels.indexOf(channel);
        QStringList addresses;
        for (qsizetype neighbour : {row + 1, row - 1}) {
            if (neighbour >= 0 && neighbour < kChannels.size())
                addresses << address(kChannels[neighbour]);
        }
        return addresses;
    }

    // Waits ms, noting the most sessions open meanwhile and adding what the warm neighbours receive
    // to *bytes (sampled: the count drops when one closes or is handed over).
    void idleCounting(int ms, int *peakSessions, qint64 *bytes) {
        qint64 last = m_warm->bytesReceivedByNeighbours();
        waitUntil(
            [&] {
                *peakSessions = std::max(*peakSessions, int(connectionsTo(m_server.port).size()));
                const qint64 now = m_warm->bytesReceivedByNeighbours();
                *bytes += std::max<qint64>(0, now - last);
                last = now;
                return false;
            },
            ms, 5);
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
        double heldSeconds = 0;
        qint64 heldBytes = 0;
        while (steps < m_settings.heldSteps) {
            // The key is pressed on a channel watched a while, its neighbours warm.
            pause();
            const int direction = row == 0 ? 1 : -1;
            ++sweeps;
            QElapsedTimer held;
            held.start();
            for (int i = 0;
                 steps < m_settings.heldSteps && row + direction >= 0 && row + direction < kChannels.size();
                 ++i, ++steps) {
                row += direction;
                startTune(kChannels[row], offeredAround(row));
                const bool warm = m_warm->lastPlayWasHandedOver();
                idleCounting(i == 0 ? kRepeatDelayMs : kRepeatMs, &m_figures.heldSessions, &heldBytes);
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
            heldSeconds += double(held.nsecsElapsed()) / 1e9;
            // The key is let go: the last channel shows.
            waitUntil([this] { return !m_waitingForPicture; }, 20000, 1);
        }
        // The channel being tuned at each step is one more stream beside the warm ones.
        m_figures.heldRate = double(heldBytes) / std::max(heldSeconds, 0.001) + m_figures.channelRate;
        std::printf(
            "held key over %d channels, %d steps in %d sweeps: %d showed their channel before the next "
            "step (%d of the %d handed over); time to those pictures %s; at most %d sessions, %.0f KB/s\n",
            int(kChannels.size()), steps, sweeps, shown, handedOverShown, handedOver,
            qPrintable(summary(shownMs)), m_figures.heldSessions, m_figures.heldRate / 1024);
    }

    // A random moment in the GOP, and time for the neighbours to warm.
    void pause() { idle(600 + int(m_random.bounded(1000))); }

    int randomStep(int row) {
        return row == 0 ? 1 : row == kChannels.size() - 1 ? -1 : m_random.bounded(2) ? 1 : -1;
    }

    void runWarmSteps() {
        if (m_settings.steps <= 0)
            return;
        int row = int(kChannels.size() / 2);
        tune(kChannels[row], true);
        QList<double> notWarm;
        int failures = 0;
        for (int i = 0; i < m_settings.steps; ++i) {
            pause();
            const int direction = randomStep(row);
            const bool wasWarm = m_warm->warmAddresses().contains(address(kChannels[row + direction]));
            row += direction;
            const double ms = tune(kChannels[row], true);
            const bool handedOver = m_warm->lastPlayWasHandedOver();
            if (ms < 0)
                ++failures;
            else
                (handedOver ? m_figures.warm : notWarm).append(ms);
            // The first live picture: the second painted when the first was the key frame kept.
            if (ms >= 0 && handedOver && waitUntil([this] { return m_secondMs >= 0; }, 3000, 1))
                m_figures.warmLive.append(m_secondMs);
            if (m_settings.verbose)
                std::printf("step to %d: %.0f ms, second picture %.0f ms (%s, %s)\n", kChannels[row], ms,
                            m_secondMs, wasWarm ? "was warm" : "not warm",
                            handedOver ? "handed over" : "cold");
        }
        std::printf("warm step (tune to first picture painted), handed over, %s\n",
                    qPrintable(summary(m_figures.warm)));
        std::printf("the same to the second picture painted (the hand-over's first when the first was the "
                    "key frame kept), %s\n",
                    qPrintable(summary(m_figures.warmLive)));
        std::printf("steps to a neighbour not warm yet (tuned cold), %s\n", qPrintable(summary(notWarm)));
        std::printf("failed steps: %d\n", failures);
    }

    // A cold tune to channel, and its floor: every viewer of a channel gets its key frames at the
    // same moments, so one watching it beside the player tells when the first one after the
    // player's PLAY (its connection when the PLAY was not seen) was whole out of a parser.
    double coldTune(int channel) {
        KeyFrameWatch watch(m_server.address(channel), m_server.elementary);
        watch.waitUntilKnown(10000);
        pause();
        // The player's session is the connection that was not there before the tune.
        const QSet<int> before = connectionsTo(m_server.port);
        qint64 connectedUs = -1;
        gPlaySentUs = -1;
        startTune(channel, {});
        const bool shown = waitUntil(
            [&] {
                if (connectedUs < 0 && !(connectionsTo(m_server.port) - before).isEmpty())
                    connectedUs = g_get_monotonic_time();
                return !m_waitingForPicture;
            },
            20000, 1);
        if (gPlaySentUs >= 0)
            connectedUs = gPlaySentUs;
        const double floorMs = connectedUs < 0 ? -1 : watch.msToKeyFrameAfter(connectedUs);
        if (shown && floorMs >= 0) {
            m_figures.keyFloor.append(floorMs + double(connectedUs - m_tuneStartUs) / 1000);
            m_figures.pastFloor.append(m_zapMs - m_figures.keyFloor.last());
        }
        return shown ? m_zapMs : -1;
    }

    void runColdTunes() {
        if (m_settings.tunes <= 0)
            return;
        QList<double> ffmpeg, bare, bareDefault, bareKeyFrames;
        int failures = 0;
        int current = kChannels.first();
        tune(current, false);
        for (int i = 0; i < m_settings.tunes; ++i) {
            const int next = otherChannel(current);
            const qsizetype floorsBefore = m_figures.pastFloor.size();
            const double ms = coldTune(next);
            ms < 0 ? ++failures : (m_figures.cold.append(ms), 0);
            if (m_settings.verbose)
                std::printf("cold tune %d -> %d: %.0f ms, %.0f ms past its floor\n", current, next, ms,
                            m_figures.pastFloor.size() > floorsBefore ? m_figures.pastFloor.last() : -1.0);
            current = next;

            // The references on another running channel, the player stopped meanwhile.
            m_control->stop();
            m_tuned = 0;
            pause();
            const double ffmpegMs = ffmpegFirstFrameMs(m_server.address(otherChannel(current)));
            ffmpegMs < 0 ? ++failures : (ffmpeg.append(ffmpegMs), 0);
            pause();
            const BareTimes bareTimes =
                barePipelineTimes(m_server.address(otherChannel(current)), 0, m_server.elementary);
            if (bareTimes.frameMs < 0) {
                ++failures;
            } else {
                bare.append(bareTimes.frameMs);
                bareKeyFrames.append(bareTimes.keyFrameMs);
            }
            if (i % 4 == 0) {
                pause();
                const double defaultMs =
                    barePipelineTimes(m_server.address(otherChannel(current)), -1, m_server.elementary)
                        .frameMs;
                defaultMs < 0 ? ++failures : (bareDefault.append(defaultMs), 0);
            }
            tune(current, false);
        }
        const QList<double> &zaps = m_figures.cold;
        std::printf("cold tune (tune to first picture painted), %s\n", qPrintable(summary(zaps)));
        std::printf("ffmpeg -rtsp_transport udp -frames:v 1 -f null -, %s\n", qPrintable(summary(ffmpeg)));
        std::printf("bare %s, latency=0, first decoded frame, %s\n",
                    barePipelineText(m_server.elementary).constData(), qPrintable(summary(bare)));
        std::printf("the same with rtspsrc's default latency, %s\n", qPrintable(summary(bareDefault)));
        std::printf("its first key frame whole out of the parser, %s\n", qPrintable(summary(bareKeyFrames)));
        std::printf(
            "the cold tune's own floor, the first key frame whole out of a parser watching its channel "
            "once the player has sent its PLAY "
            "(no picture can come sooner), %s; the tune past it, %s\n",
            qPrintable(summary(m_figures.keyFloor)), qPrintable(summary(m_figures.pastFloor)));
        std::printf(
            "cold median / ffmpeg median: %.2f; / bare (latency=0) median: %.2f; / bare (default): %.2f\n",
            percentile(zaps, 0.5) / percentile(ffmpeg, 0.5), percentile(zaps, 0.5) / percentile(bare, 0.5),
            percentile(zaps, 0.5) / percentile(bareDefault, 0.5));
        std::printf("failed tunes or reference runs: %d\n", failures);
    }

    struct Cost {
        double cpuPercent;
        double residentMb;
        double ringKbMax;
        double pictureKbMax;
        double neighbourBytesPerSecond;
        double picturesPerSecond;
        int warmNeighbours;
        int sessions;
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
        int sessions = 0;
        waitUntil(
            [&] {
                ringMax = std::max(ringMax, m_warm->bytesHeld());
                picturesMax = std::max(picturesMax, m_warm->pictureBytesHeld());
                sessions = std::max(sessions, int(connectionsTo(m_server.port).size()));
                return false;
            },
            m_settings.cpuSeconds * 1000, 50);
        const double seconds = double(wall.nsecsElapsed()) / 1e9;
        return Cost{100 * (cpuSeconds() - cpuBefore) / seconds,
                    residentMegabytes(),
                    double(ringMax) / 1024.0,
                    double(picturesMax) / 1024.0,
                    double(m_warm->bytesReceivedByNeighbours() - bytesBefore) / seconds,
                    (m_painted - paintedBefore) / seconds,
                    int(m_warm->warmAddresses().size()),
                    sessions};
    }

    void runCost() {
        if (m_settings.cpuSeconds <= 0)
            return;
        const Cost cold = measure(false);
        const Cost warm = measure(true);
        m_figures.cpuCold = cold.cpuPercent;
        m_figures.cpuWarm = warm.cpuPercent;
        // Each warm neighbour receives one channel whole, as the watched one does.
        m_figures.channelRate = warm.neighbourBytesPerSecond / std::max(1, warm.warmNeighbours);
        m_figures.restRate = warm.neighbourBytesPerSecond + m_figures.channelRate;
        m_figures.restSessions = warm.sessions;
        std::printf(
            "player CPU playing channel %d at 537x329: %.1f %% of one core without neighbours, %.1f %% "
            "with %d warm: %.1f %% per warm neighbour (%.0f / %.0f pictures/s painted)\n",
            kChannels[kChannels.size() / 2], cold.cpuPercent, warm.cpuPercent, warm.warmNeighbours,
            (warm.cpuPercent - cold.cpuPercent) / std::max(1, warm.warmNeighbours), cold.picturesPerSecond,
            warm.picturesPerSecond);
        std::printf(
            "memory: resident %.0f MB without, %.0f MB with warm neighbours; their rings held at most "
            "%.0f KB together, their key-frame pictures %.0f KB\n",
            cold.residentMb, warm.residentMb, warm.ringKbMax, warm.pictureKbMax);
        std::printf("at rest: %d sessions (%d without neighbours), %.0f KB/s in all, %.0f KB/s a channel\n",
                    warm.sessions, cold.sessions, m_figures.restRate / 1024, m_figures.channelRate / 1024);
    }

    // Steps at random moments for a while on a box that refuses a third session.
    void runSessionLimit() {
        if (m_settings.limitedSeconds <= 0 || !m_server.box || !m_server.box->setMaxSessions(2))
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
            row += randomStep(row);
            const double ms = tune(kChannels[row], true);
            ++steps;
            if (ms < 0)
                ++failures;
            else
                (m_warm->lastPlayWasHandedOver() ? warm : cold).append(ms);
        }
        const double seconds = double(wall.elapsed()) / 1000.0;
        QObject::disconnect(counter);
        m_server.box->setMaxSessions(0);
        std::printf(
            "box of 2 sessions, %d steps over %.0f s: %d failed, %d failure texts; sessions asked for: "
            "%d (%.1f a step); handed over %s; cold %s\n",
            steps, seconds, failures, failureTexts, m_warm->sessionsRequested() - sessionsBefore,
            double(m_warm->sessionsRequested() - sessionsBefore) / std::max(1, steps),
            qPrintable(summary(warm)), qPrintable(summary(cold)));
    }

    void report() const {
        std::printf("pictures painted of another channel than the one tuned: %d of %d looked at\n",
                    m_figures.wrong, m_figures.checked);
    }

private:
    int otherChannel(int current) {
        int next;
        do
            next = kChannels[m_random.bounded(int(kChannels.size()))];
        while (next == current);
        return next;
    }

    const ZapServer &m_server;
    ZapSettings m_settings;
    ZapFigures &m_figures;
    QRandomGenerator m_random;
    WarmPlayerEngine *m_warm = nullptr;
    std::unique_ptr<TVLCPlugin> m_control;
    QElapsedTimer m_clock;
    bool m_waitingForPicture = false;
    double m_zapMs = -1;
    int m_paintedSinceTune = 0;
    double m_secondMs = -1;
    qint64 m_tuneStartUs = 0;
    int m_tuned = 0;
    int m_painted = 0;
    bool m_grabbing = false;
    bool m_checkPending = false;
};

} // namespace

void runZapBench(const ZapServer &server, const ZapSettings &settings, ZapFigures &figures) {
    std::printf("\n== %s, channels 201-%d on 127.0.0.1:%d\n", qPrintable(server.name), kChannels.last(),
                server.port);
    std::fflush(stdout);
    if (!gDefaultHandler) {
        gShowPlayerLog = lcPlayer().isDebugEnabled();
        QLoggingCategory::setFilterRules(QStringLiteral("halcyon.player.debug=true"));
        gDefaultHandler = qInstallMessageHandler(notePlaySent);
    }
    ZapBench bench(server, settings, figures);
    bench.runWarmSteps();
    bench.runColdTunes();
    bench.runCost();
    bench.runSessionLimit();
    bench.runHeldKey();
    bench.report();
}
