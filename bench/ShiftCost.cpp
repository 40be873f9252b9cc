#include "ShiftCost.h"

#include "ZapMeasures.h"
#include "player/timeshift/ShiftStore.h"
#include "support/TsPackets.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdio>
#include <ctime>

namespace {

constexpr int kBitsPerSecond = 8'000'000;
constexpr int kPicturesPerSecond = 25;
// The box's GOP: a key frame every 12 pictures.
constexpr int kGop = 12;
// Packets per RTP payload.
constexpr int kPacketsPerAppend = 7;

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// One second of a channel: the tables, pictures (a key frame every kGop) and their sound.
QByteArray oneSecond(int second) {
    const int packets = kBitsPerSecond / 8 / tspackets::kPacketSize;
    const int perPicture = packets / kPicturesPerSecond - 2;
    QByteArray stream = tspackets::pat() + tspackets::pmt(tspackets::kH264Video, tspackets::kMpegAudio);
    for (int i = 0; i < kPicturesPerSecond; ++i) {
        const bool key = (second * kPicturesPerSecond + i) % kGop == 0;
        stream += tspackets::picture(tspackets::kH264Video, key, perPicture);
        stream += tspackets::soundFrame();
    }
    return stream;
}

} // namespace

void printShiftCost(int seconds) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir().mkpath(folder);
    QString why;
    std::unique_ptr<ShiftStore> store = ShiftStore::open(folder, ShiftStore::Limits(), &why);
    if (!store) {
        std::printf("\nkeeping: no store in %s: %s\n", qPrintable(folder), qPrintable(why));
        return;
    }
    // Two seconds of the pattern, so key frames fall as a GOP of 12 at 25 pictures a second does.
    const QList<QByteArray> pattern{oneSecond(0), oneSecond(1)};
    const int chunk = kPacketsPerAppend * tspackets::kPacketSize;
    const double startMb = ZapMeasures::residentMegabytes();
    const double startCpu = threadCpuSeconds();
    qint64 arrivalNs = 0;
    double peakMb = startMb;
    for (int second = 0; second < seconds; ++second) {
        const QByteArray &stream = pattern[second % 2];
        const qint64 step = 1'000'000'000LL * chunk / stream.size();
        for (qsizetype at = 0; at < stream.size(); at += chunk) {
            store->append(stream.mid(at, chunk), arrivalNs);
            arrivalNs += step;
        }
        if (second % 60 == 59)
            peakMb = std::max(peakMb, ZapMeasures::residentMegabytes());
    }
    const double cpu = threadCpuSeconds() - startCpu;
    std::printf("\nkeeping an 8 Mbit/s stream (%d s of it written as fast as the disk takes it)\n", seconds);
    std::printf("  store CPU: %.3f s, %.2f %% of a core while watching\n", cpu, 100.0 * cpu / seconds);
    std::printf("  kept at the end: %.0f s, %lld start points, ring of %.0f MB%s\n",
                double(store->newestNs() - store->oldestNs()) / 1e9, qlonglong(store->startPoints()),
                double(store->capacity() ? store->capacity() : store->endOffset()) / 1e6,
                store->fault().isEmpty() ? "" : qPrintable(QStringLiteral(" (") + store->fault() + ")"));
    std::printf("  resident memory: %.1f MB before, %.1f MB at the most, %.1f MB after\n", startMb, peakMb,
                ZapMeasures::residentMegabytes());
}
