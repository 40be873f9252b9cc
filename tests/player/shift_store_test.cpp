#include "player/timeshift/ShiftStore.h"

#include "MemoryStorage.h"
#include "support/TsPackets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

// The kept stretch of a channel, fed with generated MPEG-TS at explicit arrival times.
namespace {

using namespace tspackets;

constexpr qint64 kTickNs = 40'000'000;
constexpr int kGopPictures = 12;

// A channel sending a picture (a key frame every twelfth, about every half second) and a sound
// frame every 40 ms, with its tables every second; every packet numbered in order.
struct Channel {
    int videoType = kH264Video;
    int soundType = kMpegAudio;
    qint64 offset = 0;
    qint64 tick = 0;
    // Where a player could start: key frames, or sound frames without pictures.
    std::set<qint64> starts;

    QByteArray nextTick() {
        QByteArray out;
        if (tick % 25 == 0)
            out += pat() + pmt(videoType, soundType);
        if (videoType) {
            const bool key = tick % kGopPictures == 0;
            if (key)
                starts.insert(offset + out.size());
            out += picture(videoType, key);
        }
        if (!videoType)
            starts.insert(offset + out.size());
        out += soundFrame();
        number(out, offset / kPacketSize);
        offset += out.size();
        ++tick;
        return out;
    }
    qint64 nowNs() const { return (tick - 1) * kTickNs; }
    void feed(ShiftStore &store, int ticks) {
        for (int i = 0; i < ticks; ++i) {
            const QByteArray packets = nextTick();
            store.append(packets, tick * kTickNs);
        }
    }
};

struct Store {
    std::shared_ptr<MemoryStorage::Shared> disk = std::make_shared<MemoryStorage::Shared>();
    std::unique_ptr<ShiftStore> store;

