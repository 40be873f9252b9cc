#include "player/ring/TsRing.h"
#include "support/TsPackets.h"

#include <gtest/gtest.h>

// The ring of a warm channel, fed with MPEG-TS packets built here.
namespace {

constexpr int kPmtPid = 0x1000;
constexpr int kVideoPid = 0x100;
constexpr int kAudioPid = 0x101;

using tspackets::packet;

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

QByteArray pat() {
    return packet(0, true,
                  bytes({0x00, 0x00, 0xB0, 13, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xE0 | (kPmtPid >> 8),
                         kPmtPid & 0xFF, 0, 0, 0, 0}));
}

QByteArray pmt(int videoType) {
    return packet(kPmtPid, true,
                  bytes({0x00, 0x02, 0xB0, 23, 0x00, 0x01, 0xC1, 0x00, 0x00, 0xE1, 0x00, 0xF0, 0x00, 0x03, 0xE1,
                         0x01, 0xF0, 0x00, videoType, 0xE1, 0x00, 0xF0, 0x00, 0, 0, 0, 0}));
}

// A PES start on the video stream whose first coded units are the given ones.
QByteArray pictureStart(const QByteArray &units, bool randomAccess = false) {
    return packet(kVideoPid, true, bytes({0, 0, 1, 0xE0, 0, 0, 0x80, 0x00, 0x00}) + units, randomAccess);
}

QByteArray h264(int nalType) {
    return bytes({0, 0, 0, 1, 0x09, 0xF0, 0, 0, 0, 1, nalType});
}

QByteArray continuation(int pid = kVideoPid) {
    return packet(pid, false, QByteArray(20, char(0x55)));
}

constexpr int kH264 = 0x1B;

TsRing ringWithTables(int videoType = kH264, TsRing::Limits limits = {}) {
    TsRing ring(limits);
    ring.push(pat() + pmt(videoType), 0);
    return ring;
}

TEST(TsRing, HoldsNothingUntilAKeyFrameThenEverythingFromIt) {
    TsRing ring = ringWithTables();
    ring.push(pictureStart(h264(1)) + continuation(), 10);
    EXPECT_FALSE(ring.hasKeyFrame());
    EXPECT_TRUE(ring.snapshot().isEmpty());

    // The key frame starts mid-buffer: what came before it in the buffer is cut off.
    const QByteArray key = pictureStart(h264(5)) + continuation() + continuation(kAudioPid);
    ring.push(continuation() + key, 20);
    ring.push(pictureStart(h264(1)) + continuation(), 60);
    ASSERT_TRUE(ring.hasKeyFrame());
    EXPECT_EQ(ring.framesHeld(), 2);
    const QList<TsRing::Chunk> chunks = ring.snapshot();
    ASSERT_EQ(chunks.size(), 3);
    // The tables go first, so a decoder starting from the ring knows the programme.
    EXPECT_EQ(chunks[0].packets, pat() + pmt(kH264));
    EXPECT_EQ(chunks[1].packets, key);
    EXPECT_EQ(chunks[1].runningTimeNs, 20);
    EXPECT_EQ(chunks[2].runningTimeNs, 60);
    EXPECT_EQ(ring.bytesHeld(), key.size() + 2 * TsRing::kPacketSize);
}

TEST(TsRing, ANewKeyFrameReplacesWhatWasHeld) {
    TsRing ring = ringWithTables();
    ring.push(pictureStart(h264(5)), 0);
    for (int i = 1; i <= 5; ++i)
        ring.push(pictureStart(h264(1)) + continuation(), i * 40);
    EXPECT_EQ(ring.framesHeld(), 6);
    ring.push(pictureStart(h264(5)), 240);
    EXPECT_EQ(ring.framesHeld(), 1);
    EXPECT_EQ(ring.bytesHeld(), TsRing::kPacketSize);
}

TEST(TsRing, GivesTheKeyFrameAloneOnceThePictureAfterItHasStarted) {
    TsRing ring = ringWithTables();
    const QByteArray units = h264(5);
    ring.push(pictureStart(units) + continuation(kAudioPid) + continuation(), 0);
    EXPECT_TRUE(ring.keyFrame().elementary.isEmpty()) << "the key frame may go on in the next packets";

    ring.push(continuation() + pictureStart(h264(1)) + continuation(), 40);
    const TsRing::KeyFrame key = ring.keyFrame();
    EXPECT_EQ(key.streamType, kH264);
    EXPECT_EQ(key.runningTimeNs, 0);
    // The coded units from past the PES header to the next picture, the sound left out.
    const qsizetype pesHeader = 4 + 9;
    const QByteArray first = pictureStart(units).mid(pesHeader);
    const QByteArray rest = continuation().mid(4);
    EXPECT_TRUE(key.elementary.startsWith(units));
    EXPECT_EQ(key.elementary, first + rest + rest);
}

struct KeyCase {
    const char *what;
    int videoType;
    QByteArray units;
    bool randomAccess;
    bool key;
};

class TsRingKeyFrames : public ::testing::TestWithParam<KeyCase> {};

TEST_P(TsRingKeyFrames, AreToldFromOtherPictures) {
    const KeyCase &c = GetParam();
    TsRing ring = ringWithTables(c.videoType);
    ring.push(pictureStart(c.units, c.randomAccess), 0);
    EXPECT_EQ(ring.hasKeyFrame(), c.key) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, TsRingKeyFrames,
    ::testing::Values(KeyCase{"H.264 IDR after a delimiter", kH264, h264(5), false, true},
                      KeyCase{"H.264 parameter set first", kH264, h264(7), false, true},
                      KeyCase{"H.264 ordinary slice", kH264, h264(1), false, false},
                      KeyCase{"flagged random access", kH264, h264(1), true, true},
                      KeyCase{"HEVC IDR", 0x24, bytes({0, 0, 1, 19 << 1, 1}), false, true},
                      KeyCase{"HEVC trailing picture", 0x24, bytes({0, 0, 1, 1 << 1, 1}), false, false},
                      KeyCase{"MPEG-2 sequence header", 0x02, bytes({0, 0, 1, 0xB3}), false, true},
                      KeyCase{"MPEG-2 picture", 0x02, bytes({0, 0, 1, 0x00}), false, false}));

TEST(TsRing, PicturesBeforeTheProgrammeIsKnownAreNotKept) {
    TsRing ring;
    ring.push(pictureStart(h264(5)), 0);
    EXPECT_FALSE(ring.hasKeyFrame());
    ring.push(pat() + pmt(kH264), 10);
    ring.push(pictureStart(h264(5)), 20);
    EXPECT_TRUE(ring.hasKeyFrame());
}

TEST(TsRing, PastItsBoundsItHoldsNothingUntilTheNextKeyFrame) {
    const TsRing::Limits limits{10 * TsRing::kPacketSize, 1000};
    TsRing bySize = ringWithTables(kH264, limits);
    bySize.push(pictureStart(h264(5)), 0);
    for (int i = 0; i < 10; ++i)
        bySize.push(continuation(), 1 + i);
    EXPECT_FALSE(bySize.hasKeyFrame());
    EXPECT_EQ(bySize.bytesHeld(), 0);
    bySize.push(continuation(), 20);
    EXPECT_FALSE(bySize.hasKeyFrame());
    bySize.push(pictureStart(h264(5)), 30);
    EXPECT_TRUE(bySize.hasKeyFrame());

    TsRing byTime = ringWithTables(kH264, limits);
    byTime.push(pictureStart(h264(5)), 0);
    byTime.push(continuation(), 900);
    EXPECT_TRUE(byTime.hasKeyFrame());
    byTime.push(continuation(), 1100);
    EXPECT_FALSE(byTime.hasKeyFrame());
}

TEST(TsRing, SoundAndPacketsOutOfSyncDoNotCountAsPictures) {
    TsRing ring = ringWithTables();
    ring.push(pictureStart(h264(5)), 0);
    QByteArray broken = continuation();
    broken[0] = 0x00;
    ring.push(packet(kAudioPid, true, bytes({0, 0, 1, 0xC0})) + broken, 10);
    EXPECT_EQ(ring.framesHeld(), 1);
}

} // namespace
