// The box's subtitle pages, widened so that a decoder keeps every line of a region.
#include "settopbox/SubtitleRegions.h"

#include <gtest/gtest.h>

#include <vector>

using namespace halcyon::settopbox;

namespace {

void addSegment(std::vector<uint8_t> &page, uint8_t type, const std::vector<uint8_t> &body) {
    page.insert(page.end(), {0x0f, type, 0x00, 0x01, uint8_t(body.size() >> 8), uint8_t(body.size())});
    page.insert(page.end(), body.begin(), body.end());
}

// A page as the encoder writes it: a region 300 wide, then its colours, the third transparent.
std::vector<uint8_t> page(uint8_t transparency) {
    std::vector<uint8_t> p = {0x20, 0x00};
    addSegment(p, 0x10, {30, 0x0b, 0x00, 0xff, 0x00, 0x10, 0x01, 0xf0});
    addSegment(
        p, 0x11,
        {0x00, 0x07, 0x01, 0x2c, 0x00, 0x28, 0x4b, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x00});
    addSegment(p, 0x12, {0x00, 0x0f, 0,   0x5f, 235, 128,  128, 0,   1,   0x5f,
                         16,   128,  128, 0,    2,   0x5f, 16,  128, 128, transparency});
    p.push_back(0xff);
    return p;
}

constexpr size_t kRegion = 2 + 14 + 6;

TEST(SubtitleRegions, GrowsEachRegionByATransparentColumn) {
    std::vector<uint8_t> p = page(0xff);
    EXPECT_EQ(widenSubtitleRegions(p.data(), p.size()), 1);
    EXPECT_EQ(p[kRegion + 2] << 8 | p[kRegion + 3], 301);
    EXPECT_EQ(p[kRegion + 5], 0x28) << "the height stays";
    EXPECT_TRUE(p[kRegion + 1] & 0x08) << "filled";
    EXPECT_EQ(p[kRegion + 8], 2);
    EXPECT_EQ(p[kRegion + 9] >> 4, 2);
    EXPECT_EQ((p[kRegion + 9] >> 2) & 0x03, 2);
}

TEST(SubtitleRegions, LeavesAPageWithNothingTransparentOrNoPageAtAll) {
    std::vector<uint8_t> opaque = page(0x00);
    const std::vector<uint8_t> before = opaque;
    EXPECT_EQ(widenSubtitleRegions(opaque.data(), opaque.size()), 0);
    EXPECT_EQ(opaque, before);
    std::vector<uint8_t> cut = page(0xff);
    cut.resize(kRegion + 4);
    EXPECT_EQ(widenSubtitleRegions(cut.data(), cut.size()), 0);
    std::vector<uint8_t> other = page(0xff);
    other[0] = 0x21;
    EXPECT_EQ(widenSubtitleRegions(other.data(), other.size()), 0);
}

} // namespace
