// DVB subtitle pages widened by a column before GStreamer's overlay decodes them, so that a region
// whose lines fill its width is drawn whole.
#include "player/pipeline/SubtitleRegions.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void addSegment(Bytes &page, uint8_t type, const Bytes &body) {
    page.insert(page.end(), {0x0f, type, 0x00, 0x01, uint8_t(body.size() >> 8), uint8_t(body.size())});
    page.insert(page.end(), body.begin(), body.end());
}

// A colour entry of table 0 in full range: id, the depths it serves, Y Cr Cb T.
Bytes entry(uint8_t id, uint8_t depths, uint8_t y, uint8_t t) {
    return {id, uint8_t(depths | 0x1f), y, 128, 128, t};
}

struct Page {
    uint8_t regionFlags = 0x07; // version 0, no fill
    uint8_t depthCode = 0x4b;   // 4-bit
    Bytes colours = entry(0, 0xe0, 200, 0);
    bool objectSent = true;
    bool objectPlaced = true;

    // As dvbsubenc writes a page: where the region sits, the region 300 wide and 40 high with its
    // object at 0,0, its colours, the object's two fields and the end of the display set.
    Bytes bytes() const {
        Bytes p = {0x20, 0x00};
        addSegment(p, 0x10, {30, 0x0b, 0x00, 0x00, 0x00, 0xfa, 0x01, 0xf0});
        Bytes region = {0x00, regionFlags, 0x01, 0x2c, 0x00, 0x28, depthCode, 0x00, 0x00, 0x03};
        if (objectPlaced)
            region.insert(region.end(), {0x00, 0x07, 0x00, 0x00, 0xf0, 0x00});
        addSegment(p, 0x11, region);
        Bytes clut = {0x00, 0x0f};
        clut.insert(clut.end(), colours.begin(), colours.end());
        addSegment(p, 0x12, clut);
        if (objectSent)
            addSegment(p, 0x13,
                       {0x00, 0x07, 0x00, 0x00, 0x03, 0x00, 0x03, 0x11, 0x00, 0xf0, 0x11, 0x00, 0xf0});
        addSegment(p, 0x80, {});
        p.push_back(0xff);
        return p;
    }
};

constexpr size_t kRegion = 2 + 14 + 6;

struct Widened {
    int count;
    unsigned width;
    bool filled;
    int fill4, fill2, fill8;
};

Widened widened(const Page &page) {
    Bytes p = page.bytes();
    const int count = SubtitleRegions::widen(p.data(), p.size());
    return {count,
            unsigned(p[kRegion + 2]) << 8 | p[kRegion + 3],
            bool(p[kRegion + 1] & 0x08),
            p[kRegion + 9] >> 4,
            (p[kRegion + 9] >> 2) & 0x03,
            p[kRegion + 8]};
}

TEST(SubtitleRegions, EachRegionGrowsAColumnFilledWithThePagesTransparentColourForItsDepth) {
    Page page;
    page.colours = entry(0, 0xe0, 200, 0);
    for (const Bytes &more : {entry(1, 0x20, 16, 0xff), entry(2, 0xe0, 16, 0xff), entry(3, 0xe0, 16, 0xff)})
        page.colours.insert(page.colours.end(), more.begin(), more.end());

    Widened four = widened(page);
    EXPECT_EQ(four.count, 1);
    EXPECT_EQ(four.width, 301u);
    EXPECT_TRUE(four.filled);
    EXPECT_EQ(four.fill4, 2) << "the first transparent entry that serves 4-bit regions";
    EXPECT_EQ(four.fill2, 0) << "the other depths' codes stay";

    page.depthCode = 0x4f; // 8-bit
    Widened eight = widened(page);
    EXPECT_EQ(eight.fill8, 1);
    EXPECT_EQ(eight.fill4, 0);

    page.depthCode = 0x47; // 2-bit
    EXPECT_EQ(widened(page).fill2, 2);

    // Transparent as the decoder reads it: no luma at all, in the short form too.
    page.depthCode = 0x4b;
    page.colours = entry(0, 0xe0, 200, 0);
    page.colours.insert(page.colours.end(), {5, 0x40, 0x00, 0x00});
    EXPECT_EQ(widened(page).fill4, 5);
}

TEST(SubtitleRegions, TheEncodersFillStaysWhereItAsksForOneOrCannotBeMadeSafely) {
    Page filled;
    filled.regionFlags = 0x0f; // filled with its own colour 0
    filled.colours.insert(filled.colours.end(), {2, 0xff, 16, 128, 128, 0xff});
    Widened asked = widened(filled);
    EXPECT_EQ(asked.width, 301u);
    EXPECT_EQ(asked.fill4, 0) << "the region's own background";

    Page opaque; // no transparent colour on the page
    Widened plain = widened(opaque);
    EXPECT_EQ(plain.width, 301u);
    EXPECT_FALSE(plain.filled);

    // Pixels the page does not redraw are kept, as the encoder asked.
    Page kept;
    kept.colours.insert(kept.colours.end(), {2, 0xff, 16, 128, 128, 0xff});
    kept.objectSent = false;
    EXPECT_FALSE(widened(kept).filled);
    kept.objectSent = true;
    kept.objectPlaced = false;
    EXPECT_FALSE(widened(kept).filled);
}

TEST(SubtitleRegions, LeavesWhatIsNoSubtitlePageOrIsCutShortAsItIs) {
    Page page;
    Bytes other = page.bytes();
    other[0] = 0x21;
    const Bytes before = other;
    EXPECT_EQ(SubtitleRegions::widen(other.data(), other.size()), 0);
    EXPECT_EQ(other, before);

    Bytes cut = page.bytes();
    cut.resize(kRegion + 4);
    const Bytes cutBefore = cut;
    EXPECT_EQ(SubtitleRegions::widen(cut.data(), cut.size()), 0);
    EXPECT_EQ(cut, cutBefore);
}

} // namespace
