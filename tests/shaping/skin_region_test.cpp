#include "shaping/Colour.h"
#include "shaping/SkinRegion.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <cstring>
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
        // Rows often repeat the row above, whole or with a pixel changed, as a skin's rows do.
        const int kind = y == 0 ? 0 : random.bounded(3);
        if (kind == 0) {
            for (int x = 0; x < width; ++x)
                picture.setPixel(x, y, palette[random.bounded(4)]);
            continue;
        }
        std::memcpy(picture.scanLine(y), picture.constScanLine(y - 1), width * 4);
        if (kind == 2)
            picture.setPixel(random.bounded(width), y, palette[random.bounded(4)]);
    }
    return picture;
}

} // namespace

TEST(SkinRegion, IsExactlyTheNonKeyPixelsOfGeneratedPictures) {
    for (quint32 seed = 1; seed <= 40; ++seed) {
        const QImage picture = randomPicture(17 + int(seed), 9 + int(seed % 7), seed);
        const QPoint origin(int(seed % 5), int(seed % 3));
        EXPECT_TRUE(
            sameArea(SkinRegion::build(picture, kRedKey, origin), pixelByPixel(picture, kRedKey, origin)))
            << "seed " << seed;
    }
}

TEST(SkinRegion, CoversWholePicturesOrNothingWhereTheKeyDecides) {
    QImage framed(12, 8, QImage::Format_RGB32);
    framed.fill(Qt::black);
    QImage inside(10, 6, QImage::Format_RGB32);
    inside.fill(kRed);
    QPainter(&framed).drawImage(1, 1, inside);
    QImage white(6, 4, QImage::Format_RGB32);
    white.fill(0xffffffff);
    const struct {
        const char *name;
        QImage picture;
        qint32 key;
        QRegion expected;
    } cases[] = {
        {"opaque border kept", framed, kRedKey, QRegion(2, 1, 12, 8) - QRegion(3, 2, 10, 6)},
        {"invalid colour", white, Colour::kInvalid, QRegion(2, 1, 6, 4)},
        {"bits above blue", white, qint32(0x01ffffff), QRegion(2, 1, 6, 4)},
        {"all key", inside, kRedKey, QRegion()},
        {"empty picture", QImage(), kRedKey, QRegion()},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(sameArea(SkinRegion::build(c.picture, c.key, QPoint(2, 1)), c.expected)) << c.name;
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
