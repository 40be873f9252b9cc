// The marks the box writes over its multiplexer's program table, on packets built byte by byte.
#include "settopbox/ProgramTableMarks.h"

#include <gtest/gtest.h>

#include <vector>

using namespace halcyon::settopbox;

namespace {

// One packet holding a program map section: video on 0x41 with no descriptor, French sound on
// 0x42 and French subtitles on 0x43, described as the multiplexer writes them.
std::vector<uint8_t> programTablePacket() {
    std::vector<uint8_t> section = {0x02, 0xb0, 0x00, 0x00, 0x01, 0xc1, 0x00, 0x00, 0xe0, 0x41, 0xf0,
                                    0x00, 0x1b, 0xe0, 0x41, 0xf0, 0x00,                               // video
                                    0x03, 0xe0, 0x42, 0xf0, 0x06, 0x0a, 0x04, 'f',  'r',  'e',  0x00, // sound
                                    0x06, 0xe0, 0x43, 0xf0, 0x0a, 0x59, 0x08, 'f',  'r',  'e',  0x10,
                                    0x00, 0x01, 0x01, 0x52}; // subtitles
    section[2] = uint8_t(section.size() + 4 - 3);
    const uint32_t crc = mpegCrc32(section.data(), section.size());
    for (int i = 0; i < 4; ++i)
        section.push_back(uint8_t(crc >> (24 - 8 * i)));
    std::vector<uint8_t> packet(188, 0xff);
    const uint8_t header[] = {0x47, 0x40, 0x20, 0x10, 0x00};
    std::copy(std::begin(header), std::end(header), packet.begin());
    std::copy(section.begin(), section.end(), packet.begin() + sizeof header);
    return packet;
}

constexpr size_t kSection = 5;
constexpr size_t kAudioType = kSection + 27;
constexpr size_t kSubtitlingType = kSection + 38;

bool crcHolds(const std::vector<uint8_t> &packet) {
    const size_t size = 3 + packet[kSection + 2];
    return mpegCrc32(packet.data() + kSection, size) == 0;
}

TEST(ProgramTableMarks, CrcIsTheMpegOne) {
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(mpegCrc32(check, sizeof check), 0x0376e6e7u);
}

TEST(ProgramTableMarks, MarksAudioDescriptionAndHardOfHearingAndKeepsTheCrcRight) {
    std::vector<uint8_t> packets = programTablePacket();
    const std::vector<uint8_t> other = programTablePacket();
    packets.insert(packets.end(), other.begin(), other.end());
    ASSERT_TRUE(holdsProgramTable(packets.data(), packets.size()));
    const std::vector<TrackMark> marks = {{.pid = 0x42, .audioType = 3},
                                          {.pid = 0x43, .subtitlingType = 0x20}};
    EXPECT_EQ(markProgramTables(packets.data(), packets.size(), marks), 2);
    for (size_t at : {size_t(0), size_t(188)}) {
        const std::vector<uint8_t> packet(packets.begin() + long(at), packets.begin() + long(at) + 188);
        EXPECT_EQ(packet[kAudioType], 3);
        EXPECT_EQ(packet[kSubtitlingType], 0x20);
        EXPECT_EQ(std::string(packet.begin() + kAudioType - 3, packet.begin() + kAudioType), "fre");
        EXPECT_TRUE(crcHolds(packet));
    }
    EXPECT_EQ(markProgramTables(packets.data(), packets.size(), marks), 0) << "marked twice, changed once";
}

TEST(ProgramTableMarks, WritesALanguageTheMultiplexerDoesNotKnow) {
    std::vector<uint8_t> packet = programTablePacket();
    markProgramTables(packet.data(), packet.size(), {{.pid = 0x42, .audioType = 3, .language = "qad"}});
    EXPECT_EQ(std::string(packet.begin() + kAudioType - 3, packet.begin() + kAudioType), "qad");
    EXPECT_EQ(std::string(packet.begin() + kSubtitlingType - 3, packet.begin() + kSubtitlingType), "fre");
    EXPECT_TRUE(crcHolds(packet));
}

TEST(ProgramTableMarks, LeavesAloneWhatIsNotAWholeProgramTable) {
    const std::vector<TrackMark> marks = {{.pid = 0x42, .audioType = 3}};
    std::vector<uint8_t> corrupt = programTablePacket();
    corrupt[kSection + 8] ^= 0x01;
    std::vector<uint8_t> cut = programTablePacket();
    cut[kSection + 2] = 0xff; // longer than its packet
    std::vector<uint8_t> pes = programTablePacket();
    pes[kSection] = 0x00;
    for (std::vector<uint8_t> *packet : {&corrupt, &cut, &pes}) {
        const std::vector<uint8_t> before = *packet;
        EXPECT_EQ(markProgramTables(packet->data(), packet->size(), marks), 0);
        EXPECT_EQ(*packet, before);
    }
    EXPECT_FALSE(holdsProgramTable(pes.data(), pes.size()));
}

} // namespace
