// The player control carrying out a recording chain: recorded, not shown; ended by stop or the
// next tune; its progress and its failures told in the picture's line.
#include "FakePlayerEngine.h"
#include "QtPrinting.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"
#include "player/recording/RecordingSession.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

const QString kChannel = "rtsp://127.0.0.1:8554/orvantv/201";
const QString kOther = "rtsp://127.0.0.1:8554/orvantv/202";
const QString kChain = ":sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,url=/enr/"
                       "201-20261207-101500.mpg,access=file}";
const QString kName = "201-20261207-101500.mpg";

// What the recorders were asked, kept apart from them: a finished one is deleted on another thread.
struct RecorderLog {
    QStringList calls;
    SoutChain lastChain;
    std::atomic<int> deleted{0};
};

class FakeRecordingEngine : public RecordingEngine {
public:
    explicit FakeRecordingEngine(std::shared_ptr<RecorderLog> log) : m_log(std::move(log)) {}
    ~FakeRecordingEngine() override { ++m_log->deleted; }

    void start(const QString &inputUrl, const SoutChain &chain) override {
        m_log->calls.append("start " + inputUrl);
        m_log->lastChain = chain;
        m_path = chain.url;
    }
    void stop() override { m_log->calls.append("stop " + m_path); }
    QString outputPath() const override { return m_path; }

private:
    std::shared_ptr<RecorderLog> m_log;
    QString m_path;
};

class RecordingControl : public ::testing::Test {
protected:
    RecordingControl() {
        auto engine = std::make_unique<FakePlayerEngine>();
        fake = engine.get();
        control = std::make_unique<TVLCPlugin>(std::move(engine), [this] {
            auto recorder = std::make_unique<FakeRecordingEngine>(log);
            recorders.append(recorder.get());
            return recorder;
        });
        control->resize(537, 329);
        fake->calls.clear();
    }

    void tune(const QString &address) {
        control->stop();
        control->addTarget(address, {"nooverlay"}, 1, 0);
        control->play();
    }

    // As the record command does it: no stop first, the chain then "ttl=1".
    void record(const QString &address, const QString &chain = kChain) {
        control->addTarget(address, {chain, "ttl=1"}, 1, 0);
        control->play();
    }

    // Only recorders that have not reported finished() may be touched: the others may be gone.
    RecordingEngine *recorder(int i) const { return recorders.at(i); }

    QRgb pixelAt(int x, int y) { return control->grab().toImage().pixel(x, y); }

    std::shared_ptr<RecorderLog> log = std::make_shared<RecorderLog>();
    QList<RecordingEngine *> recorders;
    FakePlayerEngine *fake = nullptr;
    std::unique_ptr<TVLCPlugin> control;
};

TEST_F(RecordingControl, ARecordingTargetIsWrittenNotShown) {
    tune(kChannel);
    fake->sendFrame(Qt::green);
    fake->calls.clear();

    record(kOther);
    EXPECT_EQ(fake->calls, QStringList({"stop"})) << "the picture stops; the engine plays nothing";
    EXPECT_EQ(log->calls, QStringList({"start " + kOther}));
    EXPECT_EQ(log->lastChain.url, "/enr/201-20261207-101500.mpg");
    EXPECT_EQ(log->lastChain.videoBitrateKbps, 3072);
    EXPECT_EQ(log->lastChain.audioBitrateKbps, 192);
    EXPECT_EQ(log->lastChain.mux, "ps");
    EXPECT_TRUE(control->isRecording());
    EXPECT_EQ(pixelAt(268, 200), qRgb(0, 0, 0)) << "the old channel's picture is left on screen";
    EXPECT_EQ(control->statusText(), "Enregistrement : " + kName + " — 00:00\u00a0—\u00a00,0\u00a0Mo");

    // Whatever the old stream still sends is not shown over the recording's line.
    fake->sendFrame(Qt::green);
    EXPECT_EQ(pixelAt(268, 200), qRgb(0, 0, 0));

    QSignalSpy progress(control.get(), &TVLCPlugin::recordingProgress);
    emit recorder(0)->progress(5400, 2'149'000);
    EXPECT_EQ(control->statusText(), "Enregistrement : " + kName + " — 00:05\u00a0—\u00a02,1\u00a0Mo");
    ASSERT_EQ(progress.size(), 1);
    EXPECT_EQ(progress.at(0).at(0).toLongLong(), 5400);
}

TEST_F(RecordingControl, NoNeighbourIsKeptWarmWhileARecordingRuns) {
    tune(kChannel);
    control->setNeighbours({kOther});
    EXPECT_EQ(fake->neighbours, QStringList({kOther}));
    record(kOther);
    EXPECT_TRUE(fake->neighbours.isEmpty()) << "the recording's own session comes first";
    control->setNeighbours({kChannel});
    EXPECT_TRUE(fake->neighbours.isEmpty());
    EXPECT_EQ(log->calls, QStringList({"start " + kOther})) << "the recording is not handed to the player";
}

TEST_F(RecordingControl, StopAndTheNextTuneEndTheRecordingWithoutANoteOfSuccess) {
    record(kChannel);
    control->stop();
    EXPECT_EQ(log->calls, QStringList({"start " + kChannel, "stop /enr/" + kName}));
    EXPECT_FALSE(control->isRecording());
    EXPECT_TRUE(control->statusText().isEmpty());

    record(kChannel);
    tune(kOther);
    EXPECT_EQ(log->calls.last(), "stop /enr/" + kName);
    EXPECT_EQ(fake->calls.last(), "play " + kOther);
    // Late news from the stopped recording changes nothing on screen.
    QSignalSpy progress(control.get(), &TVLCPlugin::recordingProgress);
    emit recorder(1)->progress(9000, 4'000'000);
    EXPECT_EQ(control->statusText(), "Connexion en cours…");
    EXPECT_EQ(progress.size(), 0);
    emit recorder(1)->finished(true, "Enregistrement terminé : « /enr/" + kName + " »");
    EXPECT_EQ(control->statusText(), "Connexion en cours…");
    fake->sendFrame(Qt::blue);
    EXPECT_TRUE(control->statusText().isEmpty());
    EXPECT_EQ(pixelAt(268, 164), qRgb(0, 0, 255));
}

