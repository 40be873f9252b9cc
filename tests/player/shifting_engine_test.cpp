// The engine that keeps the channel watched, around a live engine the test plays and a store in
// memory: what becomes of the live pictures, sound and failures through a pause, and what the user
// is told when nothing can be kept.
#include "FakePlayerEngine.h"
#include "MemoryStorage.h"
#include "support/TsPackets.h"

#include "player/timeshift/ShiftControl.h"
#include "player/timeshift/ShiftStore.h"
#include "player/timeshift/ShiftingEngine.h"

#include <QFile>
#include <QTemporaryDir>
#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

class ShiftingEngineTest : public ::testing::Test {
protected:
    // The store opens unless why is given.
    void make(const QString &why = QString()) {
        gst_init(nullptr, nullptr);
        auto fake = std::make_unique<FakePlayerEngine>();
        live = fake.get();
        engine = std::make_unique<ShiftingEngine>(std::move(fake), [why](QString *fault) -> std::shared_ptr<ShiftStore> {
            if (!why.isEmpty()) {
                *fault = why;
                return nullptr;
            }
            return std::make_shared<ShiftStore>(
                std::make_unique<MemoryStorage>(std::make_shared<MemoryStorage::Shared>()), ShiftStore::Limits(),
                [] { return qint64(-1); });
        });
        engine->setVolume(50);
        QObject::connect(engine.get(), &PlayerEngine::frameReady, [this] { told << "picture"; });
        QObject::connect(engine.get(), &PlayerEngine::failed,
                         [this](PlayerFailure failure, const QString &) { told << QStringLiteral("failed %1").arg(int(failure)); });
        QObject::connect(engine.get(), &PlayerEngine::held, [this](bool held) { told << QStringLiteral("held %1").arg(held); });
        ShiftControl *shift = engine->shiftControl();
        QObject::connect(shift, &ShiftControl::unavailable, [this](const QString &why) { told << "unavailable " + why; });
        QObject::connect(shift, &ShiftControl::wentLive, [this] { told << "live"; });
    }
    void play(const char *address) {
        PlayTarget target;
        target.address = QString::fromLatin1(address);
        engine->play(target);
    }
    // A second of a channel, a key frame at its start, arrived at second s.
    void receive(int second) {
        QByteArray stream = tspackets::pat() + tspackets::pmt(tspackets::kH264Video, tspackets::kMpegAudio);
        for (int i = 0; i < 25; ++i)
            stream += tspackets::picture(tspackets::kH264Video, i == 0) + tspackets::soundFrame();
        live->sendPackets(stream, StreamArrival::nowNs() - qint64(10 - second) * 1'000'000'000);
    }

    FakePlayerEngine *live = nullptr;
    std::unique_ptr<ShiftingEngine> engine;
    QStringList told;
};

TEST_F(ShiftingEngineTest, WhenNothingCanBeKeptAPauseOrAMoveSaysWhyAndLiveGoesOn) {
    make(QStringLiteral("espace disque insuffisant"));
    play("rtsp://box/201");
    engine->shiftControl()->togglePause();
    engine->shiftControl()->seekBy(-10000);
    live->sendFrame(Qt::green);
    EXPECT_EQ(told, (QStringList{"unavailable espace disque insuffisant", "unavailable espace disque insuffisant",
                                 "picture"}));
    EXPECT_FALSE(engine->shiftControl()->position().paused);
}

TEST_F(ShiftingEngineTest, ACacheFolderThatCannotBeMadeIsNamedAsWhyNothingPauses) {
    QTemporaryDir home;
    QFile blocking(home.filePath("cache"));
    ASSERT_TRUE(blocking.open(QIODevice::WriteOnly));
    qputenv("XDG_CACHE_HOME", blocking.fileName().toUtf8() + "/halcyon");
    gst_init(nullptr, nullptr);
    auto fake = std::make_unique<FakePlayerEngine>();
    ShiftingEngine engine(std::move(fake), ShiftingEngine::cacheStore());
    QStringList said;
    QObject::connect(engine.shiftControl(), &ShiftControl::unavailable, [&](const QString &why) { said << why; });
    PlayTarget target;
    target.address = QStringLiteral("rtsp://box/201");
    engine.play(target);
    engine.shiftControl()->pause();
    qunsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(said, QStringList{"dossier de cache introuvable"});
}

TEST_F(ShiftingEngineTest, APauseHoldsThePictureAndSilencesLiveAndAFailureMeanwhileWaitsForLiveOrIsForgotten) {
    make();
    play("rtsp://box/201");
    for (int second = 0; second < 5; ++second)
        receive(second);
    EXPECT_GE(engine->shiftControl()->position().keptMs, 4000);

    engine->shiftControl()->pause();
    live->sendFrame(Qt::green);
    live->sendFailure(PlayerFailure::StreamInterrupted);
    EXPECT_EQ(told, QStringList{"held 1"}) << "a picture or a failure came through the pause";
    EXPECT_TRUE(live->calls.contains("volume 0")) << "live still heard";
    EXPECT_TRUE(engine->shiftControl()->position().paused);

    // End: live again, heard, and its failure told then, for the usual retry.
    engine->shiftControl()->toLive();
    EXPECT_EQ(told, (QStringList{"held 1", "held 0", "live", "failed 4"}));
    EXPECT_EQ(live->calls.last(), "volume 50");

    // A change of channel over a pause forgets what failed on the channel left.
    told.clear();
    engine->shiftControl()->pause();
    live->sendFailure(PlayerFailure::StreamInterrupted);
    play("rtsp://box/202");
    live->sendFrame(Qt::green);
    EXPECT_EQ(told, (QStringList{"held 1", "held 0", "picture"}));
    EXPECT_EQ(engine->shiftControl()->position().keptMs, 0) << "the channel left is still kept";
    // Not received from the network: nothing to keep, so nothing pauses.
    play("/films/film.ts");
    engine->shiftControl()->pause();
    EXPECT_EQ(told.last(), "unavailable lecture d'un fichier");
}

} // namespace
