// Each of the box's stream profiles is what it claims to be, as ffprobe reads it off the wire.
#include "support/ChildProcess.h"
#include "support/RtspClient.h"
#include "support/SetTopBox.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr int kChannel = 201;

QJsonArray probeJson(const QByteArray &address, const QStringList &what) {
    bool ok = false;
    QStringList args{"ffprobe", "-v", "quiet", "-rtsp_transport", "tcp", "-of", "json"};
    args << what << QString::fromLatin1(address);
    const QByteArray out = childprocess::runToEnd(args, 60000, &ok);
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    for (const char *list : {"frames", "packets"}) {
        if (root.contains(list))
            return root.value(list).toArray();
    }
    return root.value("streams").toArray();
}

QList<QJsonObject> streamsOf(const QByteArray &address) {
    QList<QJsonObject> streams;
    for (const QJsonValue &value : probeJson(
             address, {"-show_entries", "stream=codec_type,codec_name,profile,width,height,has_b_frames,"
                                        "field_order,sample_aspect_ratio:stream_tags=language"}))
        streams << value.toObject();
    return streams;
}

QList<QJsonObject> ofType(const QList<QJsonObject> &streams, const QString &type) {
    QList<QJsonObject> found;
    for (const QJsonObject &stream : streams) {
        if (stream.value("codec_type").toString() == type)
            found << stream;
    }
    return found;
}

class BoxProfile : public ::testing::Test {
protected:
    void startWith(const QString &profile) {
        SetTopBox::Options options;
        options.channels = {kChannel};
        options.profile = profile;
        ASSERT_TRUE(box.start(options)) << qPrintable(box.error());
    }
    SetTopBox box;
};

struct Expected {
    const char *profile;
    const char *videoCodec; // empty: no picture at all
    int width;
    int height;
    bool interlaced;
    const char *audioCodec;
};

class EveryProfile : public BoxProfile, public ::testing::WithParamInterface<Expected> {};

TEST_P(EveryProfile, SendsTheCodecsSizeAndScanItNames) {
    const Expected expected = GetParam();
    startWith(expected.profile);
    const QList<QJsonObject> streams = streamsOf(box.address(kChannel));
    const QList<QJsonObject> video = ofType(streams, "video");
    const QList<QJsonObject> audio = ofType(streams, "audio");
    ASSERT_FALSE(audio.isEmpty());
    EXPECT_TRUE(QString(expected.audioCodec).contains(audio.first().value("codec_name").toString()))
        << qPrintable(audio.first().value("codec_name").toString());
    if (!*expected.videoCodec) {
        EXPECT_TRUE(video.isEmpty()) << "a sound-only channel sends no picture";
        return;
    }
    ASSERT_EQ(video.size(), 1);
    const QJsonObject picture = video.first();
    EXPECT_EQ(picture.value("codec_name").toString(), expected.videoCodec);
    EXPECT_EQ(picture.value("width").toInt(), expected.width);
    EXPECT_EQ(picture.value("height").toInt(), expected.height);
    EXPECT_GT(picture.value("has_b_frames").toInt(), 0) << "broadcast streams reorder pictures";
    const QString order = picture.value("field_order").toString();
    EXPECT_EQ(order == "tt" || order == "tb" || order == "bt" || order == "bb", expected.interlaced)
        << qPrintable(order);
}

INSTANTIATE_TEST_SUITE_P(Profiles, EveryProfile,
                         ::testing::Values(Expected{"broadcast", "h264", 720, 576, false, "mp2 mp3"},
                                           Expected{"sd-mpeg2", "mpeg2video", 720, 576, true, "mp2 mp3"},
                                           Expected{"hd-h264i", "h264", 1920, 1080, true, "ac3 aac"},
                                           Expected{"aspect-switch", "h264", 720, 576, false, "mp2 mp3"},
                                           Expected{"elementary", "h264", 720, 576, false, "mp2 mp3"},
                                           Expected{"radio", "", 0, 0, false, "mp2 mp3"}));

TEST_F(BoxProfile, HdSendsItsLoopOverAndOverWithRisingTimeStamps) {
    startWith("hd-h264i");
    // Six seconds: six rounds of the one-second loop, joins between rounds included.
    QList<double> decoded;
    for (const QJsonValue &packet :
         probeJson(box.address(kChannel),
                   {"-select_streams", "v", "-show_entries", "packet=dts_time", "-read_intervals", "%+6"}))
        decoded << packet.toObject().value("dts_time").toString().toDouble();
    ASSERT_GT(decoded.size(), 100);
    for (qsizetype i = 1; i < decoded.size(); ++i)
        ASSERT_NEAR(decoded[i] - decoded[i - 1], 0.04, 0.001)
            << "at packet " << i << " of " << decoded.size();
}

