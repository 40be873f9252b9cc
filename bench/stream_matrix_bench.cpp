// How the player copes with one stream: played in the player control for a while, it prints one
// line of figures. bench/stream_matrix.sh runs it over every profile and fault and sets them beside
// ffmpeg and mpv.
//   stream_matrix_bench --url ADDRESS [--seconds S] [--size WxH] [--shot FILE] [--record FILE]
//                       [--watchdog MS] [--option PLAYER-OPTION]... [--fullscreen 1]
// With --fullscreen the control is shown full screen as the player window shows it (--size is
// then the screen's).
// Prints: first=MS (tune to first painted picture, -1 if none) fps=N (pictures painted a second
// after the first one) freezes=N (gaps over 0.5 s between painted pictures) longest=MS cpu=F (of
// a core, whole process, after the first picture) failures=N (times a failure line showed)
// status="..." (the last line shown). With --record the stream is recorded instead and the line
// gives the file's size.
#include "support/Wait.h"

#include "forms/FullScreenView.h"
#include "player/TVLCPlugin.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <sys/resource.h>

namespace {

struct Settings {
    QString url;
    int seconds = 20;
    QSize size{537, 329};
    QString shot;
    QString record;
    int watchdogMs = 0;
    QStringList options{QStringLiteral("nooverlay")};
    bool fullScreen = false;
};

Settings parseArguments(const QStringList &arguments) {
    Settings settings;
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        const QString &value = arguments[i + 1];
        if (arguments[i] == "--url")
            settings.url = value;
        else if (arguments[i] == "--seconds")
            settings.seconds = value.toInt();
        else if (arguments[i] == "--size")
            settings.size = QSize(value.section('x', 0, 0).toInt(), value.section('x', 1, 1).toInt());
        else if (arguments[i] == "--shot")
            settings.shot = value;
        else if (arguments[i] == "--record")
            settings.record = value;
        else if (arguments[i] == "--watchdog")
            settings.watchdogMs = value.toInt();
        else if (arguments[i] == "--option")
            settings.options.append(value);
        else if (arguments[i] == "--fullscreen")
            settings.fullScreen = value == "1";
    }
    return settings;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool isFailureLine(const QString &text) {
    return !text.isEmpty() && text != PlaybackSupervisor::connectingText() &&
           text != PlaybackSupervisor::soundOnlyText() && !text.startsWith(QStringLiteral("Enregistrement"));
}

int record(TVLCPlugin &control, const Settings &settings) {
    QString finished;
    bool ok = false;
    QObject::connect(&control, &TVLCPlugin::recordingFinished,
                     [&](const QString &, bool good, const QString &why) {
                         ok = good;
                         finished = why.isEmpty() ? QStringLiteral("ok") : why;
                     });
    control.addTarget(settings.url,
                      {QStringLiteral(":sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux="
                                      "ps,url=\"%1\",access=file}")
                           .arg(settings.record)},
                      1, 0);
    control.play();
    waitUntil([&] { return !finished.isEmpty(); }, settings.seconds * 1000);
    control.stop();
    waitUntil([&] { return !finished.isEmpty(); }, 10000);
    std::printf("record ok=%d bytes=%lld status=\"%s\"\n", ok, QFileInfo(settings.record).size(),
                qPrintable(finished));
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const Settings settings = parseArguments(app.arguments());
    if (settings.url.isEmpty()) {
        std::fprintf(stderr, "usage: stream_matrix_bench --url ADDRESS [--seconds S]\n");
        return 2;
    }
    // Owned by the window, whichever of the two holds the control when the program ends.
    QWidget window;
    TVLCPlugin &control = *new TVLCPlugin(&window);
    control.resize(settings.size);
    window.resize(settings.size);
    window.show();
    auto *fullScreen = new FullScreenView(&window);
    if (settings.fullScreen)
        fullScreen->enter(&control, window.screen());
    if (settings.watchdogMs > 0) {
        PlaybackSupervisor::Timing timing;
        timing.frameTimeoutMs = settings.watchdogMs;
        control.setSupervisionTiming(timing);
    }
    if (!settings.record.isEmpty())
        return record(control, settings);

    QElapsedTimer clock;
    qint64 first = -1, last = -1, longest = 0;
    int painted = 0, freezes = 0, failures = 0;
    double cpuAtFirst = 0;
    QObject::connect(&control, &TVLCPlugin::framePainted, [&] {
        const qint64 now = clock.elapsed();
        if (first < 0) {
            first = now;
            cpuAtFirst = cpuSeconds();
        } else {
            const qint64 gap = now - last;
            longest = std::max(longest, gap);
            if (gap > 500) {
                ++freezes;
                std::fprintf(stderr, "freeze of %lld ms ending %lld ms after the first picture\n", gap,
                             now - first);
            }
        }
        last = now;
        ++painted;
    });
    QObject::connect(&control, &TVLCPlugin::statusChanged, [&](const QString &text) {
        if (isFailureLine(text))
            ++failures;
    });
    clock.start();
    control.addTarget(settings.url, settings.options, 1, 0);
    control.play();
    waitUntil([&] { return clock.elapsed() > settings.seconds * 1000; }, settings.seconds * 1000 + 1000);
    const double seconds = first < 0 ? 0 : (clock.elapsed() - first) / 1000.0;
    if (!settings.shot.isEmpty())
        control.grab().save(settings.shot);
    std::printf("first=%lld fps=%.1f freezes=%d longest=%lld cpu=%.2f failures=%d status=\"%s\"\n", first,
                seconds > 0 ? (painted - 1) / seconds : 0.0, freezes, longest,
                seconds > 0 ? (cpuSeconds() - cpuAtFirst) / seconds : 0.0, failures,
                qPrintable(control.statusText()));
    control.stop();
    return 0;
}
