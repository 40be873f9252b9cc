// Start-up speed and weight of the whole program against the simulated box.
//   startup_bench [--runs N] [--profile NAME] [--verbose] [--breakdown] [--program PATH]
// Prints: time from starting the program to channel 201's picture on the screen, beside the
// player control's own zap time (tune call to first picture) measured in the same run, and the
// program's memory once started (proportional set size of all its processes, web engine included).
// With --breakdown the program logs its start-up steps, and the median time of each since the
// process began is printed too. --program runs another build of the program (one built for the
// same start-up port), to compare two builds in one sitting. The box sends the broadcast profile
// (a 1 s GOP with B-frames, as real boxes do) unless --profile names another.
#include "support/HalcyonProcess.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"
#include "support/XSession.h"

#include "KeyFrameWatch.h"

#include "player/TVLCPlugin.h"
#include "player/TuneSequence.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kChannel = 201;
// Where the player window puts the picture: its designed place plus the control's, and a band
// of the picture's background above the channel number.
const QRect kPictureBand(310 + 72 + 200, 342 + 32 + 20, 137, 40);

double median(QList<double> values) {
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The program and every process it started, by walking the parent links in /proc.
QList<qint64> processTree(qint64 root) {
    // A program that already ended has no tree; pid 0 would take in the whole system.
    if (root <= 0)
        return {};
    QList<qint64> tree{root};
    for (bool grew = true; grew;) {
        grew = false;
        for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool isPid = false;
            const qint64 pid = entry.toLongLong(&isPid);
            if (!isPid || tree.contains(pid))
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = stat.readAll();
            // The parent follows the command name, which may hold blanks: count from its ')'.
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && tree.contains(fields[1].toLongLong())) {
                tree << pid;
                grew = true;
            }
        }
    }
    return tree;
}

double pssMegabytes(const QList<qint64> &pids) {
    double kilobytes = 0;
    for (qint64 pid : pids) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : rollup.readAll().split('\n')) {
            if (line.startsWith("Pss:"))
                kilobytes += line.simplified().split(' ').value(1).toDouble();
        }
    }
    return kilobytes / 1024;
}

bool showsChannel(QScreen *screen) {
    const QImage band =
        screen->grabWindow(0, kPictureBand.x(), kPictureBand.y(), kPictureBand.width(), kPictureBand.height())
            .toImage();
    return !band.isNull() && looksLikeChannel(averageColour(band, band.rect()), kChannel);
}

struct ProgramRun {
    double firstPictureMs = -1;
    double pssMb = -1;
    int processes = 0;
    bool leftovers = false;
    // Start-up step to milliseconds since the process began, as the program logged them.
    QMap<QByteArray, double> steps;
};

// Lines such as "halcyon.startup: step gstreamer initialised at 41.0 ms".
QMap<QByteArray, double> startupSteps(const QByteArray &log) {
    static const QRegularExpression line(QStringLiteral("step (.+) at ([0-9.]+) ms"));
    QMap<QByteArray, double> steps;
    for (const QByteArray &text : log.split('\n')) {
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(text));
        if (match.hasMatch())
            steps.insert(match.captured(1).toUtf8(), match.captured(2).toDouble());
    }
    return steps;
}

ProgramRun runProgram(const SetTopBox &box, QScreen *screen, bool breakdown, const QString &path) {
    ProgramRun run;
    HalcyonProcess program;
    if (!path.isEmpty())
        program.setProgram(path);
    program.setPlaylist(box.playlist());
    if (breakdown) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("halcyon.startup.debug=true"));
        program.setEnvironment(environment);
    }
    QElapsedTimer clock;
    clock.start();
    if (!program.start())
        return run;
    if (waitUntil([&] { return showsChannel(screen) || !program.isRunning(); }, 20000, 2) &&
        program.isRunning())
        run.firstPictureMs = clock.nsecsElapsed() / 1e6;
    // Let the web engine finish starting and the guide page load before weighing.
    waitUntil([] { return false; }, 3000);
    const QList<qint64> tree = processTree(program.pid());
    run.processes = int(tree.size());
    run.pssMb = pssMegabytes(tree);
    run.steps = startupSteps(program.standardError());
    program.kill();
    run.leftovers = !waitUntil(
        [&] {
            return std::none_of(tree.begin(), tree.end(), [](qint64 pid) {
                return QFile::exists(QStringLiteral("/proc/%1").arg(pid));
            });
        },
        5000);
    return run;
}

// Both measures end on a key frame's arrival, so each waits for one for part of a GOP. The runs
// start at points spread evenly over the GOP, in a random order, and each start-up starts at the
// same point as its zap: the two then wait alike, and what differs is the program's own doing.
QList<double> spreadPhases(int runs) {
    QList<double> phases;
    for (int i = 0; i < runs; ++i)
        phases << (i + 0.5) / runs;
    std::shuffle(phases.begin(), phases.end(), *QRandomGenerator::global());
    return phases;
}

