#include "QtPrinting.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"
#include "player/engine/GstPlayerEngine.h"

#include <gtest/gtest.h>

// The real GStreamer player against the simulated box on loopback.
namespace {

class GstPlayer : public ::testing::Test {
protected:
    void SetUp() override {
        SetTopBox::Options options;
        options.channels = QList<int>() << 201 << 202;
        options.unserved = QList<int>() << 299;
        ASSERT_TRUE(box.start(options)) << box.error();
        control = std::make_unique<TVLCPlugin>();
        control->resize(537, 329);
        control->show();
    }

    void tune(const QByteArray &address) {
        control->stop();
        control->addTarget(QString::fromLatin1(address), {"nooverlay"}, 1, 0);
        control->play();
    }

    QRgb centre() { return averageColour(control->grab().toImage(), QRect(200, 20, 137, 40)); }
    bool shows(int channel) { return control->statusText().isEmpty() && looksLikeChannel(centre(), channel); }
    bool says(const QString &text) { return control->statusText() == text; }

    SetTopBox box;
    std::unique_ptr<TVLCPlugin> control;
};

TEST_F(GstPlayer, PlaysAChannelAndZapsToAnother) {
    tune(box.address(201));
    EXPECT_EQ(control->statusText(), "Connexion en cours…");
    ASSERT_TRUE(waitUntil([&] { return shows(201); }, 15000)) << control->statusText();
    tune(box.address(202));
    ASSERT_TRUE(waitUntil([&] { return shows(202); }, 15000)) << control->statusText();
    // Black bars beside the 5:4 picture.
    EXPECT_TRUE(colourNear(control->grab().toImage().pixel(20, 164), qRgb(0, 0, 0), 8));
}

TEST_F(GstPlayer, PipelinesLeftByZappingAreFreed) {
    for (int i = 0; i < 8; ++i) {
        tune(box.address(201 + i % 2));
        waitUntil([] { return false; }, 120);
    }
    ASSERT_TRUE(waitUntil([&] { return shows(202); }, 15000)) << control->statusText();
    control->stop();
    control.reset();
    EXPECT_TRUE(waitUntil([] { return GstPlayerEngine::livePipelines() == 0; }, 5000))
        << GstPlayerEngine::livePipelines() << " pipelines were never freed";
}

TEST_F(GstPlayer, NamesTheCauseWhenTheChannelOrTheBoxIsMissing) {
    tune(box.address(299));
    EXPECT_TRUE(waitUntil([&] { return says("Chaîne introuvable sur le décodeur"); }, 15000))
        << control->statusText();

    const QByteArray address = box.address(201);
    const int port = box.port();
    box.stop();
    tune(address);
    EXPECT_TRUE(
        waitUntil([&] { return says(QString("Décodeur injoignable (127.0.0.1:%1)").arg(port)); }, 15000))
        << control->statusText();
}

TEST_F(GstPlayer, ABoxWithNoSessionLeftIsToldAsBusyUntilTheOtherViewerLeaves) {
    ASSERT_TRUE(box.setMaxSessions(1));
    tune(box.address(201));
    ASSERT_TRUE(waitUntil([&] { return shows(201); }, 15000)) << control->statusText();

    TVLCPlugin otherTv;
    otherTv.resize(537, 329);
    otherTv.addTarget(QString::fromLatin1(box.address(202)), {"nooverlay"}, 1, 0);
    otherTv.play();
    EXPECT_TRUE(waitUntil([&] { return otherTv.statusText() == "Décodeur occupé"; }, 15000))
        << otherTv.statusText();

    control->stop();
    EXPECT_TRUE(waitUntil([&] { return otherTv.statusText().isEmpty(); }, 15000)) << otherTv.statusText();
}

TEST_F(GstPlayer, AFrozenStreamIsNoticedAndComesBackAfterTheBoxResumes) {
    tune(box.address(201));
    ASSERT_TRUE(waitUntil([&] { return shows(201); }, 15000)) << control->statusText();
    ASSERT_TRUE(box.freeze());
    EXPECT_TRUE(waitUntil([&] { return says("Flux interrompu"); }, 5000)) << control->statusText();
    ASSERT_TRUE(box.resume());
    EXPECT_TRUE(waitUntil([&] { return shows(201); }, 20000)) << control->statusText();
}

TEST_F(GstPlayer, ALostBoxIsRetriedUntilItServesAgain) {
    tune(box.address(202));
    ASSERT_TRUE(waitUntil([&] { return shows(202); }, 15000)) << control->statusText();
    ASSERT_TRUE(box.stopServing());
    EXPECT_TRUE(waitUntil([&] { return !control->statusText().isEmpty(); }, 6000));
    ASSERT_TRUE(box.serve());
    EXPECT_TRUE(waitUntil([&] { return shows(202); }, 20000)) << control->statusText();
}

} // namespace
