#include "PictureImage.h"
#include "shaping/Colour.h"
#include "shaping/EInvalidGraphicOperation.h"
#include "shaping/SkinRegion.h"
#include "shaping/TSkTranspaMoveForm.h"

#include <QMovie>
#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kGrey = 0xff808080;
constexpr qint32 kGreyKey = 8421504;

bool sameArea(const QRegion &a, const QRegion &b) {
    return (a ^ b).isEmpty();
}

// A small skin: blue with a grey frame line, red bottom rows partly, a grey-free corner.
QImage smallSkin() {
    QImage skin(40, 30, QImage::Format_RGB32);
    skin.fill(kBlue);
    for (int x = 0; x < 40; ++x)
        skin.setPixel(x, 2, kGrey);
    for (int y = 25; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            if (x < 10 || x >= 30)
                skin.setPixel(x, y, kRed);
    return skin;
}

// A form with its skin image at (4, 3), built the way a window's description builds it.
struct ShapedForm {
    std::unique_ptr<QWidget> form = std::make_unique<QWidget>();
    PictureImage *image = new PictureImage(form.get());
    TSkTranspaMoveForm *component = nullptr;

    explicit ShapedForm(
        TSkTranspaMoveForm::Creation creation = TSkTranspaMoveForm::Creation::FromDescription) {
        image->setObjectName(QStringLiteral("Image1"));
        image->setBitmap(smallSkin(), true);
        image->move(4, 3);
        component = new TSkTranspaMoveForm(form.get(), creation);
    }
    void describe(bool transparent = true) {
        component->setImageLinked(image);
        component->setTransparent(transparent);
        component->setTransparentColor(kGreyKey);
        component->RGVTransparentColor()->setR(128);
        component->RGVTransparentColor()->setG(128);
        component->RGVTransparentColor()->setB(128);
        component->XYTransparentColor()->setX(-1);
        component->XYTransparentColor()->setY(-1);
        component->setDeplacement(true);
    }
    QRegion expected(qint32 key) const { return SkinRegion::build(smallSkin(), key, QPoint(4, 3)); }
    QRegion mask() const { return form->mask(); }
    QList<int> rgb() const {
        TRGV *rgv = component->RGVTransparentColor();
        return {rgv->R(), rgv->G(), rgv->B()};
    }
};

} // namespace

TEST(SkinShape, LoadingShapesOnceWithTheStoredKeyThenRedReshapes) {
    ShapedForm f;
    QSignalSpy rebuilds(f.component, &TSkTranspaMoveForm::regionRebuilt);
    f.describe();
    EXPECT_EQ(rebuilds.count(), 0);
    f.component->Loaded();
    EXPECT_EQ(rebuilds.count(), 1);
    EXPECT_TRUE(sameArea(f.mask(), f.expected(kGreyKey)));
    EXPECT_EQ(f.form->size(), QSize(44, 33));

    f.component->setTransparentColor(255);
    EXPECT_EQ(rebuilds.count(), 2);
    EXPECT_TRUE(sameArea(f.mask(), f.expected(255)));
    EXPECT_EQ(f.rgb(), (QList<int>{255, 0, 0}));
    EXPECT_EQ(f.component->XYTransparentColor()->Y(), -1);
    EXPECT_FALSE(f.mask().contains(QPoint(4, 3 + 29)));
    EXPECT_TRUE(f.mask().contains(QPoint(4 + 10, 3 + 29)));

    f.component->setTransparentColor(255);
    EXPECT_EQ(rebuilds.count(), 3);
}

TEST(SkinShape, TransparentOffAppliesNothingAndKeepsAnEarlierShape) {
    ShapedForm off;
    off.describe(false);
    off.component->Loaded();
    off.component->setTransparentColor(255);
    EXPECT_TRUE(off.mask().isEmpty());

    ShapedForm f;
    f.describe();
    f.component->Loaded();
    f.component->setTransparentColor(255);
    f.component->setTransparent(false);
    f.component->setTransparentColor(kGreyKey);
    EXPECT_TRUE(sameArea(f.mask(), f.expected(255)));
}

TEST(SkinShape, ComponentsWrittenOneByOneReshapeEachTime) {
    ShapedForm f;
    f.describe();
    f.component->Loaded();
    f.component->XYTransparentColor()->setX(3);
    QSignalSpy rebuilds(f.component, &TSkTranspaMoveForm::regionRebuilt);
    TRGV *rgv = f.component->RGVTransparentColor();
    rgv->setR(0);
    EXPECT_EQ(f.component->TransparentColor(), Colour::fromRgb(0, 128, 128));
    EXPECT_EQ(f.component->XYTransparentColor()->Y(), -1);
    rgv->setG(0);
    rgv->setB(255);
    EXPECT_EQ(rebuilds.count(), 3);
    EXPECT_EQ(f.component->TransparentColor(), Colour::fromRgb(0, 0, 255));
    EXPECT_TRUE(sameArea(f.mask(), f.expected(Colour::fromRgb(0, 0, 255))));
}

