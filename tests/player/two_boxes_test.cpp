#include "PlayerLogLines.h"
#include "QtPrinting.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"
#include "player/engine/GstPlayerEngine.h"
#include "player/warm/WarmPlayerEngine.h"

#include <QLoggingCategory>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <mutex>

// A playlist mixing the channels of two boxes, one of them of one session: each box keeps its own
// count of sessions, and what one box refuses or lends never costs the other a warm neighbour.
namespace {

// The box refusals of warm sessions the player logged.
QStringList refusalsIn(const PlayerLogLines &log) {
    return log.startingWith(QLatin1String("warm")).filter(QLatin1String("refused with"));
}

class TwoBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(large.start()) << large.error();
        SetTopBox::Options one;
        one.channels = QList<int>() << 201 << 202;
        one.arguments = {"--max-sessions", "1"};
        ASSERT_TRUE(single.start(one)) << single.error();
        // Rows 0 to 4: the large box's 201 and 202, the single-session box's 201 and 202, the large one's
        // 203.
        rows = {{large.address(201), 201},
                {large.address(202), 202},
                {single.address(201), 201},
                {single.address(202), 202},
                {large.address(203), 203}};
        auto engine = std::make_unique<WarmPlayerEngine>(std::make_unique<GstPlayerEngine>());
        warm = engine.get();
        control = std::make_unique<TVLCPlugin>(std::move(engine));
        control->resize(537, 329);
        control->show();
        QObject::connect(control.get(), &TVLCPlugin::statusChanged, [this](const QString &text) {
            if (!text.isEmpty() && text != "Connexion en cours…" && !text.startsWith("Enregistrement : "))
                failures << text;
        });
    }

    QString addressOf(int row) const {
        return row < 0 || row >= rows.size() ? QString() : QString::fromLatin1(rows[row].first);
    }
    // Plays row as the list window does, offering the rows after and before it.
    void tune(int row) {
        tuned = row;
        control->stop();
        control->addTarget(addressOf(row), {"nooverlay"}, 1, 0);
        control->play();
        control->setNeighbours({addressOf(row + 1), addressOf(row - 1)});
    }
    bool shows(int row) {
        const QRgb centre = averageColour(control->grab().toImage(), QRect(200, 20, 137, 40));
        return control->statusText().isEmpty() && looksLikeChannel(centre, rows[row].second);
    }
    bool isWarm(int row) { return warm->warmAddresses().contains(addressOf(row)); }
    int heldBySingle() { return single.sessions().held; }

    SetTopBox large, single;
    QList<QPair<QByteArray, int>> rows;
    WarmPlayerEngine *warm = nullptr;
    std::unique_ptr<TVLCPlugin> control;
    int tuned = -1;
    QStringList failures;
};

TEST_F(TwoBoxes, StepsStayWarmWhereABoxHasRoomAndARecordingOnOneLeavesTheOthersNeighbours) {
    const PlayerLogLines log("halcyon.player.info=true", QtWarningMsg);
    // On the large box, between a neighbour on each box: both warm, the single box's one session
    // going to its neighbour.
    tune(1);
    ASSERT_TRUE(waitUntil([&] { return shows(1); }, 15000)) << control->statusText();
    ASSERT_TRUE(waitUntil([&] { return isWarm(0) && isWarm(2); }, 10000));
    EXPECT_EQ(heldBySingle(), 1);

    // A step onto the single box: handed over. Its next row there is refused once, which teaches
    // its limit; the channel left on the large box stays warm all the same.
    tune(2);
    EXPECT_TRUE(warm->lastPlayWasHandedOver());
    ASSERT_TRUE(waitUntil([&] { return shows(2); }, 5000)) << control->statusText();
    ASSERT_TRUE(waitUntil([&] { return !refusalsIn(log).isEmpty(); }, 10000));
    waitUntil([] { return false; }, 1500);
    EXPECT_TRUE(isWarm(1)) << "the single box's refusal cost the large box a warm neighbour";
    EXPECT_FALSE(isWarm(3));
    EXPECT_LE(warm->sessionsOpenOn(addressOf(2)), 1);

    // Back to the large box, and on to the single box's other channel by a click: that one waits
    // for the box's one session to be given up, and is never refused.
    tune(1);
    EXPECT_TRUE(warm->lastPlayWasHandedOver());
    ASSERT_TRUE(waitUntil([&] { return shows(1); }, 5000)) << control->statusText();
    ASSERT_TRUE(waitUntil([&] { return isWarm(2); }, 10000));
    tune(3);
    ASSERT_TRUE(waitUntil([&] { return shows(3); }, 15000)) << control->statusText();
    ASSERT_TRUE(waitUntil([&] { return isWarm(4); }, 10000));
    EXPECT_EQ(warm->sessionsOpenOn(addressOf(3)), 1);
    EXPECT_FALSE(isWarm(2)) << "the single box's one session is the watched channel's";

    // Recorded from the single box: the player gives that box up, and the large box's warm
    // neighbour is neither closed nor opened again meanwhile.
    const int requested = warm->sessionsRequested();
    QTemporaryDir folder;
    qint64 written = 0;
    QObject::connect(control.get(), &TVLCPlugin::recordingProgress,
                     [&](qint64, qint64 bytes) { written = bytes; });
    control->addTarget(addressOf(2),
                       {QStringLiteral(":sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{"
                                       "mux=ps,url=\"%1\",access=file}")
                            .arg(folder.filePath("201.mpg"))},
                       1, 0);
    control->play();
    ASSERT_TRUE(waitUntil([&] { return written > 50000; }, 30000)) << control->statusText();
    EXPECT_TRUE(isWarm(4));
    EXPECT_EQ(warm->sessionsRequested(), requested);
    EXPECT_EQ(warm->sessionsOpenOn(addressOf(2)), 0);

    // The step after the recording finds that neighbour warm.
    tune(4);
    EXPECT_TRUE(warm->lastPlayWasHandedOver());
    ASSERT_TRUE(waitUntil([&] { return shows(4); }, 5000)) << control->statusText();

    // One refusal in all, from the single box, the one that taught its limit.
    const QStringList refusals = refusalsIn(log);
    ASSERT_EQ(refusals.size(), 1) << refusals.join("\n").toStdString();
    EXPECT_TRUE(refusals.first().contains(QString::number(single.port()))) << refusals.first().toStdString();
    EXPECT_TRUE(failures.isEmpty()) << failures.join(" | ").toStdString();
}

} // namespace
