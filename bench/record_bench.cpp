// Cost of recording one SD channel of the simulated box, and how soon a stopped recording is a
// finished file.
//   record_bench [--cpu-seconds S] [--stops N]
// Prints: the recorder's CPU (share of one core) while it records, and the time from stop() to
// finished() delivered on the UI thread (median and worst), with each file's recorded length.
#include "ProcessCpu.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/recording/FfmpegRecordingEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

struct Settings {
    int cpuSeconds = 20;
    int stops = 10;
};

Settings parseArguments(const QStringList &arguments) {
    Settings settings;
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == "--cpu-seconds")
            settings.cpuSeconds = arguments[i + 1].toInt();
        else if (arguments[i] == "--stops")
            settings.stops = arguments[i + 1].toInt();
    }
    return settings;
}

SoutChain chainTo(const QString &path) {
    return SoutChain::parse(
        QStringLiteral(
            "#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,url=\"%1\",access=file}")
            .arg(path));
}

// Records until the file holds recordMs, then stops; the time from stop() to finished(), or -1.
double recordAndStop(const QByteArray &address, const QString &path, qint64 recordMs, double *cpuShare) {
    FfmpegRecordingEngine recorder;
    qint64 elapsedMs = -1;
    bool finished = false;
    bool ok = false;
    QString message;
    QObject::connect(&recorder, &FfmpegRecordingEngine::progress, [&](qint64 ms, qint64) { elapsedMs = ms; });
    QObject::connect(&recorder, &FfmpegRecordingEngine::finished, [&](bool success, const QString &text) {
        finished = true;
        ok = success;
        message = text;
    });
    recorder.start(address, chainTo(path));
    if (!waitUntil([&] { return elapsedMs >= 0 || finished; }, 30000) || finished) {
        std::fprintf(stderr, "no recording: %s\n", qPrintable(message));
        return -1;
    }
    const double cpuAtStart = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    waitUntil([&] { return elapsedMs >= recordMs || finished; }, int(recordMs) + 30000, 50);
    if (cpuShare)
        *cpuShare = (cpuSeconds() - cpuAtStart) / (wall.elapsed() / 1000.0);

    QElapsedTimer stopping;
    recorder.stop();
    stopping.start();
    waitUntil([&] { return finished; }, 30000, 1);
    const double ms = stopping.nsecsElapsed() / 1e6;
    if (!ok) {
        std::fprintf(stderr, "recording failed: %s\n", qPrintable(message));
        return -1;
    }
    return ms;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const Settings settings = parseArguments(app.arguments());
    QTemporaryDir dir;
    SetTopBox box;
    SetTopBox::Options options;
    options.channels = QList<int>() << 201;
    if (!box.start(options)) {
        std::fprintf(stderr, "box: %s\n", qPrintable(box.error()));
        return 1;
    }

    double cpuShare = 0;
    if (recordAndStop(box.address(201), dir.filePath("cpu.mpg"), settings.cpuSeconds * 1000, &cpuShare) < 0)
        return 1;
    std::printf("CPU while recording one SD channel for %d s: %.3f of one core (target < 0.5)\n",
                settings.cpuSeconds, cpuShare);

    QList<double> stopTimes;
    for (int i = 0; i < settings.stops; ++i) {
        // Lengths vary so the stop falls anywhere within a group of pictures.
        const qint64 recordMs = 1000 + 170 * i;
        const double ms = recordAndStop(box.address(201), dir.filePath(QStringLiteral("stop%1.mpg").arg(i)),
                                        recordMs, nullptr);
        if (ms < 0)
            return 1;
        stopTimes << ms;
    }
    std::sort(stopTimes.begin(), stopTimes.end());
    std::printf("stop() to finished file, %d recordings: median %.1f ms, worst %.1f ms (target < 1000)\n",
                int(stopTimes.size()), stopTimes[stopTimes.size() / 2], stopTimes.last());
    return 0;
}
