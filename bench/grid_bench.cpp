// The programme grid over a large guide: the time from G (the grid asked for) to the grid drawn,
// and the time to paint one step of the view (a row down, a programme right, a page down, the
// wheel). Make the guide with scripts/make-guide.py and give the bench as many channels:
//
//   python3 scripts/make-guide.py /tmp/guide.xml   (500 channels; --channels 2000 for more)
//   cmake --build build --target grid_bench && xvfb-run -a build/bench/grid_bench /tmp/guide.xml 500
//
// Targets: the grid drawn within 200 ms (median of 20), a step painted within 10 ms (90th percentile).
#include "channels/ChannelLineup.h"
#include "forms/GuideGridView.h"
#include "forms/GuideGridWindow.h"
#include "programmes/ProgrammeGuide.h"
#include "support/Wait.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>

namespace {

Playlist benchPlaylist(const QString &guidePath, int channels) {
    QByteArray text = "#EXTM3U url-tvg=\"" + QFileInfo(guidePath).absoluteFilePath().toUtf8() + "\"\n";
    for (int c = 0; c < channels; ++c)
        text += "#EXTINF:-1 tvg-id=\"c" + QByteArray::number(c) + ".bench\"," + QByteArray::number(c + 1) +
                " - Chaîne " + QByteArray::number(c) + "\nrtsp://127.0.0.1:9/" + QByteArray::number(c) + "\n";
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    return Playlist::read(buffer);
}

double percentile(QList<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values.isEmpty()
               ? 0
               : values[std::min<qsizetype>(values.size() - 1, qsizetype(share * values.size()))];
}

void report(const char *what, const QList<double> &ms, double target, double share) {
    std::printf("| %-34s | %7.2f | %7.2f | %7.2f | %6.1f %-8s |\n", what, percentile(ms, 0.5),
                percentile(ms, 0.9), percentile(ms, 1.0), target, share == 0.5 ? "(median)" : "(p90)");
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: grid_bench GUIDE.xml [CHANNELS]\n");
        return 2;
    }
    const int channels = argc > 2 ? QByteArray(argv[2]).toInt() : 500;
    ProgrammeGuide guide;
    ChannelLineup lineup(&guide);
    lineup.setPlaylist(benchPlaylist(QString::fromLocal8Bit(argv[1]), channels));
    if (!waitUntil([&] { return guide.hasGuide(); }, 300000, 50)) {
        std::fprintf(stderr, "the guide was not read\n");
        return 1;
    }
    int programmes = 0;
    for (int row = 0; row < lineup.count(); ++row)
        programmes += int(lineup.programmes(row).size());
    lineup.watch(lineup.count() / 2);

    QWidget player;
    player.resize(685, 431);
    player.show();
    GuideGridWindow window(lineup, &player);
    GuideGridView &view = *window.view();
    bool painted = false;
    QObject::connect(&view, &GuideGridView::painted, [&] { painted = true; });

    QList<double> opens;
    for (int round = 0; round < 20; ++round) {
        window.hide();
        waitUntil([&] { return !window.isVisible(); }, 5000);
        QApplication::processEvents();
        painted = false;
        QElapsedTimer clock;
        clock.start();
        window.openAbove(&player);
        waitUntil([&] { return painted; }, 10000, 0);
        opens.append(double(clock.nsecsElapsed()) / 1e6);
    }

    // One step as each key and the wheel make it, painted at once as the next picture would be.
    const auto step = [&](int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view, &press);
        QElapsedTimer clock;
        clock.start();
        view.repaint();
        return double(clock.nsecsElapsed()) / 1e6;
    };
    QList<double> rows, programmesRight, pages, wheel;
    for (int i = 0; i < 200; ++i)
        rows.append(step(i % 100 < 50 ? Qt::Key_Down : Qt::Key_Up));
    for (int i = 0; i < 200; ++i)
        programmesRight.append(step(Qt::Key_Right));
    for (int i = 0; i < 100; ++i)
        pages.append(step(i % 40 < 20 ? Qt::Key_PageDown : Qt::Key_PageUp));
    for (int i = 0; i < 200; ++i) {
        view.grid().scrollRows(i % 100 < 50 ? 3 : -3);
        QElapsedTimer clock;
        clock.start();
        view.repaint();
        wheel.append(double(clock.nsecsElapsed()) / 1e6);
    }
    QList<double> all = rows + programmesRight + pages + wheel;

    std::printf("%d channels, %d programmes, grid %dx%d\n\n", lineup.count(), programmes, view.width(),
                view.height());
    std::printf("| %-34s | %7s | %7s | %7s | %-15s |\n", "ms", "median", "p90", "max", "target");
    std::printf("|------------------------------------|---------|---------|---------|-----------------|\n");
    report("G to the grid drawn (20)", opens, 200, 0.5);
    report("paint of a row step (Up/Down)", rows, 10, 0.9);
    report("paint of a programme step (Right)", programmesRight, 10, 0.9);
    report("paint of a page (Page Up/Down)", pages, 10, 0.9);
    report("paint of a wheel notch", wheel, 10, 0.9);
    report("paint of any step", all, 10, 0.9);
    return 0;
}