TEST_F(RecordingControl, TheBoxIsGivenBackOnlyOnceTheRecordingThatHeldItHasFinished) {
    // Nothing records: stops and plays say nothing of the box.
    tune(kChannel);
    control->stop();
    tune(kOther);
    EXPECT_EQ(fake->boxReturns, 0);

    record(kChannel);
    EXPECT_EQ(fake->boxReturns, 0) << "a recording that starts takes the box, it does not give it back";
    // The next channel waits while the stopped recorder still holds the box's session.
    tune(kOther);
    EXPECT_EQ(fake->boxReturns, 0);
    emit recorder(0)->finished(true, QString());
    EXPECT_EQ(fake->boxReturns, 1);

    // One recording handing over to the next keeps the box until the last one is done.
    record(kChannel);
    record(kOther);
    emit recorder(1)->finished(true, QString());
    EXPECT_EQ(fake->boxReturns, 1);
    control->stop();
    emit recorder(2)->finished(true, QString());
    EXPECT_EQ(fake->boxReturns, 2);
}

TEST_F(RecordingControl, PlayingAnythingElseEndsTheRecordingEvenWithoutStop) {
    record(kChannel);
    control->setMrl(kOther);
    EXPECT_EQ(log->calls.last(), "stop /enr/" + kName);
    EXPECT_EQ(fake->calls.last(), "play " + kOther);

    // Recording again while recording: the first file is finished, the second begun.
    record(kChannel);
    const QString second = kChain.section("201-", 0, 0) + "202-20261207-101600.mpg,access=file}";
    record(kOther, second);
    EXPECT_EQ(log->calls.mid(2), QStringList({"start " + kChannel, "stop /enr/" + kName, "start " + kOther}));
    EXPECT_EQ(control->statusText(),
              "Enregistrement : 202-20261207-101600.mpg — 00:00\u00a0—\u00a00,0\u00a0Mo");
}

TEST_F(RecordingControl, AFailedRecordingIsToldInFrenchAndTheNextTunePlays) {
    const QString why = "Impossible d'écrire « /enr/" + kName + " » (Permission non accordée)";
    record(kChannel);
    QSignalSpy finished(control.get(), &TVLCPlugin::recordingFinished);
    emit recorder(0)->finished(false, why);
    EXPECT_FALSE(control->isRecording());
    EXPECT_EQ(control->statusText(), why);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished.at(0), QVariantList({"/enr/" + kName, false, why}));

    tune(kOther);
    EXPECT_EQ(control->statusText(), "Connexion en cours…");
    EXPECT_EQ(fake->calls.last(), "play " + kOther);
}

TEST_F(RecordingControl, AFileThatFailsWhileBeingFinishedStillSaysSo) {
    const QString why = "Impossible d'écrire la fin de « /enr/" + kName + " » (Plus de place sur le disque)";
    record(kChannel);
    tune(kOther);
    fake->sendFrame(Qt::blue);
    emit recorder(0)->finished(false, why);
    EXPECT_EQ(control->statusText(), why);

    // While a newer recording runs, its own line keeps the place.
    record(kChannel);
    control->stop();
    record(kOther);
    emit recorder(1)->finished(false, why);
    EXPECT_EQ(control->statusText(), "Enregistrement : " + kName + " — 00:00\u00a0—\u00a00,0\u00a0Mo");
}

TEST_F(RecordingControl, FinishedRecordersAreLetGoAndTheLastOneIsFinishedOnTheWayOut) {
    record(kChannel);
    control->stop();
    record(kChannel);
    emit recorder(0)->finished(true, QString());
    emit recorder(1)->finished(false, "Réception du flux interrompue");
    EXPECT_TRUE(waitUntil([&] { return log->deleted == 2; }, 5000));

    record(kOther);
    control.reset();
    EXPECT_EQ(log->calls.last(), "stop /enr/" + kName);
    EXPECT_EQ(log->deleted, 3);
}

TEST(RecordingProgressText, CountsMinutesSecondsAndFrenchMegabytes) {
    struct Case {
        qint64 elapsedMs;
        qint64 bytes;
        QString shown;
    };
    const QList<Case> cases = {
        {0, 0, "00:00\u00a0—\u00a00,0\u00a0Mo"},
        {59'999, 49'999, "00:59\u00a0—\u00a00,0\u00a0Mo"},
        {65'000, 2'150'001, "01:05\u00a0—\u00a02,2\u00a0Mo"},
        {3'599'000, 999'949'999, "59:59\u00a0—\u00a0999,9\u00a0Mo"},
        {3'725'000, 999'950'000, "1:02:05\u00a0—\u00a01,00\u00a0Go"},
        {36'000'000, 14'755'000'000, "10:00:00\u00a0—\u00a014,76\u00a0Go"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RecordingSession::progressText("a.mpg", c.elapsedMs, c.bytes),
                  "Enregistrement : a.mpg — " + c.shown)
            << c.elapsedMs << " ms, " << c.bytes << " bytes";
}

} // namespace
