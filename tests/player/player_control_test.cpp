#include "FakePlayerEngine.h"
#include "QtPrinting.h"
#include "support/Wait.h"

#include "player/EOleException.h"
#include "player/TVLCPlugin.h"

#include <gtest/gtest.h>

namespace {

const QString kChannel = "rtsp://127.0.0.1:8554/orvantv/201";
const QString kOther = "rtsp://127.0.0.1:8554/orvantv/202";

class PlayerControl : public ::testing::Test {
protected:
    PlayerControl() {
        auto engine = std::make_unique<FakePlayerEngine>();
        fake = engine.get();
        control = std::make_unique<TVLCPlugin>(std::move(engine));
        control->resize(537, 329);
        control->setSupervisionTiming(
            {.frameTimeoutMs = 150, .firstFrameTimeoutMs = 300, .retryIntervalMs = 60});
        fake->calls.clear();
    }

    void tune(const QString &address) {
        control->stop();
        control->addTarget(address, {"nooverlay"}, 1, 0);
        control->play();
    }

    QRgb pixelAt(int x, int y) { return control->grab().toImage().pixel(x, y); }

    FakePlayerEngine *fake = nullptr;
    std::unique_ptr<TVLCPlugin> control;
};

TEST_F(PlayerControl, StartsWithTheStoredSettings) {
    auto owned = std::make_unique<FakePlayerEngine>();
    FakePlayerEngine *seen = owned.get();
    TVLCPlugin fresh(std::move(owned));
    EXPECT_EQ(seen->calls, QStringList({"volume 50"}));
    EXPECT_TRUE(fresh.property("AutoPlay").toBool());
    EXPECT_FALSE(fresh.property("AutoLoop").toBool());
    EXPECT_TRUE(fresh.property("MRL").toString().isEmpty());
}

TEST_F(PlayerControl, PlayStartsTheNewestTargetAndShowsThatItConnects) {
    control->addTarget(kChannel, {"nooverlay"}, 1, 0);
    control->addTarget(kOther, {":network-caching=300"}, 1, 0);
    EXPECT_TRUE(fake->calls.isEmpty());
    control->play();
    EXPECT_EQ(fake->calls, QStringList({"play " + kOther}));
    EXPECT_EQ(fake->lastTarget.options.networkCachingMs, 300);
    EXPECT_EQ(control->statusText(), "Connexion en cours…");
}

TEST_F(PlayerControl, ManyTunesKeepTheQueueSmall) {
    for (int i = 0; i < 500; ++i)
        tune(i % 2 ? kChannel : kOther);
    EXPECT_LE(control->queue().size(), PlayQueue::kCapacity);
    EXPECT_EQ(fake->lastTarget.address, kChannel);
}

TEST_F(PlayerControl, TheEngineIsToldWhereEachTuneCameFromAsTheSequenceTellsIt) {
    // The start-up form: no stop first.
    control->addTarget(kChannel, {"nooverlay"}, 1, 0);
    control->play();
    EXPECT_EQ(fake->lastTarget.origin, TuneOrigin::StartUp);
    // A refused target ends its tune: the next one, with no stop of its own, is not a row's.
    control->stop();
    EXPECT_THROW(control->addTarget(kOther, {"ttl=beaucoup"}, 1, 0), EOleException);
    control->addTarget(kOther, {"nooverlay"}, 1, 0);
    control->play();
    EXPECT_EQ(fake->lastTarget.origin, TuneOrigin::StartUp);
    // The channel form: a stop first.
    tune(kOther);
    EXPECT_EQ(fake->lastTarget.origin, TuneOrigin::Row);
    // Played again without a new target, it keeps where it came from.
    control->play();
    EXPECT_EQ(fake->lastTarget.origin, TuneOrigin::Row);
    EXPECT_EQ(fake->playCount(), 4);
}

TEST_F(PlayerControl, BadCallsRaiseTheAutomationExceptionAndQueueNothing) {
    struct Case {
        QString address;
        QStringList options;
        std::uint32_t code;
        QString message;
    };
    const QList<Case> cases = {
        {"", {"nooverlay"}, EOleException::kInvalidArgument, "Adresse du flux vide"},
        {"  ", {"nooverlay"}, EOleException::kInvalidArgument, "Adresse du flux vide"},
        {kChannel,
         {"network-caching=beaucoup"},
         EOleException::kInvalidArgument,
         "Option « network-caching=beaucoup » mal formée : « beaucoup » n'est pas un nombre entre 0 et "
         "60000"},
        {kChannel,
         {"sout=#transcode{vcodec=h264,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,url=/tmp/"
          "x.mpg,access=file}"},
         EOleException::kInvalidArgument,
         "Codec vidéo « h264 » non pris en charge (seul mp2v l'est)"},
    };
    for (const Case &c : cases) {
        try {
            control->addTarget(c.address, c.options, 1, 0);
            ADD_FAILURE() << "accepted " << c.address;
        } catch (const EOleException &e) {
            EXPECT_EQ(e.code(), c.code);
            EXPECT_EQ(QString::fromUtf8(e.what()), c.message);
        }
    }
    EXPECT_EQ(control->queue().size(), 0);
    control->play();
    EXPECT_TRUE(fake->calls.isEmpty());
}

TEST_F(PlayerControl, PaintsThePictureWithItsShapeKeptBetweenBlackBars) {
    tune(kChannel);
    fake->sendFrame(QColor(255, 128, 0));
    EXPECT_TRUE(control->statusText().isEmpty());
    // 720 x 576 square pixels in 537 x 329: 411 wide, bars of 63 on each side.
    EXPECT_EQ(pixelAt(268, 164), qRgb(255, 128, 0));
    EXPECT_EQ(pixelAt(70, 5), qRgb(255, 128, 0));
    EXPECT_EQ(pixelAt(60, 164), qRgb(0, 0, 0));
    EXPECT_EQ(pixelAt(476, 164), qRgb(0, 0, 0));

    // Wide pixels make a wide picture: 720 x 576 at 16:11 fills the width.
    fake->sendFrame(QColor(0, 255, 0), QSize(720, 576), 16.0 / 11.0);
    EXPECT_EQ(pixelAt(3, 164), qRgb(0, 255, 0));
    EXPECT_EQ(pixelAt(268, 2), qRgb(0, 0, 0));
}

TEST_F(PlayerControl, StopBlanksThePictureAndIgnoresWhatTheOldStreamStillSends) {
    tune(kChannel);
    fake->sendFrame(Qt::green);
    control->stop();
    EXPECT_EQ(fake->calls.last(), "stop");
    EXPECT_EQ(pixelAt(268, 164), qRgb(0, 0, 0));
    fake->sendFrame(Qt::green);
    fake->sendFailure(PlayerFailure::BoxUnreachable, "127.0.0.1:8554");
    EXPECT_EQ(pixelAt(268, 164), qRgb(0, 0, 0));
    EXPECT_TRUE(control->statusText().isEmpty());
}

TEST_F(PlayerControl, EachFailureIsNamedInFrenchThenRetriedUntilThePictureComesBack) {
    struct Case {
        PlayerFailure failure;
        QString detail;
        QString text;
    };
    const QList<Case> cases = {
        {PlayerFailure::BoxUnreachable, "127.0.0.1:8554", "Décodeur injoignable (127.0.0.1:8554)"},
        {PlayerFailure::HostUnknown, "decodeur.home.arpa", "Nom d'hôte inconnu : decodeur.home.arpa"},
        {PlayerFailure::ChannelNotFound, "", "Chaîne introuvable sur le décodeur"},
        {PlayerFailure::StreamInterrupted, "", "Flux interrompu"},
        {PlayerFailure::Unplayable, "format non pris en charge",
         "Lecture impossible : format non pris en charge"},
        {PlayerFailure::BoxBusy, "", "Décodeur occupé"},
    };
    for (const Case &c : cases) {
        tune(kChannel);
        fake->calls.clear();
        fake->sendFailure(c.failure, c.detail);
        EXPECT_EQ(control->statusText(), c.text);
        EXPECT_EQ(fake->calls, QStringList({"stop"}));
        // The retry keeps the cause on screen rather than flashing "connecting".
        ASSERT_TRUE(waitUntil([&] { return fake->playCount() == 1; }, 5000)) << c.text;
        EXPECT_EQ(control->statusText(), c.text);
        fake->sendFrame(Qt::green);
        EXPECT_TRUE(control->statusText().isEmpty());
    }
}

TEST_F(PlayerControl, AnotherTuneEndsTheRetries) {
    tune(kChannel);
    fake->sendFailure(PlayerFailure::ChannelNotFound);
    tune(kOther);
    fake->sendFrame(Qt::green);
    fake->calls.clear();
    // Long enough for several retries of the old channel, had they gone on.
    waitUntil([] { return false; }, 250);
    EXPECT_FALSE(fake->calls.contains("play " + kChannel));
}

TEST_F(PlayerControl, AStreamThatStopsSendingPicturesIsNoticedAndRetried) {
    tune(kChannel);
    fake->sendFrame(Qt::green);
    fake->calls.clear();
    ASSERT_TRUE(waitUntil([&] { return control->statusText() == "Flux interrompu"; }, 5000));
    EXPECT_EQ(fake->calls.first(), "stop");
    EXPECT_EQ(pixelAt(268, 20), qRgb(0, 0, 0));
    ASSERT_TRUE(waitUntil([&] { return fake->playCount() >= 1; }, 5000));
    fake->sendFrame(Qt::blue);
    EXPECT_TRUE(control->statusText().isEmpty());
    EXPECT_EQ(pixelAt(268, 164), qRgb(0, 0, 255));
}

TEST_F(PlayerControl, AStreamThatNeverShowsAPictureIsReportedButASilentRetryKeepsTheFirstCause) {
    tune(kChannel);
    ASSERT_TRUE(waitUntil([&] { return control->statusText() == "Le décodeur ne répond pas"; }, 5000));

    tune(kChannel);
    fake->sendFrame(Qt::green);
    ASSERT_TRUE(waitUntil([&] { return control->statusText() == "Flux interrompu"; }, 5000));
    // Retries against a box that accepts the call but sends nothing.
    ASSERT_TRUE(waitUntil([&] { return fake->playCount() >= 4; }, 10000));
    EXPECT_EQ(control->statusText(), "Flux interrompu");
}

TEST_F(PlayerControl, AStillIsShownButOnlyLivePicturesCountAsPlaying) {
    // A still with nothing after it: the first picture's timeout, not the stall watchdog, ends it.
    tune(kChannel);
    fake->sendStill(Qt::red);
    EXPECT_EQ(pixelAt(268, 164), qRgb(255, 0, 0));
    EXPECT_TRUE(control->statusText().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !control->statusText().isEmpty(); }, 5000));
    EXPECT_EQ(control->statusText(), "Le décodeur ne répond pas");

    // Live pictures after the still do start the stall watchdog.
    tune(kChannel);
    fake->sendStill(Qt::red);
    fake->sendFrame(Qt::green);
    ASSERT_TRUE(waitUntil([&] { return !control->statusText().isEmpty(); }, 5000));
    EXPECT_EQ(control->statusText(), "Flux interrompu");

    // Tuned anew: waiting for a first picture again, not for the next one.
    tune(kChannel);
    fake->sendFrame(Qt::green);
    emit fake->restarted();
    ASSERT_TRUE(waitUntil([&] { return !control->statusText().isEmpty(); }, 5000));
    EXPECT_EQ(control->statusText(), "Le décodeur ne répond pas");
}

