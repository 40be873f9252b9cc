#include "QtPrinting.h"
#include "support/IndependentRelay.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/StreamFactsText.h"
#include "player/TVLCPlugin.h"
#include "player/engine/GstPlayerEngine.h"
#include "player/warm/WarmPlayerEngine.h"

#include <gtest/gtest.h>

// What the facts read from the pipeline playing say, on our box (H.264 and MPEG audio in one
// transport stream) and on a server sending each elementary stream on its own, tuned cold and
// handed over from a warm session.
namespace {

class StreamFactsOn : public ::testing::Test {
protected:
    void startPlayer() {
        auto engine = std::make_unique<WarmPlayerEngine>(std::make_unique<GstPlayerEngine>());
        warm = engine.get();
        control = std::make_unique<TVLCPlugin>(std::move(engine));
        control->resize(537, 329);
        control->show();
    }
    void tune(const QByteArray &address, const QByteArray &neighbour) {
        control->stop();
        control->addTarget(QString::fromLatin1(address), {"nooverlay"}, 1, 0);
        control->play();
        control->setNeighbours({QString::fromLatin1(neighbour)});
    }
    // Once the decoders have seen their streams and a few seconds were counted.
    StreamFacts settledFacts() {
        StreamFacts facts;
        waitUntil(
            [&] {
                facts = control->controller().streamFacts();
                return !facts.video.media.isEmpty() && !facts.sound.media.isEmpty() &&
                       facts.bitsPerSecond > 0 && facts.size.isValid();
            },
            20000);
        return facts;
    }
    struct Expected {
        QString video;
        QString sound;
        bool interlaced = false;
    };
    void expectFacts(const StreamFacts &facts, const QByteArray &address, const Expected &expected) {
        EXPECT_EQ(StreamFactsText::codecName(facts.video), expected.video) << facts.video.media;
        EXPECT_EQ(facts.interlaced, expected.interlaced) << address.constData();
        EXPECT_EQ(StreamFactsText::codecName(facts.sound), expected.sound) << facts.sound.media;
        EXPECT_GT(facts.size.width(), 0);
        EXPECT_GT(facts.frameRate, 0);
        EXPECT_GT(facts.soundChannels, 0);
        // The box's streams run at a few hundred kbit/s to a few Mbit/s.
        EXPECT_GT(facts.bitsPerSecond, 50000);
        EXPECT_LT(facts.bitsPerSecond, 50000000);
        EXPECT_EQ(facts.lostPackets, 0) << "loopback loses nothing";
        EXPECT_EQ(facts.address, QString::fromLatin1(address));
        EXPECT_EQ(StreamFactsText::lines(facts).last(),
                  "Décodeur : " + StreamFactsText::boxOf(QString::fromLatin1(address)));
    }
    void checkColdThenHandedOver(const QByteArray &first, const Expected &firstFacts,
                                 const QByteArray &second, const Expected &secondFacts) {
        tune(first, second);
        expectFacts(settledFacts(), first, firstFacts);
        ASSERT_TRUE(
            waitUntil([&] { return warm->warmAddresses().contains(QString::fromLatin1(second)); }, 15000));
        tune(second, first);
        ASSERT_TRUE(warm->lastPlayWasHandedOver());
        expectFacts(settledFacts(), second, secondFacts);
    }

    WarmPlayerEngine *warm = nullptr;
    std::unique_ptr<TVLCPlugin> control;
};

class StreamFactsOnOurBox : public StreamFactsOn {
protected:
    void SetUp() override {
        SetTopBox::Options options;
        // An interlaced channel with AC-3 sound beside the usual progressive ones.
        options.profiles = {{202, "hd-h264i"}};
        ASSERT_TRUE(box.start(options)) << box.error();
        startPlayer();
    }
    SetTopBox box;
};

TEST_F(StreamFactsOnOurBox, TellTheTransportStreamsFormatsRateAndTheBox) {
    checkColdThenHandedOver(box.address(201), {"H.264", "MPEG-1 Layer II", false}, box.address(202),
                            {"H.264", "AC-3", true});
}

class StreamFactsOnIndependentServer : public StreamFactsOn {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start(201)) << qPrintable(server.error());
        ASSERT_TRUE(server.publish(202)) << qPrintable(server.error());
        startPlayer();
    }
    IndependentRelay server;
};

TEST_F(StreamFactsOnIndependentServer, TellTheElementaryStreamsFormatsRateAndTheServer) {
    const Expected facts{"MPEG-2", "MPEG-1 Layer II", false};
    checkColdThenHandedOver(server.address(201), facts, server.address(202), facts);
}

} // namespace
