// The skin the program ships against the window's description: the key red only in the bottom
// rows the stand stands in, and pure blue exactly behind the player control.

#include <QImage>
#include <gtest/gtest.h>

namespace {

constexpr QRgb kKeyRed = 0xff0000;
constexpr QRgb kPureBlue = 0x0000ff;
constexpr int kFirstKeyRow = 393;
constexpr int kLastKeyRow = 430;
// Columns 72 to 603, rows 36 to 359.
const QRect kBehindPlayer(72, 36, 532, 324);

TEST(CommittedSkin, KeyRedOnlyInTheBottomRowsAndPureBlueExactlyBehindThePlayer) {
    const QImage skin(QStringLiteral(HALCYON_SOURCE_DIR "/assets/skin.png"));
    ASSERT_EQ(skin.size(), QSize(685, 431));
    int redOutOfPlace = 0, blueOutOfPlace = 0, notBlueBehindPlayer = 0;
    for (int y = 0; y < skin.height(); ++y) {
        for (int x = 0; x < skin.width(); ++x) {
            const QRgb c = skin.pixel(x, y) & 0xffffff;
            if (c == kKeyRed && (y < kFirstKeyRow || y > kLastKeyRow))
                ++redOutOfPlace;
            if (kBehindPlayer.contains(x, y))
                notBlueBehindPlayer += c != kPureBlue;
            else
                blueOutOfPlace += c == kPureBlue;
        }
    }
    EXPECT_EQ(redOutOfPlace, 0);
    EXPECT_EQ(notBlueBehindPlayer, 0);
    EXPECT_EQ(blueOutOfPlace, 0);
    // The outline is cut from the bottom rows: some key red is there.
    EXPECT_EQ(skin.pixel(0, kLastKeyRow) & 0xffffff, kKeyRed);
}

} // namespace
