#include "QtPrinting.h"
#include "RecordingRun.h"
#include "support/RecordingProbe.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"

#include <QLoggingCategory>

#include <gtest/gtest.h>

// The real player against the simulated box sending broadcast streams, with the transports a real
// box may refuse.
namespace {

class BroadcastBox : public ::testing::Test {
protected:
    void start(const QStringList &arguments, const QString &profile = QStringLiteral("broadcast")) {
        SetTopBox::Options options;
        options.channels = QList<int>() << 201;
        options.profile = profile;
        options.arguments = arguments;
        ASSERT_TRUE(box.start(options)) << box.error();
        control = std::make_unique<TVLCPlugin>();
        control->resize(537, 329);
        control->show();
    }

    bool shows201() {
        return control->statusText().isEmpty() &&
               looksLikeChannel(averageColour(control->grab().toImage(), QRect(200, 20, 137, 40)), 201);
    }

    SetTopBox box;
    std::unique_ptr<TVLCPlugin> control;
};

TEST_F(BroadcastBox, PlaysOverTcpWhenTheBoxRefusesUdp) {
    start({"--transport", "tcp"});
    control->addTarget(QString::fromLatin1(box.address(201)), {"nooverlay"}, 1, 0);
    control->play();
    EXPECT_TRUE(waitUntil([&] { return shows201(); }, 20000)) << control->statusText();
}

TEST_F(BroadcastBox, RecordsOverUdpWhenTheBoxRefusesTcp) {
    start({"--transport", "udp"});
    QTemporaryDir folder;
    const QString file = folder.filePath("201.mpg");
    ASSERT_NO_FATAL_FAILURE(recordForAWhile(*control, box.address(201), file));
    EXPECT_EQ(RecordingProbe::of(file).video["codec_name"].toString(), "mpeg2video");
}

// What the player says it plays, from its own log.
QStringList s_playerLog;
void keepPlayerLog(QtMsgType, const QMessageLogContext &context, const QString &text) {
    if (context.category && QByteArray(context.category) == "halcyon.player")
        s_playerLog.append(text);
}

TEST_F(BroadcastBox, PlaysTheFirstSoundTrackWhichIsFrench) {
    QLoggingCategory::setFilterRules(QStringLiteral("halcyon.player.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(&keepPlayerLog);
    start({}, QStringLiteral("two-audio"));
    control->addTarget(QString::fromLatin1(box.address(201)), {"nooverlay"}, 1, 0);
    control->play();
    const auto told = [] { return s_playerLog.filter(QStringLiteral("sound: track")).value(0); };
    EXPECT_TRUE(waitUntil([&] { return !told().isEmpty(); }, 20000)) << s_playerLog.join('\n').toStdString();
    EXPECT_EQ(told(), QStringLiteral("sound: track 1 of 2 in fr"));
    // The subtitles beside the two tracks do not hold the picture back.
    EXPECT_TRUE(waitUntil([&] { return shows201(); }, 20000)) << control->statusText();
    control->stop();
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
}

} // namespace