TEST_F(BoxProfile, BroadcastIsH264HighWithBFramesInItsGroups) {
    startWith("broadcast");
    EXPECT_EQ(ofType(streamsOf(box.address(kChannel)), "video").value(0).value("profile").toString(), "High");
    QSet<QString> types;
    for (const QJsonValue &frame :
         probeJson(box.address(kChannel),
                   {"-select_streams", "v", "-show_entries", "frame=pict_type", "-read_intervals", "%+2"}))
        types << frame.toObject().value("pict_type").toString();
    EXPECT_TRUE(types.contains("B")) << qPrintable(QStringList(types.values()).join(','));
}

TEST_F(BoxProfile, TwoAudioSendsFrenchAndASecondLanguageAndSubtitles) {
    startWith("two-audio");
    const QList<QJsonObject> streams = streamsOf(box.address(kChannel));
    const QList<QJsonObject> subtitles = ofType(streams, "subtitle");
    ASSERT_EQ(subtitles.size(), 1);
    EXPECT_EQ(subtitles.first().value("codec_name").toString(), "dvb_subtitle");
    // In the program table's order, the one a receiver numbers its tracks by (ffprobe numbers its
    // streams in the order it happens to meet them): French is the first track.
    bool ok = false;
    const QByteArray out =
        childprocess::runToEnd({"ffprobe", "-v", "quiet", "-rtsp_transport", "tcp", "-of", "json",
                                "-show_entries", "program_stream=codec_type:program_stream_tags=language",
                                QString::fromLatin1(box.address(kChannel))},
                               60000, &ok);
    const QJsonArray programs = QJsonDocument::fromJson(out).object().value("programs").toArray();
    ASSERT_EQ(programs.size(), 1) << out.toStdString();
    QStringList languages;
    for (const QJsonValue &stream : programs.first().toObject().value("streams").toArray()) {
        if (stream.toObject().value("codec_type").toString() == "audio")
            languages << stream.toObject().value("tags").toObject().value("language").toString();
    }
    EXPECT_EQ(languages.join(','), "fre,eng");
}

TEST_F(BoxProfile, AspectSwitchTurnsBetweenFourThreeAndSixteenNineWithinTenSeconds) {
    startWith("aspect-switch");
    QSet<QString> shapes;
    for (const QJsonValue &frame :
         probeJson(box.address(kChannel), {"-select_streams", "v", "-show_entries",
                                           "frame=sample_aspect_ratio", "-read_intervals", "%+11"}))
        shapes << frame.toObject().value("sample_aspect_ratio").toString();
    // 16:15 and 64:45 pixels on 720x576: a 4:3 and a 16:9 picture.
    EXPECT_TRUE(shapes.contains("16:15") && shapes.contains("64:45"))
        << qPrintable(QStringList(shapes.values()).join(','));
}

TEST_F(BoxProfile, ElementarySendsOneRtpSessionPerStreamInsteadOfTransportStream) {
    startWith("elementary");
    RtspClient client;
    ASSERT_TRUE(client.connectTo(quint16(box.port())));
    const QByteArray sdp = client.describe(box.address(kChannel)).body;
    EXPECT_EQ(sdp.count("\nm="), 2) << sdp.constData();
    EXPECT_TRUE(sdp.contains("m=video") && sdp.contains("H264")) << sdp.constData();
    EXPECT_TRUE(sdp.contains("m=audio")) << sdp.constData();
    EXPECT_FALSE(sdp.contains("MP2T")) << sdp.constData();
}

// Pixels unlike both their upper and lower neighbours, in the same direction: the teeth of two
// fields showing a moving edge at two places. A progressive picture has next to none.
int combedPixels(const QImage &image) {
    int count = 0;
    for (int y = 1; y + 1 < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int above = qGray(image.pixel(x, y - 1));
            const int here = qGray(image.pixel(x, y));
            const int below = qGray(image.pixel(x, y + 1));
            if ((here - above) * (here - below) > 60 * 60)
                ++count;
        }
    }
    return count;
}

int mostCombing(const QByteArray &address) {
    QTemporaryDir dir;
    bool ok = false;
    childprocess::runToEnd({"ffmpeg", "-nostdin", "-v", "quiet", "-rtsp_transport", "tcp", "-i",
                            QString::fromLatin1(address), "-frames:v", "4", "-y", dir.filePath("f%d.png")},
                           60000, &ok);
    int most = 0;
    for (int i = 1; i <= 4; ++i)
        most = qMax(most, combedPixels(QImage(dir.filePath(QStringLiteral("f%1.png").arg(i)))));
    return most;
}

TEST_F(BoxProfile, InterlacedPictureShowsCombingWhereAProgressiveOneShowsNone) {
    SetTopBox::Options options;
    options.channels = {201, 202};
    options.profiles = {{201, "sd-mpeg2"}, {202, "broadcast"}};
    ASSERT_TRUE(box.start(options)) << qPrintable(box.error());
    // The clock's thin strokes count a few hundred on any picture; a sliding number, thousands.
    const int interlaced = mostCombing(box.address(201));
    const int progressive = mostCombing(box.address(202));
    EXPECT_GT(interlaced, 2000);
    EXPECT_GT(interlaced, 5 * progressive) << progressive;
}

} // namespace