TEST_F(PlayerControl, ALiveStreamItsServerEndsIsTunedAgainAtOnceAndOnlyAnEndBeforeAPictureInterrupts) {
    tune(kChannel);
    fake->sendFrame(Qt::green);
    fake->calls.clear();
    fake->sendEndOfStream();
    EXPECT_EQ(fake->calls, QStringList({"play " + kChannel}));
    EXPECT_TRUE(control->statusText().isEmpty());
    // Ended again before the tune anew showed anything: the server drops it.
    fake->sendEndOfStream();
    EXPECT_EQ(control->statusText(), "Flux interrompu");

    control->setAutoLoop(true);
    tune(kChannel);
    fake->sendFrame(Qt::green);
    fake->calls.clear();
    fake->sendEndOfStream();
    EXPECT_EQ(fake->calls, QStringList({"play " + kChannel}));
    EXPECT_EQ(control->property("AutoLoop").toBool(), true);
}

TEST_F(PlayerControl, AFileThatEndsStopsQuietly) {
    tune("/tmp/enregistrement.mpg");
    fake->sendFrame(Qt::green);
    fake->sendEndOfStream();
    EXPECT_TRUE(control->statusText().isEmpty());
    EXPECT_EQ(fake->calls.last(), "stop");
    waitUntil([] { return false; }, 150);
    EXPECT_EQ(fake->playCount(), 1);
}

TEST_F(PlayerControl, AnMrlSetWithAutoPlayPlaysAtOnce) {
    control->setMrl(kOther);
    EXPECT_EQ(fake->calls, QStringList({"play " + kOther}));
    control->setAutoPlay(false);
    control->setMrl(kChannel);
    EXPECT_EQ(fake->playCount(), 1);
}

TEST_F(PlayerControl, MutingSilencesTheSoundAndUnmutingBringsBackTheVolumeSet) {
    int changes = 0;
    QObject::connect(control.get(), &TVLCPlugin::volumeChanged, [&] { ++changes; });
    control->setVolume(70);
    control->setMuted(true);
    EXPECT_TRUE(control->isMuted());
    EXPECT_EQ(control->volume(), 70);
    tune(kOther);
    control->setMuted(false);
    EXPECT_EQ(fake->calls, QStringList({"volume 70", "volume 0", "play " + kOther, "volume 70"}));
    EXPECT_EQ(changes, 3);
    // Nothing changes, nothing is told.
    control->setVolume(70);
    control->setMuted(false);
    EXPECT_EQ(changes, 3);
}

} // namespace
