#include "player/OverlayPainter.h"
#include "player/PictureOverlay.h"
#include "player/VolumeSteps.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

TEST(VolumeSteps, StepsByFiveOnTheGridBetweenSilenceAndTheStreamsOwnLevel) {
    const struct {
        int volume, steps, expected;
    } cases[] = {
        {50, 1, 55},  {50, -1, 45}, {52, 1, 55},   {52, -1, 50},  {0, -1, 0},     {5, -2, 0},
        {95, 1, 100}, {98, 1, 100}, {100, 1, 100}, {150, 1, 150}, {150, -1, 145}, {50, 3, 65},
    };
    for (const auto &c : cases)
        EXPECT_EQ(VolumeSteps::stepped(c.volume, c.steps), c.expected) << c.volume << " " << c.steps;
}

TEST(VolumeSteps, TheIndicatorSaysTheVolumeOrThatTheSoundIsOff) {
    EXPECT_EQ(VolumeSteps::indicatorText(55, false), QStringLiteral("Volume 55 %"));
    EXPECT_EQ(VolumeSteps::indicatorText(0, false), QStringLiteral("Volume 0 %"));
    EXPECT_EQ(VolumeSteps::indicatorText(55, true), QStringLiteral("Son coupé"));
}

TEST(PictureOverlay, TheStreamsFactsStayFiveSecondsBesideTheBanner) {
    PictureOverlay overlay;
    overlay.showBanner({"201", "Chaine 201", {}}, 1000);
    overlay.showFacts({"Informations sur le flux", "Débit : 2 Mbit/s"}, 2000);
    EXPECT_EQ(overlay.nextExpiryMs(2000), 5000) << "the banner goes first";
    EXPECT_EQ(overlay.nextExpiryMs(5000), 7000);
    EXPECT_EQ(overlay.facts(6999).size(), 2);
    EXPECT_TRUE(overlay.facts(7000).isEmpty());
    EXPECT_EQ(overlay.nextExpiryMs(7000), -1);
}

TEST(PictureOverlay, TheBannerStaysFourSecondsAndANoticeTwo) {
    PictureOverlay overlay;
    EXPECT_FALSE(overlay.banner(0));
    EXPECT_EQ(overlay.nextExpiryMs(0), -1);
    overlay.showBanner({"201", "Chaine 201", {}, {}}, 1000);
    overlay.showNotice("Volume 55 %", 2000);
    EXPECT_EQ(overlay.nextExpiryMs(2000), 4000);
    EXPECT_EQ(overlay.notice(3999), QStringLiteral("Volume 55 %"));
    EXPECT_TRUE(overlay.notice(4000).isEmpty());
    EXPECT_EQ(overlay.nextExpiryMs(4000), 5000);
    ASSERT_TRUE(overlay.banner(4999));
    EXPECT_EQ(overlay.banner(4999)->name, QStringLiteral("Chaine 201"));
    EXPECT_FALSE(overlay.banner(5000));
    EXPECT_EQ(overlay.nextExpiryMs(5000), -1);
}

TEST(PictureOverlay, AnotherBannerOrNoticeReplacesTheOneShownAndStartsItsTimeAgain) {
    PictureOverlay overlay;
    overlay.showBanner({"201", "A", {}, {}}, 0);
    overlay.showBanner({"202", "B", {}, {}}, 3000);
    ASSERT_TRUE(overlay.banner(6000));
    EXPECT_EQ(overlay.banner(6000)->number, QStringLiteral("202"));
    overlay.showNotice("Volume 55 %", 0);
    overlay.showNotice("Son coupé", 1500);
    EXPECT_EQ(overlay.notice(3000), QStringLiteral("Son coupé"));
    overlay.setTypedDigits("12");
    EXPECT_EQ(overlay.typedDigits(), QStringLiteral("12"));
    EXPECT_EQ(overlay.nextExpiryMs(7000), -1) << "typed digits stay until cleared";
}

// Whether anything was drawn inside box on a picture of one colour.
bool drawnInside(const QImage &image, const QRect &box, QRgb background) {
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (image.pixel(x, y) != background)
                return true;
    return false;
}

TEST(OverlayPainter, DrawsEachElementInItsPlaceAndNothingOverTheLineToKeepClear) {
    const QRect area(0, 0, 537, 329);
    const QRgb background = qRgb(40, 90, 160);
    const OverlayPainter::Shown shown{PictureOverlay::Banner{"201", "Chaine 201", {}, {}}, "Volume 55 %",
                                      "20"};
    const auto paint = [&](const QRect &keepClear) {
        QImage image(area.size(), QImage::Format_RGB32);
        image.fill(background);
        QPainter painter(&image);
        OverlayPainter::paint(painter, area, keepClear, shown);
        return image;
    };
    const QImage all = paint(QRect());
    for (const QRect &box : {OverlayPainter::bannerRect(area), OverlayPainter::noticeRect(area),
                             OverlayPainter::digitsRect(area)})
        EXPECT_TRUE(drawnInside(all, box, background));
    // Outside the three places the picture is untouched.
    EXPECT_FALSE(drawnInside(all, QRect(0, 120, 537, 60), background));

    const QRect failureLine = OverlayPainter::bannerRect(area).adjusted(100, 10, -100, -10);
    const QImage cleared = paint(failureLine);
    EXPECT_FALSE(drawnInside(cleared, OverlayPainter::bannerRect(area), background));
    EXPECT_TRUE(drawnInside(cleared, OverlayPainter::noticeRect(area), background));
}

TEST(OverlayPainter, TheTimeBehindLiveSitsAboveTheBannerWithItsBarAndNeverOverTheLineToKeepClear) {
    const QRect area(0, 0, 537, 329);
    const QRgb background = qRgb(40, 90, 160);
    OverlayPainter::Shown shown;
    shown.banner = PictureOverlay::Banner{"201", "Chaine 201", {}, {}};
    shown.shiftText = QStringLiteral("Différé −00:42");
    shown.shiftBar = 0.25;
    const auto paint = [&](const QRect &keepClear) {
        QImage image(area.size(), QImage::Format_RGB32);
        image.fill(background);
        QPainter painter(&image);
        OverlayPainter::paint(painter, area, keepClear, shown);
        return image;
    };
    const QRect box = OverlayPainter::shiftRect(area, true, OverlayPainter::bannerRect(area));
    ASSERT_FALSE(box.intersects(OverlayPainter::bannerRect(area)));
    const QImage all = paint(QRect());
    EXPECT_TRUE(drawnInside(all, box, background));
    // The bar runs along the box's foot: played up to a quarter, the kept rest after.
    const int barY = box.bottom() - box.height() / 8;
    const auto greenAt = [&](double fraction) {
        const QRgb pixel = all.pixel(box.left() + int(box.width() * fraction), barY);
        return qGreen(pixel) > 200 && qRed(pixel) < 80;
    };
    EXPECT_TRUE(greenAt(0.15));
    EXPECT_FALSE(greenAt(0.6));

    const QImage cleared = paint(box.adjusted(150, 5, -150, -5));
    EXPECT_FALSE(drawnInside(cleared, box, background));
    EXPECT_TRUE(drawnInside(cleared, OverlayPainter::bannerRect(area), background));
}

} // namespace
