#include "QtPrinting.h"
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
    bool finished = false, ok = false;
    QString message;
    QObject::connect(control.get(), &TVLCPlugin::recordingFinished,
                     [&](const QString &, bool good, const QString &why) {
                         finished = true;
                         ok = good;
                         message = why;
                     });
    qint64 written = 0;
    QObject::connect(control.get(), &TVLCPlugin::recordingProgress,
                     [&](qint64, qint64 bytes) { written = bytes; });
    control->addTarget(
        QString::fromLatin1(box.address(201)),
        {QStringLiteral(":sout=#transcode{vcodec=mp2v,vb=3072,acodec=mpga,ab=192}:standard{mux=ps,"
                        "url=\"%1\",access=file}")
             .arg(file)},
        1, 0);
    control->play();
    ASSERT_TRUE(waitUntil([&] { return written > 200000 || finished; }, 30000)) << control->statusText();
    ASSERT_FALSE(finished) << message.toStdString();
    control->stop();
    ASSERT_TRUE(waitUntil([&] { return finished; }, 15000));
    EXPECT_TRUE(ok) << message.toStdString();
    EXPECT_EQ(RecordingProbe::of(file).video["codec_name"].toString(), "mpeg2video");
}

} // namespace