    explicit Store(ShiftStore::Limits limits = {}, std::function<qint64()> freeBytes = {}) {
        store = std::make_unique<ShiftStore>(
            std::make_unique<MemoryStorage>(disk), limits, freeBytes ? freeBytes : [] { return qint64(-1); });
    }
    qint64 diskSize() {
        QMutexLocker lock(&disk->mutex);
        return disk->bytes.size();
    }
};

// The tables kept, less the numbers the channel wrote in them.
QByteArray unnumbered(QByteArray packets) {
    for (qsizetype at = 0; at + kPacketSize <= packets.size(); at += kPacketSize)
        packets.replace(at + kPacketSize - 8, 8, QByteArray(8, char(0xFF)));
    return packets;
}

// Every packet from where the store begins to its end, read in odd sizes that cross the ring's
// turn, is the one appended at that offset.
void expectKeptPacketsRight(const ShiftStore &store) {
    char buffer[7 * kPacketSize];
    qint64 at = store.beginOffset();
    while (true) {
        const qint64 got = store.read(at, buffer, sizeof buffer);
        ASSERT_GE(got, 0) << "at " << at;
        if (got == 0)
            break;
        ASSERT_EQ(got % kPacketSize, 0);
        for (qint64 i = 0; i < got; i += kPacketSize)
            ASSERT_EQ(numberOf(buffer + i), (at + i) / kPacketSize) << "at " << at + i;
        at += got;
    }
    EXPECT_EQ(at, store.endOffset());
}

// Every start point kept is one the channel sent, still kept, and starts what it should.
void expectStartPointsRight(const ShiftStore &store, const Channel &channel) {
    char packet[kPacketSize];
    const int pid = channel.videoType ? kVideoPid : kSoundPid;
    for (qint64 ns = store.oldestNs(); ns <= store.newestNs(); ns += kTickNs / 2) {
        const std::optional<ShiftStore::Point> point = store.startAtOrBefore(ns);
        ASSERT_TRUE(point);
        EXPECT_LE(point->arrivalNs, ns);
        EXPECT_TRUE(channel.starts.count(point->offset)) << point->offset;
        EXPECT_GE(point->offset, store.beginOffset());
        ASSERT_EQ(store.read(point->offset, packet, kPacketSize), kPacketSize);
        EXPECT_EQ(TsScan::header(reinterpret_cast<const uchar *>(packet)).pid, pid);
        EXPECT_EQ(store.arrivalAt(point->offset), point->arrivalNs);
    }
}

struct StartCase {
    const char *what;
    int videoType;
    int soundType;
    // The longest wait for a start point.
    qint64 gapNs;
};

class ShiftStoreStarts : public ::testing::TestWithParam<StartCase> {};

TEST_P(ShiftStoreStarts, AreFoundAtKeyFramesOrSoundFrames) {
    const StartCase &c = GetParam();
    Store kept;
    Channel channel{c.videoType, c.soundType, 0, 0, {}};
    EXPECT_FALSE(kept.store->startAtOrBefore(0));
    channel.feed(*kept.store, 100);

    ASSERT_TRUE(kept.store->hasStartPoint()) << c.what;
    EXPECT_EQ(kept.store->oldestNs(), kTickNs);
    EXPECT_EQ(kept.store->newestNs(), 100 * kTickNs);
    EXPECT_EQ(unnumbered(kept.store->tables()), pat() + pmt(c.videoType, c.soundType));
    expectStartPointsRight(*kept.store, channel);
    // Before the oldest: the oldest.
    EXPECT_EQ(kept.store->startAtOrBefore(0)->arrivalNs, kTickNs);
    // Never further back than needed.
    for (qint64 ns = kTickNs; ns <= 100 * kTickNs; ns += kTickNs)
        EXPECT_LT(ns - kept.store->startAtOrBefore(ns)->arrivalNs, c.gapNs) << c.what << " at " << ns;
    if (c.videoType)
        EXPECT_EQ(kept.store->startPoints(), qsizetype(channel.starts.size()));
    else
        EXPECT_LE(kept.store->startPoints(), 4 * 4 + 1) << "at most four a second without pictures";
}

INSTANTIATE_TEST_SUITE_P(Channels, ShiftStoreStarts,
                         ::testing::Values(StartCase{"H.264", kH264Video, kMpegAudio, kGopPictures *kTickNs},
                                           StartCase{"MPEG-2", kMpeg2Video, kMpegAudio,
                                                     kGopPictures *kTickNs},
                                           StartCase{"radio", 0, kMpegAudio, 300'000'000},
                                           StartCase{"radio in AC-3", 0, 0x81, 300'000'000}));

TEST(ShiftStore, TurnsAtItsSizeKeepingReadsRightAndDroppingOverwrittenStartPoints) {
    Store kept({3600'000'000'000, 400 * kPacketSize, 0});
    Channel channel;
    channel.feed(*kept.store, 400);

    const qint64 capacity = kept.store->capacity();
    EXPECT_GT(capacity, 350 * kPacketSize);
    EXPECT_LE(capacity, 400 * kPacketSize);
    EXPECT_LE(kept.diskSize(), 400 * kPacketSize);
    EXPECT_GE(kept.store->beginOffset(), kept.store->endOffset() - capacity);
    EXPECT_GT(kept.store->oldestNs(), 200 * kTickNs) << "the first start points were overwritten";
    expectKeptPacketsRight(*kept.store);
    expectStartPointsRight(*kept.store, channel);

    char packet[kPacketSize];
    EXPECT_EQ(kept.store->read(0, packet, kPacketSize), -1);
    EXPECT_EQ(kept.store->read(kept.store->beginOffset() - kPacketSize, packet, kPacketSize), -1);
    EXPECT_EQ(kept.store->arrivalAt(0), -1);
    EXPECT_EQ(kept.store->read(kept.store->endOffset(), packet, kPacketSize), 0);
}

TEST(ShiftStore, KeepsNoMoreThanItsSpanAndTurnsOnceItHoldsIt) {
    Store kept({2'000'000'000, 4LL << 30, 0});
    Channel channel;
    channel.feed(*kept.store, 200);
    const qint64 span = kept.store->newestNs() - kept.store->oldestNs();
    EXPECT_LE(span, 2'000'000'000);
    EXPECT_GT(span, 2'000'000'000 - kGopPictures * kTickNs);
    const qint64 capacity = kept.store->capacity();
    EXPECT_GT(capacity, 0);

    channel.feed(*kept.store, 200);
    EXPECT_EQ(kept.store->capacity(), capacity);
    EXPECT_EQ(kept.diskSize(), capacity);
    expectKeptPacketsRight(*kept.store);
    expectStartPointsRight(*kept.store, channel);
}

TEST(ShiftStore, LeavesTheDiskItsFreeSpaceAndAsksForItRarely) {
    constexpr qint64 minFree = 1 << 20;
    constexpr qint64 room = 300 * kPacketSize;
    Store *self = nullptr;
    Store kept({3600'000'000'000, 4LL << 30, minFree}, [&self] { return minFree + room - self->diskSize(); });
    self = &kept;
    Channel channel;
    channel.feed(*kept.store, 400);
    EXPECT_TRUE(kept.store->fault().isEmpty());
    EXPECT_GT(kept.store->capacity(), room - 10 * kPacketSize) << "it keeps less, no less than it may";
    EXPECT_LE(kept.diskSize(), room);
    expectKeptPacketsRight(*kept.store);
    expectStartPointsRight(*kept.store, channel);

    int asked = 0;
    Store roomy({3600'000'000'000, 4LL << 30, minFree}, [&asked] {
        ++asked;
        return qint64(1) << 40;
    });
    Channel(channel).feed(*roomy.store, 2000);
    EXPECT_EQ(asked, 1) << "once per 16 MiB of growth, not per packet";
}

TEST(ShiftStore, KeepsNothingAndSaysWhyWhenTheDiskIsShortFromTheStart) {
    Store kept({3600'000'000'000, 4LL << 30, 1 << 20}, [] { return qint64(1 << 20) - 1; });
    bool appended = false;
    kept.store->setAppended([&appended] { appended = true; });
    Channel().feed(*kept.store, 50);
    EXPECT_EQ(kept.store->fault(), QStringLiteral("espace disque insuffisant"));
    EXPECT_FALSE(kept.store->hasStartPoint());
    EXPECT_EQ(kept.diskSize(), 0);
    EXPECT_FALSE(appended);
}

TEST(ShiftStore, AFailedWriteTurnsTheRingWhereItFailedAndOnlyANoneWrittenStopsIt) {
    Store kept;
    kept.disk->failPast = 300 * kPacketSize;
    kept.disk->failure = {true, QStringLiteral("Aucun espace disponible")};
    Channel channel;
    channel.feed(*kept.store, 400);
    EXPECT_TRUE(kept.store->fault().isEmpty());
    EXPECT_GT(kept.store->capacity(), 290 * kPacketSize);
    EXPECT_LE(kept.store->capacity(), 300 * kPacketSize);
    EXPECT_EQ(kept.diskSize(), kept.store->capacity()) << "what a failed write began is given back";
    expectKeptPacketsRight(*kept.store);
    expectStartPointsRight(*kept.store, channel);

    {
        QMutexLocker lock(&kept.disk->mutex);
        kept.disk->failPast = 0;
        kept.disk->failure = {false, QStringLiteral("Erreur d'entrée/sortie")};
    }
    channel.feed(*kept.store, 400);
    EXPECT_EQ(kept.store->fault(), QStringLiteral("Erreur d'entrée/sortie"));
    EXPECT_FALSE(kept.store->hasStartPoint());
}

TEST(ShiftStore, ClearForgetsTheChannelLeftAndGivesItsSpaceBack) {
    Store kept;
    Channel tv;
    tv.feed(*kept.store, 100);
    const qint64 oldEnd = kept.store->endOffset();
    kept.store->clear();
    EXPECT_EQ(kept.diskSize(), 0);
    EXPECT_FALSE(kept.store->hasStartPoint());
    EXPECT_EQ(kept.store->oldestNs(), -1);
    EXPECT_EQ(kept.store->newestNs(), -1);
    EXPECT_TRUE(kept.store->tables().isEmpty());
    char packet[kPacketSize];
    EXPECT_EQ(kept.store->read(oldEnd - kPacketSize, packet, kPacketSize), -1);

    // Offsets go on rising: one held from the channel left never points into the new one.
    Channel radio{0, kMpegAudio, oldEnd, 0, {}};
    radio.feed(*kept.store, 100);
    EXPECT_EQ(unnumbered(kept.store->tables()), pat() + pmt(0, kMpegAudio));
    EXPECT_GE(kept.store->startAtOrBefore(0)->offset, oldEnd);
    expectKeptPacketsRight(*kept.store);
    expectStartPointsRight(*kept.store, radio);
}

TEST(ShiftStore, SkipsPacketsOutOfSync) {
    Store kept;
    QByteArray packets = pat() + pmt(kH264Video, kMpegAudio) + picture(kH264Video, true, 2);
    number(packets, 0);
    QByteArray broken = soundFrame();
    broken[0] = 0x00;
    kept.store->append(packets.left(2 * kPacketSize) + broken + packets.mid(2 * kPacketSize) + "tail", 1);
    EXPECT_EQ(kept.store->endOffset(), packets.size());
    expectKeptPacketsRight(*kept.store);
    EXPECT_EQ(kept.store->startAtOrBefore(1)->offset, 2 * kPacketSize);
}

TEST(ShiftStore, ReadersOnAnotherThreadNeverGetOverwrittenPackets) {
    Store kept({3600'000'000'000, 200 * kPacketSize, 0});
    std::atomic<bool> done = false;
    std::atomic<qint64> checked = 0;
    std::atomic<qint64> wrong = 0;
    std::thread reader([&] {
        char buffer[16 * kPacketSize];
        while (!done) {
            const std::optional<ShiftStore::Point> point = kept.store->startAtOrBefore(0);
            for (qint64 at = point ? point->offset : 0;;) {
                const qint64 got = kept.store->read(at, buffer, sizeof buffer);
                if (got <= 0)
                    break;
                for (qint64 i = 0; i < got; i += kPacketSize, ++checked)
                    wrong += numberOf(buffer + i) != (at + i) / kPacketSize;
                at += got;
            }
        }
    });
    Channel channel;
    for (int round = 0; round < 20 || checked < 10000; ++round)
        channel.feed(*kept.store, 100);
    done = true;
    reader.join();
    EXPECT_EQ(wrong, 0);
}

} // namespace
