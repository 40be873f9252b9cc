// The record command on the real player window and player control, against the simulated box:
// what lands in the destination folder, and what the picture's line says meanwhile.

#include "PlayerWindowFixture.h"
#include "support/RecordingProbe.h"

#include "forms/RecordCommand.h"
#include "forms/Unit4.h"
#include "player/PlayerOptions.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>

namespace {

constexpr int kFallbackChannel = 612;
// Connecting, the first key frame, then the time asked for.
constexpr int kRecordDeadlineMs = 25000;
constexpr int kFinishDeadlineMs = 15000;

class RecordCommandTest : public PlayerWindowFixture {
protected:
    // Row 0 is neither the start-up channel nor the fallback, so the file tells which was recorded.
    QList<int> playlistChannels() const override { return {202, 203, 201}; }
    QList<int> boxChannels() const override { return {201, 202, 203, kFallbackChannel}; }

    void SetUp() override {
        PlayerWindowFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(m_out.isValid());
        form4 = std::make_unique<TForm4>();
        form1->setDestinationWindow(form4.get());
        form4->Edit1->setText(m_out.path());
        QObject::connect(form1->vlc, &TVLCPlugin::recordingProgress, [this](qint64 ms, qint64) {
            if (!m_sinceFirstPicture.isValid()) {
                m_sinceFirstPicture.start();
                m_firstElapsedMs = ms;
            }
            m_elapsedMs = ms;
        });
        QObject::connect(form1->vlc, &TVLCPlugin::recordingFinished,
                         [this](const QString &path, bool ok, const QString &message) {
                             m_finishedPath = path;
                             m_finishedOk = ok;
                             m_finishedMessage = message;
                             ++m_finishedCount;
                         });
    }

    void TearDown() override {
        form4.reset();
        PlayerWindowFixture::TearDown();
    }

    // Records from the right-click menu until the file holds at least ms of pictures.
    bool recordFor(qint64 ms) {
        form1->Enregistrer1->trigger();
        return waitUntil([&] { return m_elapsedMs >= ms || m_finishedCount > 0; }, kRecordDeadlineMs) &&
               m_finishedCount == 0;
    }

    // Time from the first picture written to now, as the file should play it.
    double recordedSeconds() const { return (m_sinceFirstPicture.elapsed() + m_firstElapsedMs) / 1000.0; }

    bool waitForFinished() {
        return waitUntil([&] { return m_finishedCount > 0; }, kFinishDeadlineMs);
    }

    QString status() const { return form1->vlc->statusText(); }

    QTemporaryDir m_out;
    std::unique_ptr<TForm4> form4;
    QElapsedTimer m_sinceFirstPicture;
    qint64 m_firstElapsedMs = 0;
    qint64 m_elapsedMs = -1;
    int m_finishedCount = 0;
    bool m_finishedOk = false;
    QString m_finishedPath;
    QString m_finishedMessage;
};

TEST_F(RecordCommandTest, RecordsTheFirstRowIntoTheFolderUntilTheNextTune) {
    ASSERT_TRUE(waitForChannel(201));
    form2->Button1Click();
    ASSERT_EQ(form2->ListBox1->currentRow(), 0);
    ASSERT_TRUE(waitForChannel(202));
    const QString label = form1->Label1->text();

    ASSERT_TRUE(recordFor(5000)) << qPrintable(m_finishedMessage);
    EXPECT_EQ(form1->Label1->text(), label) << "recording does not change the channel number";
    EXPECT_TRUE(form1->vlc->isRecording());
    const QRegularExpression line(
        "^Enregistrement : 202-\\d{8}-\\d{6}\\.mpg — 00:0[5-9]\u00a0—\u00a0\\d+,\\d\u00a0Mo$");
    EXPECT_TRUE(line.match(status()).hasMatch()) << qPrintable(status());

    const double recorded = recordedSeconds();
    form2->Button1Click();
    EXPECT_FALSE(form1->vlc->isRecording());
    ASSERT_TRUE(waitForFinished());
    EXPECT_TRUE(m_finishedOk) << qPrintable(m_finishedMessage);
    EXPECT_TRUE(waitForChannel(203)) << "the next channel plays once the recording is stopped";
    EXPECT_TRUE(status().isEmpty()) << qPrintable(status());

    const QStringList files = recordingsIn(m_out.path());
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files.first(), m_finishedPath);
    EXPECT_TRUE(QRegularExpression("/202-\\d{8}-\\d{6}\\.mpg$").match(files.first()).hasMatch())
        << qPrintable(files.first());

