// How soon the program ends once asked to, while a channel change is handing a warm neighbour over
// and the box stops answering.
//   exit_bench [--rounds N] [--verbose]
// Each round starts the program against the simulated box, waits for its channel and warm
// neighbours, presses Up and, once the log shows the hand-over under way, either freezes the
// box's streams (its stdin command "freeze": no packet, RTSP still answered) or stops the whole
// box (SIGSTOP: no packet, no answer, connections left open, as a hung box). Then the window is
// closed (Alt+F4 through the window manager) or the program gets SIGTERM, and the time from that
// request to the end of the process is noted. Prints the median and the worst of each case.
#include "ZapMeasures.h"
#include "support/HalcyonProcess.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"
#include "support/XSession.h"
#include "support/Xdo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcessEnvironment>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>

using namespace ZapMeasures;

namespace {

constexpr double kLongestExitMs = 1000;

enum class BoxState { StreamsFrozen, Hung };
enum class Ending { WindowClosed, Terminated };

struct Round {
    double exitMs = -1;
    bool handedOver = false;
    int exitCode = -1;
};

Round runRound(SetTopBox &box, BoxState state, Ending ending, bool verbose) {
    Round round;
    HalcyonProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("halcyon.*.debug=true"));
    environment.insert(QStringLiteral("QT_MESSAGE_PATTERN"),
                       QStringLiteral("%{time process} %{category}: %{message}"));
    program.setEnvironment(environment);
    if (!program.setPlaylist(box.playlist()) || !program.start())
        return round;
    const xdo::WindowId window = program.waitForWindow(QStringLiteral("Halcyon"));
    if (!window)
        return round;
    // Neighbours are warmed from the first channel chosen in the list on: Up chooses its first row,
    // then the watched channel and the next one, warm, hold a key frame by the end of the pause.
    xdo::activate(window);
    if (!waitUntil([&] { return xdo::activeWindow() == window; }, 5000))
        return round;
    idle(1000);
    xdo::key(QStringLiteral("Up"));
    if (!waitUntil([&] { return connectionsTo(box.port()).size() >= 2; }, 20000, 20)) {
        std::fprintf(stderr, "no warm neighbours\n");
        return round;
    }
    idle(2500);
    const qsizetype logged = program.standardError().size();
    xdo::key(QStringLiteral("Up"));
    round.handedOver =
        waitUntil([&] { return program.standardError().mid(logged).contains("-> starting"); }, 3000, 2);
    if (state == BoxState::StreamsFrozen)
        box.freeze();
    else
        ::kill(pid_t(box.pid()), SIGSTOP);

    QElapsedTimer clock;
    clock.start();
    if (ending == Ending::WindowClosed)
        xdo::key(QStringLiteral("alt+F4"));
    else
        ::kill(pid_t(program.pid()), SIGTERM);
    if (waitUntil([&] { return !program.isRunning(); }, 15000, 1))
        round.exitMs = double(clock.nsecsElapsed()) / 1e6;
    round.exitCode = program.exitCode();

    if (state == BoxState::StreamsFrozen)
        box.resume();
    else
        ::kill(pid_t(box.pid()), SIGCONT);
    // What the program did after the request, when it took too long.
    if (verbose && (round.exitMs < 0 || round.exitMs > kLongestExitMs))
        std::printf("%s\n", program.standardError().mid(logged).constData());
    return round;
}

const char *name(BoxState state) {
    return state == BoxState::StreamsFrozen ? "box streams frozen" : "box hung (SIGSTOP)";
}

const char *name(Ending ending) {
    return ending == Ending::WindowClosed ? "window closed (Alt+F4)" : "SIGTERM";
}

} // namespace

int main(int argc, char **argv) {
    // A window manager of its own: Alt+F4 is its key.
    XSession session;
    if (!session.start(true)) {
        std::fprintf(stderr, "no display: %s\n", qPrintable(session.error()));
        return 1;
    }
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype roundsAt = arguments.indexOf("--rounds");
    const int rounds = roundsAt < 0 ? 3 : std::max(1, arguments.value(roundsAt + 1).toInt());
    const bool verbose = arguments.contains("--verbose");

    SetTopBox box;
    SetTopBox::Options options;
    options.port = SetTopBox::startupPort();
    options.channels = QList<int>() << 201 << 202 << 203 << 204 << 205;
    if (!box.start(options)) {
        std::fprintf(stderr, "the simulated box did not start: %s\n", qPrintable(box.error()));
        return 1;
    }
    bool allUnder = true;
    for (BoxState state : {BoxState::StreamsFrozen, BoxState::Hung}) {
        for (Ending ending : {Ending::WindowClosed, Ending::Terminated}) {
            QList<double> times;
            int handedOver = 0, failures = 0;
            for (int i = 0; i < rounds; ++i) {
                const Round round = runRound(box, state, ending, verbose);
                if (round.exitMs >= 0 && round.exitCode == 0)
                    times << round.exitMs;
                else
                    ++failures;
                handedOver += round.handedOver;
                if (verbose)
                    std::printf("%s, %s: %.0f ms, status %d%s\n", name(state), name(ending), round.exitMs,
                                round.exitCode, round.handedOver ? "" : " (no hand-over seen)");
            }
            std::printf("%s, %s: %s; hand-over under way in %d, not ended with status 0 in %d\n", name(state),
                        name(ending), qPrintable(summary(times)), handedOver, failures);
            allUnder =
                allUnder && failures == 0 && !times.isEmpty() && percentile(times, 1) <= kLongestExitMs;
        }
    }
    std::printf("every round ended within 1 s: %s\n", allUnder ? "yes" : "no");
    return allUnder ? 0 : 1;
}
