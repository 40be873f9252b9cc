#include "player/recording/FfmpegRecordingEngine.h"

#include "support/ChildProcess.h"
#include "support/RecordingProbe.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

constexpr int kFirstPictureDeadlineMs = 20000;
constexpr int kFinishDeadlineMs = 15000;

// The first picture at or after a time from the file's start, decoded from the start: seeking
// near the end of a program stream is the tool's weak point, not the file's.
QImage pictureAt(const QString &path, double seconds) {
    QTemporaryDir dir;
    const QString png = dir.filePath("picture.png");
    childprocess::runToEnd({"ffmpeg", "-v", "error", "-i", path, "-vf",
                            QStringLiteral("select=gte(t\\,%1)").arg(seconds), "-frames:v", "1", "-y", png},
                           20000);
    return QImage(png);
}

// The sound's mean level in dB, from ffmpeg's volume detector; -91 and below is silence.
double meanVolume(const QString &path) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "info", "-i", path, "-vn", "-af", "volumedetect", "-f", "null", "-"});
    if (!ffmpeg.waitForFinished(20000))
        return -200;
    const QString log = QString::fromUtf8(ffmpeg.readAllStandardError());
    const qsizetype at = log.indexOf("mean_volume:");
    return at < 0 ? -200 : log.mid(at + 12).section(' ', 1, 1).toDouble();
}

// The channel's background fills the picture's corners; its number sits in the middle.
QRgb backgroundOf(const QImage &picture) {
    return averageColour(picture, QRect(16, 16, 96, 96));
}

// The rate the video really takes in the file, in bit/s.
double videoRate(const QString &path, double duration) {
    const QByteArray sizes = childprocess::runToEnd({"ffprobe", "-v", "error", "-select_streams", "v",
                                                     "-show_entries", "packet=size", "-of", "csv=p=0", path},
                                                    20000);
    qint64 total = 0;
    for (const QByteArray &line : sizes.split('\n'))
        total += line.trimmed().toLongLong();
    return duration > 0 ? total * 8 / duration : 0;
}

SoutChain chainTo(const QString &path, const QString &mux = "ps") {
    return SoutChain::parse(
        QStringLiteral(":sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=%1,url=\"%2\","
                       "access=file}")
            .arg(mux, path));
}

// A recorder and everything it said.
class Recording {
public:
    Recording() : m_recorder(std::make_unique<FfmpegRecordingEngine>()) {
        QObject::connect(m_recorder.get(), &FfmpegRecordingEngine::progress, [this](qint64 ms, qint64 bytes) {
            if (!m_firstProgress.isValid())
                m_firstProgress.start();
            m_elapsedMs = ms;
            m_bytes = bytes;
        });
        QObject::connect(m_recorder.get(), &FfmpegRecordingEngine::finished,
                         [this](bool ok, const QString &message) {
                             ++m_finishedCount;
                             m_ok = ok;
                             m_message = message;
                         });
    }

    FfmpegRecordingEngine &recorder() { return *m_recorder; }
    void destroyRecorder() { m_recorder.reset(); }

    bool waitForRecorded(qint64 ms) {
        return waitUntil([&] { return m_elapsedMs >= ms || m_finishedCount > 0; },
                         kFirstPictureDeadlineMs + int(ms)) &&
               m_finishedCount == 0;
    }
    bool waitForFinished() {
        return waitUntil([&] { return m_finishedCount > 0; }, kFinishDeadlineMs);
    }

    // Wall time since the first picture was written.
    qint64 sinceFirstPicture() const { return m_firstProgress.isValid() ? m_firstProgress.elapsed() : -1; }
    qint64 elapsedMs() const { return m_elapsedMs; }
    qint64 bytes() const { return m_bytes; }
    int finishedCount() const { return m_finishedCount; }
    bool ok() const { return m_ok; }
    std::string message() const { return m_message.toStdString(); }

private:
    std::unique_ptr<FfmpegRecordingEngine> m_recorder;
    QElapsedTimer m_firstProgress;
    qint64 m_elapsedMs = -1;
    qint64 m_bytes = -1;
    int m_finishedCount = 0;
    bool m_ok = false;
    QString m_message;
};

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        SetTopBox::Options options;
        options.channels = {201, 202};
        options.unserved = {299};
        ASSERT_TRUE(m_box.start(options)) << m_box.error().toStdString();
    }

    QString file(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    SetTopBox m_box;
};

