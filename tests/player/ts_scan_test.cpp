#include "player/ring/TsScan.h"

#include "support/TsPackets.h"

#include <gtest/gtest.h>

// Which stream of a programme is its sound, from the programme map.
namespace {

using namespace tspackets;

struct SoundCase {
    const char *what;
    int type;
    QByteArray descriptors;
    bool sound;
};

class TsScanSound : public ::testing::TestWithParam<SoundCase> {};

TEST_P(TsScanSound, IsFoundFromItsStreamTypeAndDescriptors) {
    const SoundCase &c = GetParam();
    TsScan scan;
    const QByteArray tables = pat() + pmt(0, c.type, c.descriptors);
    scan.scan(reinterpret_cast<const uchar *>(tables.constData()));
    const TsScan::Unit unit = scan.scan(reinterpret_cast<const uchar *>(tables.constData()) + kPacketSize);
    EXPECT_EQ(scan.soundPid(), c.sound ? kSoundPid : -1) << c.what;
    EXPECT_EQ(scan.videoPid(), -1);
    if (!c.sound)
        return;
    EXPECT_EQ(unit, TsScan::Unit::NewLayout);
    EXPECT_EQ(scan.pmt(), tables.mid(kPacketSize));
    const QByteArray frame = soundFrame(2);
    EXPECT_EQ(scan.scan(reinterpret_cast<const uchar *>(frame.constData())), TsScan::Unit::Sound) << c.what;
    EXPECT_EQ(scan.scan(reinterpret_cast<const uchar *>(frame.constData()) + kPacketSize),
              TsScan::Unit::Other);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, TsScanSound,
    ::testing::Values(SoundCase{"MPEG-1 audio", 0x03, {}, true}, SoundCase{"MPEG-2 audio", 0x04, {}, true},
                      SoundCase{"AAC", 0x0F, {}, true}, SoundCase{"AAC LATM", 0x11, {}, true},
                      SoundCase{"AC-3", 0x81, {}, true},
                      SoundCase{"private AC-3", kPrivateData, QByteArray("\x6A\x01\x00", 3), true},
                      SoundCase{"private E-AC-3", kPrivateData, QByteArray("\x0A\x04xxx\x00\x7A\x00", 8),
                                true},
                      SoundCase{"subtitles", kPrivateData, QByteArray("\x59\x00", 2), false}));

TEST(TsScan, AChangedProgrammeIsToldOnceAndTablesAreKept) {
    TsScan scan;
    const QByteArray first = pat() + pmt(kH264Video, kMpegAudio);
    for (int i = 0; i < 2; ++i) {
        scan.scan(reinterpret_cast<const uchar *>(first.constData()));
        EXPECT_EQ(scan.scan(reinterpret_cast<const uchar *>(first.constData()) + kPacketSize),
                  i == 0 ? TsScan::Unit::NewLayout : TsScan::Unit::Tables);
    }
    const QByteArray radio = pmt(0, kMpegAudio);
    EXPECT_EQ(scan.scan(reinterpret_cast<const uchar *>(radio.constData())), TsScan::Unit::NewLayout);
    EXPECT_EQ(scan.videoPid(), -1);
    EXPECT_EQ(scan.pat() + scan.pmt(), pat() + radio);
    scan.reset();
    EXPECT_FALSE(scan.knowsProgramme());
    EXPECT_TRUE(scan.pat().isEmpty());
}

} // namespace