TEST(SkinShape, PickingAPixelMakesItsColourTheKey) {
    ShapedForm f;
    f.describe();
    f.component->Loaded();
    f.component->setTransparentColor(255);
    QSignalSpy rebuilds(f.component, &TSkTranspaMoveForm::regionRebuilt);
    TCoord *xy = f.component->XYTransparentColor();

    xy->setX(-1);
    xy->setY(5);
    xy->setY(-1);
    xy->setX(5);
    EXPECT_EQ(rebuilds.count(), 0);
    EXPECT_EQ(f.component->TransparentColor(), 255);

    xy->setY(2); // (5, 2) lies on the grey line
    EXPECT_EQ(rebuilds.count(), 1);
    EXPECT_EQ(f.component->TransparentColor(), kGreyKey);
    EXPECT_EQ(f.rgb(), (QList<int>{128, 128, 128}));
    EXPECT_TRUE(sameArea(f.mask(), f.expected(kGreyKey)));

    // Outside the picture no pixel has a colour: the whole picture stays in the shape.
    xy->setX(100);
    EXPECT_EQ(f.component->TransparentColor(), -1);
    EXPECT_EQ(f.rgb(), (QList<int>{255, 255, 255}));
    EXPECT_TRUE(sameArea(f.mask(), QRegion(4, 3, 40, 30)));
}

// Destroyed, or taken off the form (to no parent, or to another form): removed all the same.
class RemovedImage : public ::testing::TestWithParam<int> {};

TEST_P(RemovedImage, LeavesTheShapeAsItWas) {
    ShapedForm f;
    f.describe();
    f.component->Loaded();
    f.component->setTransparentColor(255);
    QWidget otherForm;
    switch (GetParam()) {
    case 0:
        delete f.image;
        break;
    case 1:
        f.image->setParent(nullptr);
        break;
    default:
        f.image->setParent(&otherForm);
        break;
    }
    EXPECT_EQ(f.component->ImageLinked(), nullptr);
    QSignalSpy rebuilds(f.component, &TSkTranspaMoveForm::regionRebuilt);
    f.component->setTransparentColor(kGreyKey);
    f.component->XYTransparentColor()->setX(1);
    f.component->XYTransparentColor()->setY(1);
    EXPECT_EQ(rebuilds.count(), 0);
    EXPECT_TRUE(sameArea(f.mask(), f.expected(255)));
    if (GetParam() == 1)
        delete f.image;
}

INSTANTIATE_TEST_SUITE_P(SkinShape, RemovedImage, ::testing::Values(0, 1, 2));

TEST(SkinShape, AnImageMovedWithinTheFormStaysLinked) {
    ShapedForm f;
    f.describe();
    f.component->Loaded();
    auto *panel = new QWidget(f.form.get());
    f.image->setParent(panel);
    EXPECT_EQ(f.component->ImageLinked(), f.image);
}

TEST(SkinShape, ReadingAPixelOfAnAnimationFailsAndChangesNoKey) {
    ShapedForm f;
    f.describe();
    f.component->Loaded();
    f.component->setTransparentColor(255);
    QMovie movie;
    f.image->setAnimation(&movie);

    TCoord *xy = f.component->XYTransparentColor();
    xy->setX(1);
    try {
        xy->setY(1);
        FAIL() << "no error";
    } catch (const EInvalidGraphicOperation &e) {
        EXPECT_STREQ(e.what(), "Une image ne peut être modifiée que si elle contient un bitmap");
    }
    EXPECT_EQ(xy->Y(), 1);
    EXPECT_EQ(f.component->TransparentColor(), 255);
    EXPECT_EQ(f.rgb(), (QList<int>{255, 0, 0}));

    PictureImage other(f.form.get());
    other.setAnimation(&movie);
    EXPECT_THROW(f.component->setImageLinked(&other), EInvalidGraphicOperation);
    EXPECT_EQ(f.component->ImageLinked(), &other);
    EXPECT_EQ(f.component->TransparentColor(), 255);

    // Shaping an animation keeps it and shows the whole window.
    f.component->RebuildRegion();
    EXPECT_TRUE(f.mask().isEmpty());
    EXPECT_TRUE(other.hasGraphic());
}

TEST(SkinShape, LinkingAnImageWithoutPictureKeysItsBlankBitmap) {
    ShapedForm f;
    f.describe();
    f.component->Loaded();
    PictureImage blank(f.form.get());
    blank.resize(8, 8);
    f.component->setImageLinked(&blank);
    EXPECT_EQ(f.component->TransparentColor(), Colour::fromRgb(255, 255, 255));
    EXPECT_EQ(f.rgb(), (QList<int>{255, 255, 255}));
    // Its blank picture is all key: the whole window shows rather than nothing.
    EXPECT_TRUE(f.mask().isEmpty());
}

TEST(SkinShape, AComponentMadeByCodeNeverReshapes) {
    ShapedForm f(TSkTranspaMoveForm::Creation::ByCode);
    QSignalSpy rebuilds(f.component, &TSkTranspaMoveForm::regionRebuilt);
    f.component->setTransparent(true);
    f.component->setImageLinked(f.image);
    // The skin's top-left pixel still becomes the key.
    EXPECT_EQ(f.component->TransparentColor(), Colour::fromPixel(kBlue));
    EXPECT_EQ(f.rgb(), (QList<int>{0, 0, 255}));
    f.component->setTransparentColor(255);
    f.component->RGVTransparentColor()->setG(7);
    f.component->XYTransparentColor()->setX(1);
    f.component->XYTransparentColor()->setY(1);
    EXPECT_EQ(rebuilds.count(), 0);
    EXPECT_TRUE(f.mask().isEmpty());
}
