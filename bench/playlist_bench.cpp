// Start-up cost of a very large playlist: reading and splitting it, taking the channel names,
// and filling the channel list until it shows its last rows.
//
//   cmake --build build --target playlist_bench && build/bench/playlist_bench
//
// The "MB" counter is the growth of the resident set while one filled list is alive.
#include "playlist/Playlist.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QListWidget>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

constexpr int kChannels = 200000;

QByteArray generatePlaylist(int channels) {
    QByteArray text = "#EXTM3U\n";
    text.reserve(channels * 72);
    for (int i = 0; i < channels; ++i) {
        const QByteArray n = QByteArray::number(100 + i);
        text += "#EXTINF:-1," + n + " - Cha\xc3\xaene num\xc3\xa9ro " + n + "\n";
        text += "rtsp://decodeur.home.arpa/orvantv/" + n + "\n";
    }
    return text;
}

const QByteArray &playlistText() {
    static const QByteArray text = generatePlaylist(kChannels);
    return text;
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// The list as the channel window sets it up: uniform 16-pixel rows, bold 13-pixel names.
void fill(QListWidget &list, const QStringList &names) {
    list.setUniformItemSizes(true);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setBold(true);
    list.setFont(font);
    list.resize(209, 325);
    list.addItems(names);
    list.show();
    list.scrollToBottom();
    QCoreApplication::processEvents();
}

void BM_SplitLines(benchmark::State &state) {
    for (auto _ : state) {
        PlaylistLines lines(playlistText());
        benchmark::DoNotOptimize(lines.count());
    }
}
BENCHMARK(BM_SplitLines)->Unit(benchmark::kMillisecond);

void BM_ParseAndNames(benchmark::State &state) {
    for (auto _ : state) {
        const Playlist playlist{PlaylistLines(playlistText())};
        const QStringList names = playlist.displayNames();
        benchmark::DoNotOptimize(names.size());
    }
}
BENCHMARK(BM_ParseAndNames)->Unit(benchmark::kMillisecond);

void BM_AddItems(benchmark::State &state) {
    const QStringList names = Playlist(PlaylistLines(playlistText())).displayNames();
    for (auto _ : state) {
        QListWidget list;
        fill(list, names);
        benchmark::DoNotOptimize(list.count());
        state.PauseTiming(); // the list's teardown is not part of start-up
        list.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddItems)->Unit(benchmark::kMillisecond);

// The whole start-up path: the file from disk (with its lease), rows, names, filled list.
void BM_LoadFileAndFill(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("playlist.m3u"));
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(playlistText());
    }
    malloc_trim(0);
    const double before = residentMegabytes();
    double grown = 0;
    for (auto _ : state) {
        auto playlist = std::make_unique<Playlist>();
        playlist->loadFile(path);
        auto list = std::make_unique<QListWidget>();
        fill(*list, playlist->displayNames());
        state.PauseTiming();
        if (grown == 0)
            grown = residentMegabytes() - before;
        list.reset();
        playlist.reset();
        state.ResumeTiming();
    }
    state.counters["MB"] = grown;
    state.counters["rows"] = kChannels;
}
BENCHMARK(BM_LoadFileAndFill)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    playlistText();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
