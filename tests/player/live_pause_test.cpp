// Pausing and moving through the channel watched, on the engine the program plays with, against
// both kinds of server: what is shown after each command, told apart by content (on our box, where
// every picture differs, each picture shown is matched with the same one decoded live) and by the
// channel's colour.
#include "support/IndependentRelay.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/PlayerController.h"
#include "player/TVLCPlugin.h"
#include "player/timeshift/ShiftControl.h"
#include "player/timeshift/ShiftingEngine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Shown {
    qint64 atMs;
    // When the same picture was decoded live; -1 when it never was (or nobody looks).
    qint64 liveMs;
    int channel;
};

QByteArray hashOf(const QImage &image) {
    return QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes()),
        QCryptographicHash::Md5);
}

// The player as the program builds it, keeping into a cache folder of its own, with every picture
// it shows and every one its live stream decodes noted.
class PausingPlayer {
public:
    explicit PausingPlayer(QList<int> channels) : m_channels(std::move(channels)) {
        qputenv("XDG_CACHE_HOME", m_cache.path().toUtf8());
        auto engine = PlayerController::gstreamerEngine();
        auto *shifting = static_cast<ShiftingEngine *>(engine.get());
        m_control = std::make_unique<TVLCPlugin>(std::move(engine));
        m_clock.start();
        QObject::connect(&shifting->live(), &PlayerEngine::frameReady,
                         [this](const QImage &frame, qreal) { m_liveAt.insert(hashOf(frame), m_clock.elapsed()); });
        QObject::connect(&m_control->controller(), &PlayerController::pictureReady, [this](const QImage &frame, qreal) {
            const QRgb colour = averageColour(frame, QRect(frame.width() - 40, frame.height() / 2, 20, 20));
            m_shown.append({m_clock.elapsed(), -1, channelOfColour(colour, m_channels)});
            m_hashes.append(hashOf(frame));
        });
        QObject::connect(m_control->shift(), &ShiftControl::wentLive, [this] { ++m_wentLive; });
    }

