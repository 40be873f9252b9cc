#include "shaping/Colour.h"
#include "shaping/SkinRegion.h"

#include <QBitmap>
#include <QImage>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

constexpr QRgb kRed = 0xffff0000;
constexpr qint32 kRedKey = 255;

// The shape pixel by pixel: slow, but plainly right.
QRegion pixelByPixel(const QImage &picture, qint32 key, QPoint origin = QPoint()) {
    QRegion region;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (Colour::fromPixel(picture.pixel(x, y)) != key)
                region += QRect(origin.x() + x, origin.y() + y, 1, 1);
    return region;
}

bool sameArea(const QRegion &a, const QRegion &b) {
    return (a ^ b).isEmpty();
}

QImage randomPicture(int width, int height, quint32 seed) {
    QRandomGenerator random(seed);
    const QRgb palette[] = {kRed, 0xff0000ff, 0xff808080, 0xffff0001};
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        // Some rows repeat the row above, as plain areas of a skin do.
        if (y > 0 && random.bounded(3) == 0) {
            std::memcpy(picture.scanLine(y), picture.constScanLine(y - 1), width * 4);
            continue;
        }
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, palette[random.bounded(4)]);
    }
    return picture;
}

} // namespace

TEST(SkinRegion, IsExactlyTheNonKeyPixelsOfGeneratedPictures) {
    for (quint32 seed = 1; seed <= 20; ++seed) {
        const QImage picture = randomPicture(17 + int(seed), 9 + int(seed % 7), seed);
        const QPoint origin(int(seed % 5), int(seed % 3));
        EXPECT_TRUE(
            sameArea(SkinRegion::build(picture, kRedKey, origin), pixelByPixel(picture, kRedKey, origin)))
            << "seed " << seed;
    }
}

TEST(SkinRegion, KeepsAnOpaqueBorderWhole) {
    QImage picture(12, 8, QImage::Format_RGB32);
    picture.fill(Qt::black);
    for (int y = 1; y < 7; ++y)
        for (int x = 1; x < 11; ++x)
            picture.setPixel(x, y, kRed);
    const QRegion shape = SkinRegion::build(picture, kRedKey);
    EXPECT_TRUE(shape.contains(QPoint(0, 0)));
    EXPECT_TRUE(shape.contains(QPoint(11, 0)));
    EXPECT_TRUE(shape.contains(QPoint(0, 7)));
    EXPECT_TRUE(shape.contains(QPoint(11, 7)));
    EXPECT_TRUE(sameArea(shape, QRegion(0, 0, 12, 8) - QRegion(1, 1, 10, 6)));
}

TEST(SkinRegion, KeysThatMatchNoPixelKeepTheWholePicture) {
    QImage picture(6, 4, QImage::Format_RGB32);
    picture.fill(0xffffffff);
    // Bits above the blue byte never match, not even a white picture against the invalid colour.
    for (const qint32 key : {Colour::kInvalid, qint32(0x01ffffff), qint32(0x00ff0000)})
        EXPECT_TRUE(sameArea(SkinRegion::build(picture, key, QPoint(3, 2)), QRegion(3, 2, 6, 4))) << key;
}

TEST(SkinRegion, IsEmptyForAnEmptyOrAllKeyPicture) {
    EXPECT_TRUE(SkinRegion::build(QImage(), kRedKey).isEmpty());
    QImage allKey(5, 5, QImage::Format_RGB32);
    allKey.fill(kRed);
    EXPECT_TRUE(SkinRegion::build(allKey, kRedKey).isEmpty());
}

TEST(SkinRegion, ReadsOtherFormatsByTheirColours) {
    const QImage picture = randomPicture(23, 11, 99);
    for (const QImage::Format format : {QImage::Format_RGB888, QImage::Format_ARGB32, QImage::Format_RGB16}) {
        const QImage converted = picture.convertToFormat(format);
        EXPECT_TRUE(sameArea(SkinRegion::build(converted, kRedKey), pixelByPixel(converted, kRedKey)))
            << format;
    }
}

TEST(SkinRegion, AgreesWithQtsMaskOnTheSkin) {
    QImage skin(QStringLiteral(HALCYON_SOURCE_DIR "/assets/skin.png"));
    ASSERT_FALSE(skin.isNull());
    skin = skin.convertToFormat(QImage::Format_RGB32);
    // The mono mask marks the key pixels; as a bitmap region those come out as holes.
    const QRegion qtRoute(QBitmap::fromImage(skin.createMaskFromColor(kRed, Qt::MaskInColor)));
    const QRegion shape = SkinRegion::build(skin, kRedKey);
    EXPECT_TRUE(sameArea(shape, qtRoute));
    EXPECT_FALSE(shape.contains(QPoint(0, skin.height() - 1)));
}