double controlZapMs(TVLCPlugin &control, const SetTopBox &box) {
    bool painted = false;
    const auto connection = QObject::connect(&control, &TVLCPlugin::framePainted, [&] { painted = true; });
    QElapsedTimer clock;
    clock.start();
    runTuneSequence(control, box.address(kChannel), {"nooverlay"}, true);
    const bool ok = waitUntil([&] { return painted; }, 20000, 1);
    const double ms = clock.nsecsElapsed() / 1e6;
    QObject::disconnect(connection);
    control.stop();
    return ok ? ms : -1;
}

} // namespace

int main(int argc, char **argv) {
    std::unique_ptr<XSession> session;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        session = std::make_unique<XSession>();
        if (!session->start()) {
            std::fprintf(stderr, "no display: %s\n", qPrintable(session->error()));
            return 1;
        }
    }
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype runsAt = arguments.indexOf("--runs");
    const bool verbose = arguments.contains("--verbose");
    const bool breakdown = arguments.contains("--breakdown");
    const qsizetype programAt = arguments.indexOf("--program");
    const QString programPath = programAt < 0 ? QString() : arguments.value(programAt + 1);
    const int runs = runsAt < 0 ? 5 : std::max(1, arguments.value(runsAt + 1).toInt());
    const qsizetype profileAt = arguments.indexOf("--profile");

    SetTopBox box;
    SetTopBox::Options options;
    options.port = SetTopBox::startupPort();
    options.profile = profileAt < 0 ? QStringLiteral("broadcast") : arguments.value(profileAt + 1);
    if (!box.start(options)) {
        std::fprintf(stderr, "the simulated box did not start on port %d: %s\n", options.port,
                     qPrintable(box.error()));
        return 1;
    }

    QList<double> starts, zaps, memory, pairedGaps;
    QMap<QByteArray, QList<double>> steps;
    bool leftovers = false;
    int processes = 0;
    TVLCPlugin control;
    // Away from the place where the program shows its picture.
    control.setGeometry(700, 680, 537, 329);
    control.show();
    controlZapMs(control, box); // loads the plugins once, as the program's own start has to
    KeyFrameWatch watch(box.address(kChannel));
    if (!watch.waitUntilKnown(10000)) {
        std::fprintf(stderr, "no key frames seen on channel %d\n", kChannel);
        return 1;
    }
    const QList<double> phases = spreadPhases(runs);
    if (verbose)
        std::printf("GOP %.0f ms\n", watch.gopMs());
    constexpr int kPauseMs = 700;
    for (int i = 0; i < runs; ++i) {
        watch.pauseUntilPhase(kPauseMs, phases[i]);
        const ProgramRun run = runProgram(box, app.primaryScreen(), breakdown, programPath);
        for (auto step = run.steps.begin(); step != run.steps.end(); ++step) {
            steps[step.key()] << step.value();
            if (verbose)
                std::printf("  %7.1f  %s\n", step.value(), step.key().constData());
        }
        if (verbose)
            std::printf("run %d, %.0f ms into the GOP: first picture %.0f ms, %.0f MB over %d processes\n", i + 1,
                        phases[i] * watch.gopMs(), run.firstPictureMs, run.pssMb, run.processes);
        if (run.firstPictureMs >= 0)
            starts << run.firstPictureMs;
        memory << run.pssMb;
        processes = std::max(processes, run.processes);
        leftovers = leftovers || run.leftovers;
        watch.pauseUntilPhase(kPauseMs, phases[i]);
        const double zap = controlZapMs(control, box);
        if (zap >= 0)
            zaps << zap;
        if (zap >= 0 && run.firstPictureMs >= 0)
            pairedGaps << run.firstPictureMs - zap;
        if (verbose)
            std::printf("run %d: control zap %.0f ms\n", i + 1, zap);
    }

    if (breakdown) {
        QList<std::pair<double, QByteArray>> ordered;
        for (auto step = steps.begin(); step != steps.end(); ++step)
            ordered.append({median(step.value()), step.key()});
        std::sort(ordered.begin(), ordered.end());
        std::printf("start-up steps, median ms since the process began (runs that reached them):\n");
        for (const auto &[ms, step] : ordered)
            std::printf("  %7.1f  %s (%lld)\n", ms, step.constData(), qlonglong(steps[step].size()));
    }
    std::printf("program start to first picture, %lld of %d runs: median %.0f ms\n", qlonglong(starts.size()),
                runs, median(starts));
    std::printf("player control zap, %lld runs: median %.0f ms\n", qlonglong(zaps.size()), median(zaps));
    std::printf("start / zap: %.2f (target at most 1.15)\n", median(starts) / median(zaps));
    // Each start and its zap began at the same point of the GOP: their difference is what the
    // program's start costs beyond a tune, unless one of them just missed a key frame.
    std::printf("start - zap at the same point of the GOP: median %.0f ms\n", median(pairedGaps));
    std::printf("memory after start-up: median %.0f MB PSS over %d processes%s\n", median(memory), processes,
                leftovers ? "; some processes outlived the program" : "");
    return starts.size() == runs ? 0 : 1;
}