    ShiftControl &shift() { return *m_control->shift(); }
    void play(const QByteArray &address) {
        m_control->addTarget(QString::fromUtf8(address), {}, 0, 0);
        m_control->play();
    }
    qint64 now() const { return m_clock.elapsed(); }
    Shown placed(qsizetype i) const {
        Shown shown = m_shown.at(i);
        shown.liveMs = m_liveAt.value(m_hashes.at(i), -1);
        return shown;
    }
    // The first picture shown at or after ms, waiting for it.
    std::optional<Shown> firstFrom(qint64 ms, int timeoutMs = 5000) {
        std::optional<Shown> found;
        waitUntil(
            [&] {
                for (qsizetype i = 0; i < m_shown.size(); ++i) {
                    if (m_shown.at(i).atMs >= ms) {
                        found = placed(i);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }
    std::optional<Shown> lastBefore(qint64 ms) const {
        std::optional<Shown> found;
        for (qsizetype i = 0; i < m_shown.size() && m_shown.at(i).atMs < ms; ++i)
            found = placed(i);
        return found;
    }
    int shownBetween(qint64 fromMs, qint64 toMs) const {
        return int(std::count_if(m_shown.cbegin(), m_shown.cend(),
                                 [&](const Shown &shown) { return shown.atMs >= fromMs && shown.atMs < toMs; }));
    }
    bool allOf(int channel, qint64 fromMs) const {
        return std::all_of(m_shown.cbegin(), m_shown.cend(),
                           [&](const Shown &shown) { return shown.atMs < fromMs || shown.channel == channel; });
    }
    QDir cache() const { return QDir(m_cache.path()); }
    QString status() const { return m_control->statusText(); }
    int wentLive() const { return m_wentLive; }

private:
    QTemporaryDir m_cache;
    QList<int> m_channels;
    std::unique_ptr<TVLCPlugin> m_control;
    QElapsedTimer m_clock;
    QHash<QByteArray, qint64> m_liveAt;
    QList<Shown> m_shown;
    // Each picture shown's content; a live one is noted as decoded just after it is shown.
    QList<QByteArray> m_hashes;
    int m_wentLive = 0;
};

// Pause, resume, 10 s back, End, then a pause over which another channel is chosen; matched says
// whether each picture shown can be placed in time by the live one it equals.
void pauseAndMove(PausingPlayer &player, const QByteArray &first, const QByteArray &second, bool matched) {
    player.play(first);
    ASSERT_TRUE(player.firstFrom(0, 20000)) << "no picture";
    waitUntil([] { return false; }, 13000);

    const qint64 paused = player.now();
    player.shift().pause();
    waitUntil([] { return false; }, 1300);
    EXPECT_EQ(player.shownBetween(paused + 300, player.now()), 0) << "the picture moved while paused";
    EXPECT_TRUE(player.shift().position().paused);
    EXPECT_GE(player.shift().position().behindMs, 1000);
    EXPECT_GE(player.shift().position().keptMs, 12000);

    const std::optional<Shown> held = player.lastBefore(paused + 300);
    const qint64 resumed = player.now();
    player.shift().resume();
    const std::optional<Shown> next = player.firstFrom(resumed);
    ASSERT_TRUE(held && next) << "nothing shown after the resume";
    if (matched) {
        ASSERT_GE(next->liveMs, 0) << "a picture live never showed";
        EXPECT_NEAR(double(next->liveMs), double(held->liveMs), 500) << "not where the pause held";
    }

    waitUntil([] { return false; }, 1000);
    const std::optional<Shown> before = player.lastBefore(player.now());
    const qint64 back = player.now();
    player.shift().seekBy(-10000);
    const std::optional<Shown> landed = player.firstFrom(back);
    ASSERT_TRUE(before && landed) << "nothing shown after 10 s back";
    if (matched) {
        const qint64 aimed = before->liveMs + (back - before->atMs) - 10000;
        EXPECT_GE(landed->liveMs, aimed - 100) << "a picture from before the point jumped to";
        EXPECT_LE(landed->liveMs, aimed + 1000);
    }
    EXPECT_GE(player.shift().position().behindMs, 10000);

    waitUntil([] { return false; }, 1000);
    const qint64 live = player.now();
    player.shift().toLive();
    const std::optional<Shown> atLive = player.firstFrom(live);
    ASSERT_TRUE(atLive) << "nothing shown at End";
    if (matched) {
        EXPECT_GE(atLive->liveMs, live - 300) << "End showed a picture older than live";
    }
    EXPECT_EQ(player.shift().position().behindMs, 0);
    EXPECT_EQ(player.wentLive(), 1);

    // A change of channel over a pause plays the new channel live.
    player.shift().pause();
    const qint64 changed = player.now();
    player.play(second);
    ASSERT_TRUE(player.firstFrom(changed, 15000)) << "the second channel shows nothing";
    EXPECT_FALSE(player.shift().position().paused);
    EXPECT_EQ(player.shift().position().behindMs, 0);
    EXPECT_TRUE(player.allOf(202, changed + 100)) << "a picture of another channel after the change";
    // Files only: the servers' GStreamer keeps its registry in a folder there.
    const QStringList named = player.cache().entryList(QDir::Files | QDir::Hidden);
    EXPECT_TRUE(named.isEmpty()) << "what is kept has a name in the cache folder: "
                                 << named.join(' ').toStdString();
}

TEST(LivePauseOnOurBox, PauseResumeTenSecondsBackAndEndShowTheRightPicturesAndAChangeGoesLive) {
    SetTopBox box;
    SetTopBox::Options options;
    options.channels = {201, 202};
    ASSERT_TRUE(box.start(options)) << qPrintable(box.error());
    PausingPlayer player({201, 202});
    pauseAndMove(player, box.address(201), box.address(202), true);
}

TEST(LivePauseOnOurBox, AStreamCutBehindLivePlaysWhatIsKeptToItsEndThenSaysSoAndIsTriedAgain) {
    SetTopBox box;
    SetTopBox::Options options;
    options.channels = {201};
    ASSERT_TRUE(box.start(options)) << qPrintable(box.error());
    PausingPlayer player({201});
    player.play(box.address(201));
    ASSERT_TRUE(player.firstFrom(0, 20000)) << "no picture";
    waitUntil([] { return false; }, 9000);
    const qint64 back = player.now();
    player.shift().seekBy(-6000);
    ASSERT_TRUE(player.firstFrom(back));

    const qint64 cut = player.now();
    ASSERT_TRUE(box.freeze(201));
    ASSERT_TRUE(waitUntil([&] { return !player.status().isEmpty(); }, 30000)) << "the cut is never told";
    const qint64 told = player.now();
    EXPECT_GE(told - cut, 4000) << "told before what was kept had played";
    EXPECT_GT(player.shownBetween(cut + 2000, cut + 4000), 0) << "what was kept stopped playing at the cut";
    EXPECT_EQ(player.shift().position().behindMs, 0);

    ASSERT_TRUE(box.resume(201));
    EXPECT_TRUE(player.firstFrom(player.now(), 30000)) << "not tried again";
    EXPECT_TRUE(waitUntil([&] { return player.status().isEmpty(); }, 10000)) << qPrintable(player.status());
}

TEST(LivePauseOnIndependentServer, PauseResumeTenSecondsBackAndEndPlayTheChannelAndAChangeGoesLive) {
    IndependentRelay relay;
    ASSERT_TRUE(relay.start(201) && relay.publish(202)) << qPrintable(relay.error());
    PausingPlayer player({201, 202});
    pauseAndMove(player, relay.address(201), relay.address(202), false);
}

} // namespace