    const RecordingProbe probe = RecordingProbe::of(files.first());
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.format, "mpeg");
    EXPECT_EQ(probe.video["codec_name"], "mpeg2video");
    EXPECT_EQ(probe.videoKbps(), 3072);
    EXPECT_EQ(probe.audio["codec_name"], "mp2");
    EXPECT_EQ(probe.audioKbps(), 192);
    EXPECT_NEAR(probe.duration, recorded, 0.5) << "what was received up to the stop, no more, no less";
    EXPECT_EQ(recordedChannel(recordedPicture(files.first(), 2), {201, 202, 203, kFallbackChannel}), 202);
}

TEST_F(RecordCommandTest, WithNoRowSelectedRecordsTheFallbackChannel) {
    ASSERT_TRUE(waitForChannel(201));
    ASSERT_EQ(form2->ListBox1->currentRow(), -1);
    const QString label = form1->Label1->text();

    ASSERT_TRUE(recordFor(3000)) << qPrintable(m_finishedMessage);
    EXPECT_EQ(form1->Label1->text(), label);
    form1->vlc->stop();
    ASSERT_TRUE(waitForFinished());
    EXPECT_TRUE(m_finishedOk) << qPrintable(m_finishedMessage);

    const QStringList files = recordingsIn(m_out.path());
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(QRegularExpression("/612-\\d{8}-\\d{6}\\.mpg$").match(files.first()).hasMatch())
        << qPrintable(files.first());
    EXPECT_EQ(recordedChannel(recordedPicture(files.first(), 2), {201, 202, 203, kFallbackChannel}),
              kFallbackChannel);
}