TEST_F(RecorderTest, RecordsAProgramStreamOfTheChannelUpToTheStop) {
    const QString path = file("202.mpg");
    Recording recording;
    recording.recorder().start(m_box.address(202), chainTo(path));
    EXPECT_TRUE(recording.recorder().isRecording());
    EXPECT_EQ(recording.recorder().outputPath(), path);

    ASSERT_TRUE(recording.waitForRecorded(5000)) << recording.message();
    const double recordedSeconds = recording.sinceFirstPicture() / 1000.0;
    recording.recorder().stop();
    ASSERT_TRUE(recording.waitForFinished());
    EXPECT_TRUE(recording.ok()) << recording.message();
    EXPECT_FALSE(recording.recorder().isRecording());
    EXPECT_EQ(recording.bytes(), QFileInfo(path).size());

    const RecordingProbe p = RecordingProbe::of(path);
    ASSERT_TRUE(p.readable);
    EXPECT_EQ(p.format, "mpeg");
    EXPECT_EQ(p.video["codec_name"], "mpeg2video");
    EXPECT_EQ(p.video["width"].toInt(), 720);
    EXPECT_EQ(p.video["height"].toInt(), 576);
    EXPECT_EQ(p.video["r_frame_rate"], "25/1");
    EXPECT_EQ(p.video["bit_rate"].toString().toInt(), 3072000);
    EXPECT_EQ(p.audio["codec_name"], "mp2");
    EXPECT_EQ(p.audio["bit_rate"].toString().toInt(), 192000);
    // Sound and picture start together, as they were received.
    EXPECT_NEAR(p.audio["start_time"].toString().toDouble(), p.video["start_time"].toString().toDouble(),
                0.1);
    EXPECT_NEAR(p.duration, recordedSeconds, 0.5);
    EXPECT_NEAR(p.duration, recording.elapsedMs() / 1000.0, 0.5);
    EXPECT_NEAR(videoRate(path, p.duration), 3072000, 3072000 * 0.1);
    EXPECT_GT(meanVolume(path), -40.0); // the box's tone, not silence

    for (double at : {0.0, p.duration / 2, p.duration - 0.2}) {
        const QImage picture = pictureAt(path, at);
        ASSERT_FALSE(picture.isNull()) << "no picture at " << at << " s";
        EXPECT_TRUE(looksLikeChannel(backgroundOf(picture), 202)) << "at " << at << " s";
    }
}

TEST_F(RecorderTest, MultiplexesAsTransportStreamWhenAsked) {
    const QString path = file("201.ts");
    Recording recording;
    recording.recorder().start(m_box.address(201), chainTo(path, "ts"));
    ASSERT_TRUE(recording.waitForRecorded(1000)) << recording.message();
    recording.recorder().stop();
    ASSERT_TRUE(recording.waitForFinished());
    EXPECT_TRUE(recording.ok()) << recording.message();

    const RecordingProbe p = RecordingProbe::of(path);
    EXPECT_EQ(p.format, "mpegts");
    EXPECT_EQ(p.video["codec_name"], "mpeg2video");
    EXPECT_EQ(p.audio["codec_name"], "mp2");
    EXPECT_TRUE(looksLikeChannel(backgroundOf(pictureAt(path, 0.5)), 201));
}

// The viewer's choice of language is the player's: the file keeps every sound track, so nothing
// the channel sent is lost.
TEST(RecorderTracks, RecordsEverySoundTrackOfTheChannel) {
    QTemporaryDir dir;
    SetTopBox box;
    SetTopBox::Options options;
    options.channels = QList<int>() << 201;
    options.profiles = {{201, QStringLiteral("two-audio")}};
    ASSERT_TRUE(box.start(options)) << box.error().toStdString();
    const QString path = dir.filePath("201.mpg");
    Recording recording;
    recording.recorder().start(box.address(201), chainTo(path));
    ASSERT_TRUE(recording.waitForRecorded(1500)) << recording.message();
    recording.recorder().stop();
    ASSERT_TRUE(recording.waitForFinished());
    EXPECT_TRUE(recording.ok()) << recording.message();

    const RecordingProbe p = RecordingProbe::of(path);
    EXPECT_EQ(p.format, "mpeg");
    EXPECT_EQ(p.soundTracks, 2);
    EXPECT_EQ(p.audio["codec_name"], "mp2");
}

TEST_F(RecorderTest, DestroyingTheRecorderFinishesTheFile) {
    const QString path = file("201.mpg");
    Recording recording;
    recording.recorder().start(m_box.address(201), chainTo(path));
    ASSERT_TRUE(recording.waitForRecorded(1500)) << recording.message();
    const qint64 recordedMs = recording.elapsedMs();
    recording.destroyRecorder();

    // The muxer holds the last half second until the trailer is written.
    const RecordingProbe p = RecordingProbe::of(path);
    EXPECT_EQ(p.video["codec_name"], "mpeg2video");
    EXPECT_GE(p.duration, recordedMs / 1000.0 - 0.05);
}

