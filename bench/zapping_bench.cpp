// Steady zapping: the Up key held for ten seconds through a 100-row playlist whose rows point
// at the box's few running channels. Reports the longest gap between repaints of the player
// window and between turns of the event loop, and the memory before, at the end and after a
// short rest. Run under a display (the demo's Xvfb will do) or offscreen:
//   bench/zapping_bench [--seconds 10]

#include "app/Constants.h"
#include "app/FormWiring.h"
#include "channels/ChannelLineup.h"
#include "forms/ChannelListBox.h"
#include "forms/Unit1.h"
#include "forms/Unit2.h"
#include "player/TVLCPlugin.h"
#include "programmes/ProgrammeGuide.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace {

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int seconds = 10;
    const QStringList args = app.arguments();
    if (const int i = args.indexOf(QStringLiteral("--seconds")); i > 0 && i + 1 < args.size())
        seconds = args.at(i + 1).toInt();

    SetTopBox box;
    SetTopBox::Options options;
    options.port = SetTopBox::startupPort();
    options.channels = QList<int>() << 201 << 202 << 203;
    if (!box.start(options)) {
        std::fprintf(stderr, "box: %s\n", qPrintable(box.error()));
        return 1;
    }
    QTemporaryDir dir;
    QByteArray playlist;
    for (int row = 0; row < 100; ++row)
        playlist += "#EXTINF:-1," + QByteArray::number(row) + " - Rang\n" + box.address(201 + row % 3) + "\n";
    QFile file(dir.filePath(QStringLiteral("playlist.m3u")));
    if (!file.open(QIODevice::WriteOnly) || file.write(playlist) != playlist.size())
        return 1;
    file.close();
    QDir::setCurrent(dir.path());

    ProgrammeGuide guide;
    ChannelLineup lineup(&guide);
    TForm1 form1(halcyon::StartupStream(), halcyon::RecordFallbackStream(), lineup);
    form1.FormCreate();
    TForm2 form2(*form1.vlc, lineup);
    FormWiring::wireList(form1, form2);
    form2.FormCreate();
    form1.show();
    waitUntil([&] { return false; }, 3000); // let the start-up picture settle
    const long before = residentKiB();

    QElapsedTimer clock;
    clock.start();
    qint64 lastPaint = 0, worstPaintGap = 0, lastTurn = 0, worstTurnGap = 0;
    int paints = 0;
    struct PaintWatch : QObject {
        std::function<void()> onPaint;
        bool eventFilter(QObject *, QEvent *event) override {
            if (event->type() == QEvent::Paint)
                onPaint();
            return false;
        }
    } watch;
    watch.onPaint = [&] {
        const qint64 now = clock.elapsed();
        if (paints++)
            worstPaintGap = qMax(worstPaintGap, now - lastPaint);
        lastPaint = now;
    };
    form1.vlc->installEventFilter(&watch);
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (lastTurn)
            worstTurnGap = qMax(worstTurnGap, now - lastTurn);
        lastTurn = now;
    });
    turn.start(5);

    // The key goes down once and stays down, as the tracker sees a held key.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(form1.vlc, &press);
    int wraps = 0;
    while (clock.elapsed() < seconds * 1000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        // Start again from the top at the last row, so the key keeps zapping all along.
        if (form2.ListBox1->currentRow() == form2.ListBox1->count() - 1) {
            form2.ListBox1->selectRowFromCode(0);
            ++wraps;
        }
    }
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(form1.vlc, &release);
    const long atEnd = residentKiB();
    waitUntil([&] { return false; }, 3000);
    const long rested = residentKiB();

    std::printf("zapping for %d s: %d channel changes, %d repaints of the player\n", seconds,
                wraps * 99 + form2.ListBox1->currentRow(), paints);
    std::printf("longest gap between repaints of the player: %lld ms\n",
                static_cast<long long>(worstPaintGap));
    std::printf("longest gap between turns of the event loop: %lld ms\n",
                static_cast<long long>(worstTurnGap));
    std::printf("resident memory: before %ld KiB, at the end %ld KiB, after 3 s %ld KiB (%+.1f %%)\n", before,
                atEnd, rested, 100.0 * (rested - before) / before);
    return 0;
}