TEST_F(RecordCommandTest, AFolderThatCannotBeWrittenIsToldAndTheProgramGoesOn) {
    ASSERT_TRUE(waitForChannel(201));
    // Even root cannot make a folder under a plain file.
    QFile plain(m_out.filePath("fichier"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    form4->Edit1->setText(m_out.filePath("fichier/sous-dossier"));

    form1->Enregistrer1->trigger();
    ASSERT_TRUE(waitForFinished());
    EXPECT_FALSE(m_finishedOk);
    EXPECT_TRUE(m_finishedMessage.contains("Impossible de créer le fichier"))
        << qPrintable(m_finishedMessage);
    EXPECT_EQ(status(), m_finishedMessage);
    EXPECT_FALSE(form1->vlc->isRecording());

    form2->Button1Click();
    EXPECT_TRUE(waitForChannel(202));
    EXPECT_TRUE(status().isEmpty()) << qPrintable(status());
}

TEST_F(RecordCommandTest, ABoxThatGoesAwayMidRecordingLeavesAPlayableFile) {
    ASSERT_TRUE(waitForChannel(201));
    form2->Button1Click();
    ASSERT_TRUE(recordFor(2500)) << qPrintable(m_finishedMessage);
    const qint64 recordedMs = m_elapsedMs;
    m_box.stop();

    ASSERT_TRUE(waitForFinished());
    EXPECT_FALSE(m_finishedOk);
    EXPECT_TRUE(m_finishedMessage.contains("interrompue")) << qPrintable(m_finishedMessage);
    EXPECT_TRUE(status().startsWith(m_finishedMessage)) << qPrintable(status());

    const RecordingProbe probe = RecordingProbe::of(m_finishedPath);
    ASSERT_TRUE(probe.readable) << qPrintable(m_finishedPath);
    EXPECT_EQ(probe.format, "mpeg");
    EXPECT_EQ(probe.video["codec_name"], "mpeg2video");
    EXPECT_EQ(probe.audio["codec_name"], "mp2");
    EXPECT_GE(probe.duration, recordedMs / 1000.0 - 0.05);
    EXPECT_EQ(recordedChannel(recordedPicture(m_finishedPath, 1), {201, 202, 203, kFallbackChannel}), 202);
}

// The box drops its viewers and comes back: the recording goes on by itself in a second file.
TEST_F(RecordCommandTest, ARecordingCutByTheBoxResumesInTheNextFileWhenTheStreamReturns) {
    ASSERT_TRUE(waitForChannel(201));
    form2->Button1Click();
    ASSERT_TRUE(recordFor(2000)) << qPrintable(m_finishedMessage);
    ASSERT_TRUE(m_box.stopServing());
    ASSERT_TRUE(waitForFinished());
    const QString first = m_finishedPath;
    EXPECT_TRUE(status().contains(QStringLiteral("il reprendra de lui-même au retour du flux")))
        << qPrintable(status());
    EXPECT_TRUE(form1->vlc->isRecording());

    m_elapsedMs = -1;
    ASSERT_TRUE(m_box.serve());
    ASSERT_TRUE(waitUntil([&] { return m_elapsedMs >= 1500; }, kRecordDeadlineMs)) << qPrintable(status());
    const QString second = first.chopped(4) + QStringLiteral("-2.mpg");
    EXPECT_TRUE(status().startsWith("Enregistrement repris : " + QFileInfo(second).fileName()))
        << qPrintable(status());
    EXPECT_EQ(m_finishedCount, 1) << "tries while the box was away told of files";

    form1->vlc->stop();
    ASSERT_TRUE(waitUntil([&] { return m_finishedCount == 2; }, kFinishDeadlineMs));
    EXPECT_EQ(m_finishedPath, second);
    EXPECT_TRUE(m_finishedOk) << qPrintable(m_finishedMessage);
    for (const QString &path : {first, second}) {
        const RecordingProbe probe = RecordingProbe::of(path);
        ASSERT_TRUE(probe.readable) << qPrintable(path);
        EXPECT_GE(probe.duration, 1.0) << qPrintable(path);
    }
    EXPECT_EQ(recordedChannel(recordedPicture(second, 1), {201, 202, 203, kFallbackChannel}), 202);
}

// Whatever folder the user picked, the chain carries its path whole.
TEST(RecordCommandOptions, TheChainCarriesAnyFolderWhole) {
    const QStringList paths = {
        "/home/léa/Vidéos/202-20261207-101500.mpg", "/mes vidéos/202-20261207-101500.mpg",
        "/tmp/a,b/202-20261207-101500.mpg",         "/tmp/{x}/202-20261207-101500.mpg",
        "/tmp/l'été, bis/202-20261207-101500.mpg",  "/tmp/\"bis\", le retour/202-20261207-101500.mpg",
        "\"guillemets/202-20261207-101500.mpg",     "/tmp/both'\"mix,z/202-20261207-101500.mpg",
        "/tmp/'\"\"',}{/202-20261207-101500.mpg",   "/tmp/a\\,b\\\"/202-20261207-101500.mpg",
        "'/tmp/\"\"/202-20261207-101500.mpg",       "/tmp/日本語 «ça», \"x\"/202-20261207-101500.mpg",
    };
    for (const QString &path : paths) {
        QStringList options;
        for (const QByteArray &option : RecordCommand::options(path))
            options << QString::fromLocal8Bit(option);
        ASSERT_EQ(options.size(), 2);
        EXPECT_EQ(options.at(1), "ttl=1");
        const PlayerOptions parsed = PlayerOptions::parse(options);
        ASSERT_TRUE(parsed.sout.has_value()) << path.toStdString();
        EXPECT_EQ(parsed.sout->url, path);
        EXPECT_EQ(parsed.sout->videoBitrateKbps, 3072);
        EXPECT_EQ(parsed.sout->audioBitrateKbps, 192);
        EXPECT_EQ(parsed.ttl, 1);
    }
}

} // namespace