// Recording again under the same name (the same channel twice within a second) finishes the first
// file and keeps it: the second goes beside it.
TEST_F(RecorderTest, StartingAgainFinishesTheFirstFileAndKeepsIt) {
    const QString path = file("201.mpg");
    Recording recording;
    recording.recorder().start(m_box.address(201), chainTo(path));
    ASSERT_TRUE(recording.waitForRecorded(1000)) << recording.message();
    const qint64 firstMs = recording.elapsedMs();

    recording.recorder().start(m_box.address(201), chainTo(path));
    const QString second = recording.recorder().outputPath();
    EXPECT_EQ(second, file("201-2.mpg"));
    ASSERT_TRUE(recording.waitForRecorded(firstMs + 1000)) << recording.message();
    recording.recorder().stop();
    ASSERT_TRUE(recording.waitForFinished());
    EXPECT_TRUE(recording.ok()) << recording.message();
    EXPECT_EQ(recording.finishedCount(), 1); // the first recording's end is not mistaken for the second's

    for (const QString &recorded : {path, second}) {
        const RecordingProbe p = RecordingProbe::of(recorded);
        EXPECT_EQ(p.video["codec_name"], "mpeg2video") << recorded.toStdString();
        EXPECT_GE(p.duration, firstMs / 1000.0 - 0.05) << recorded.toStdString();
    }
}

TEST_F(RecorderTest, AFolderThatCannotBeWrittenFailsBeforeTheStreamIsAsked) {
    QFile plain(file("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    // Whoever runs the tests (root included) cannot write into a missing folder or under a plain file.
    for (const QString &path : {file("missing/201.mpg"), file("plain/201.mpg"), m_dir.path()}) {
        Recording recording;
        // A port nobody listens on: only the file can be the reason given.
        recording.recorder().start("rtsp://127.0.0.1:1/orvantv/201", chainTo(path));
        ASSERT_TRUE(recording.waitForFinished()) << path.toStdString();
        EXPECT_FALSE(recording.ok());
        EXPECT_NE(recording.message().find("Impossible de créer le fichier"), std::string::npos)
            << recording.message();
        EXPECT_NE(recording.message().find(path.toStdString()), std::string::npos) << recording.message();
    }
}

TEST_F(RecorderTest, AFullDiskStopsTheRecordingWithItsReason) {
    Recording recording;
    recording.recorder().start(m_box.address(201), chainTo("/dev/full"));
    ASSERT_TRUE(recording.waitForFinished());
    EXPECT_FALSE(recording.ok());
    EXPECT_NE(recording.message().find("Disque plein"), std::string::npos) << recording.message();
    // Nothing was recorded, but the device is not the recording's to delete.
    EXPECT_TRUE(QFileInfo::exists("/dev/full") && !QFileInfo("/dev/full").isFile());
}

TEST_F(RecorderTest, NothingRecordedLeavesNoFile) {
    struct Case {
        QByteArray address;
        bool stopAtOnce;
        bool ok;
        const char *messagePart;
    };
    const Case cases[] = {
        {"rtsp://127.0.0.1:1/orvantv/201", false, false, "Impossible de recevoir le flux"},
        {m_box.address(299), false, false, "Impossible de recevoir le flux"},
        {m_box.address(201), true, true, "aucun fichier"},
    };
    for (const Case &c : cases) {
        const QString path = file("nothing.mpg");
        Recording recording;
        recording.recorder().start(c.address, chainTo(path));
        if (c.stopAtOnce)
            recording.recorder().stop();
        ASSERT_TRUE(recording.waitForFinished()) << c.address.constData();
        EXPECT_EQ(recording.ok(), c.ok) << recording.message();
        EXPECT_NE(recording.message().find(c.messagePart), std::string::npos) << recording.message();
        EXPECT_FALSE(QFileInfo::exists(path)) << c.address.constData();
    }
}

// The box vanishing or freezing mid-recording ends the recording with a reason and a playable file.
class RecorderLosingTheBox : public RecorderTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RecorderLosingTheBox, LeavesAValidFileOfWhatWasReceived) {
    const bool freeze = GetParam();
    const QString path = file("201.mpg");
    Recording recording;
    recording.recorder().start(m_box.address(201), chainTo(path));
    ASSERT_TRUE(recording.waitForRecorded(2000)) << recording.message();
    if (freeze)
        ASSERT_TRUE(m_box.freeze());
    else
        m_box.stop();
    const qint64 recordedMs = recording.elapsedMs();

    ASSERT_TRUE(recording.waitForFinished());
    if (freeze)
        m_box.resume(); // a frozen box is slow to shut down
    EXPECT_FALSE(recording.ok());
    EXPECT_NE(recording.message().find("interrompue"), std::string::npos) << recording.message();
    EXPECT_NE(recording.message().find(path.toStdString()), std::string::npos) << recording.message();

    const RecordingProbe p = RecordingProbe::of(path);
    EXPECT_EQ(p.format, "mpeg");
    EXPECT_EQ(p.video["codec_name"], "mpeg2video");
    EXPECT_EQ(p.audio["codec_name"], "mp2");
    EXPECT_GE(p.duration, recordedMs / 1000.0 - 0.05);
    EXPECT_TRUE(looksLikeChannel(backgroundOf(pictureAt(path, 1.0)), 201));
}

INSTANTIATE_TEST_SUITE_P(Box, RecorderLosingTheBox, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Frozen" : "Killed"; });

} // namespace
