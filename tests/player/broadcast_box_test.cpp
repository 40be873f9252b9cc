#include "QtPrinting.h"
#include "RecordingRun.h"
#include "support/RecordingProbe.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include "player/TVLCPlugin.h"

#include <gtest/gtest.h>

// The real player against the simulated box sending broadcast streams, with the transports a real
// box may refuse.
namespace {

class BroadcastBox : public ::testing::Test {
protected:
    void start(const QStringList &arguments) {
        SetTopBox::Options options;
        options.channels = QList<int>() << 201;
        options.profile = QStringLiteral("broadcast");
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

} // namespace
