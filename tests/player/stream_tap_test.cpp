#include "QtPrinting.h"
#include "support/IndependentRelay.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"
#include "player/engine/GstPlayerEngine.h"
#include "player/warm/WarmPlayerEngine.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <mutex>

// What the engines give their tap, cold and warm, from both kinds of server: the watched channel as
// an MPEG-TS that plays on its own, and nothing of a play once another one has begun.
namespace {

constexpr qint64 kSecondNs = 1'000'000'000;

// What one tap received.
class Collected {
public:
    StreamTap tap() {
        return [this](const QByteArray &packets, qint64 arrivalNs) {
            std::lock_guard lock(m_mutex);
            m_bytes += packets;
            if (m_firstNs < 0)
                m_firstNs = arrivalNs;
            m_lastNs = arrivalNs;
        };
    }
    QByteArray bytes() const {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }
    qsizetype size() const { return bytes().size(); }
    // From the first packet's arrival to the last one's.
    qint64 spanNs() const {
        std::lock_guard lock(m_mutex);
        return m_firstNs < 0 ? 0 : m_lastNs - m_firstNs;
    }

private:
    mutable std::mutex m_mutex;
    QByteArray m_bytes;
    qint64 m_firstNs = -1;
    qint64 m_lastNs = -1;
};

// Whole transport packets, each starting with its sync byte.
bool wholePackets(const QByteArray &stream) {
    if (stream.isEmpty() || stream.size() % 188 != 0)
        return false;
    for (qsizetype at = 0; at < stream.size(); at += 188) {
        if (uchar(stream.at(at)) != 0x47)
            return false;
    }
    return true;
}

// What a player of its own makes of the stream: the kinds of its streams, and the channel a picture
// a second in shows (0 for none).
struct Reading {
    // ffprobe's words, one stream or programme a line.
    QString kinds;
    int channel = 0;
};

Reading readBack(const QByteArray &stream, const QList<int> &channels) {
    Reading reading;
    QTemporaryDir folder;
    QFile file(folder.filePath("tapped.ts"));
    if (!file.open(QIODevice::WriteOnly) || file.write(stream) != stream.size())
        return reading;
    file.close();
    QProcess probe;
    probe.start("ffprobe",
                {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", file.fileName()});
    probe.waitForFinished(30000);
    reading.kinds = QString::fromLatin1(probe.readAllStandardOutput());
    const QString picture = folder.filePath("picture.png");
    QProcess decode;
    decode.start("ffmpeg", {"-v", "error", "-i", file.fileName(), "-vf", "select=gte(n\\,25)", "-frames:v",
                            "1", "-y", picture});
    decode.waitForFinished(30000);
    const QImage image(picture);
    if (!image.isNull()) {
        const QRect top(image.width() * 37 / 100, image.height() * 6 / 100, image.width() / 4,
                        image.height() / 8);
        reading.channel = channelOfColour(averageColour(image, top), channels);
    }
    return reading;
}

class StreamTapOn : public ::testing::Test {
protected:
    virtual QByteArray address(int channel) const = 0;

    void startPlayer() {
        auto engine = std::make_unique<WarmPlayerEngine>(std::make_unique<GstPlayerEngine>());
        warm = engine.get();
        control = std::make_unique<TVLCPlugin>(std::move(engine));
        control->resize(537, 329);
        control->show();
    }

    void tune(int channel, Collected &into, const QList<int> &neighbours = {}) {
        control->stop();
        control->addTarget(QString::fromLatin1(address(channel)), {"nooverlay"}, 1, 0);
        warm->setStreamTap(into.tap());
        control->play();
        QStringList addresses;
        for (int neighbour : neighbours)
            addresses.append(QString::fromLatin1(address(neighbour)));
        control->setNeighbours(addresses);
    }

    // A few seconds of what the tap of channel gets: its own channel, in video and sound.
    void expectChannel(const Collected &tapped, int channel) {
        ASSERT_TRUE(waitUntil([&] { return tapped.spanNs() >= 4 * kSecondNs; }, 20000))
            << tapped.size() << " bytes over " << tapped.spanNs() / 1000000 << " ms";
        const QByteArray stream = tapped.bytes();
        EXPECT_TRUE(wholePackets(stream)) << stream.size() << " bytes";
        const Reading reading = readBack(stream, {201, 202});
        EXPECT_TRUE(reading.kinds.contains("video")) << reading.kinds;
        EXPECT_TRUE(reading.kinds.contains("audio")) << reading.kinds;
        EXPECT_EQ(reading.channel, channel);
    }

    bool isWarm(int channel) { return warm->warmAddresses().contains(QString::fromLatin1(address(channel))); }

    // Declared before the player: the taps outlive it.
    Collected first;
    Collected second;
    WarmPlayerEngine *warm = nullptr;
    std::unique_ptr<TVLCPlugin> control;
};

class StreamTapOnOurBox : public StreamTapOn {
protected:
    void SetUp() override {
        SetTopBox::Options options;
        options.channels = {201, 202};
        ASSERT_TRUE(box.start(options)) << box.error();
        startPlayer();
    }
    QByteArray address(int channel) const override { return box.address(channel); }

    SetTopBox box;
};

TEST_F(StreamTapOnOurBox, AColdTuneAndAWarmStepEachGiveTheirOwnChannel) {
    tune(201, first, {202});
    expectChannel(first, 201);
    ASSERT_TRUE(waitUntil([&] { return isWarm(202); }, 10000));

    tune(202, second, {201});
    EXPECT_TRUE(warm->lastPlayWasHandedOver());
    const qsizetype left = first.size();
    // The held stream comes first: the moments before the step are there.
    EXPECT_GT(second.size(), 0);
    expectChannel(second, 202);
    EXPECT_EQ(first.size(), left) << "the channel left still reached its tap";
}

class StreamTapOnIndependentServer : public StreamTapOn {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start(201)) << qPrintable(server.error());
        ASSERT_TRUE(server.publish(202)) << qPrintable(server.error());
        startPlayer();
    }
    QByteArray address(int channel) const override { return server.address(channel); }

    IndependentRelay server;
};

TEST_F(StreamTapOnIndependentServer, AColdTuneGivesItsElementaryStreamsMultiplexed) {
    tune(201, first);
    expectChannel(first, 201);

    tune(202, second);
    const qsizetype left = first.size();
    expectChannel(second, 202);
    EXPECT_EQ(first.size(), left) << "the channel left still reached its tap";
}

} // namespace
