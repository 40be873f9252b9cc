// A recording set from the guide the box serves, made by the real recorder while the player shows
// another channel of the same box; the file is judged by ffprobe. The plan's clock runs twenty
// times faster than the wall's so that the margins before and after take seconds, not minutes.

#include "app/ScheduledRecordings.h"
#include "channels/ChannelLineup.h"
#include "player/TVLCPlugin.h"
#include "programmes/ProgrammeGuide.h"
#include "support/RecordingProbe.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr int kSpeed = 20;

Playlist playlistOf(QByteArray text) {
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    return Playlist::read(buffer);
}

TEST(ScheduledRecording, RecordsAProgrammeOfTheBoxsGuideWhileAnotherChannelPlays) {
    SetTopBox box;
    SetTopBox::Options options;
    options.channels = {201, 202, 203};
    options.guideProgrammeSeconds = 20;
    ASSERT_TRUE(box.start(options)) << qPrintable(box.error());
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());

    ProgrammeGuide guide;
    ChannelLineup lineup(&guide);
    lineup.setPlaylist(playlistOf(box.playlist()));
    ASSERT_EQ(lineup.count(), 3);
    ASSERT_TRUE(waitUntil([&] { return !lineup.programmes(2).isEmpty(); }, 30000));

    TVLCPlugin player(PlayerController::gstreamerEngine());
    player.addTarget(QString::fromUtf8(box.address(202)), {}, 0, 0);
    player.play();
    ASSERT_TRUE(waitUntil([&] { return player.controller().isPlaying(); }, 30000));

    const qint64 wallNow = QDateTime::currentSecsSinceEpoch();
    GuideProgramme next;
    for (const GuideProgramme &p : lineup.programmes(2)) {
        if (p.start > wallNow) {
            next = p;
            break;
        }
    }
    ASSERT_FALSE(next.title.isEmpty());
    // The plan's time starts just before the programme's margin.
    QElapsedTimer wall;
    wall.start();
    const qint64 origin = RecordingPlan::beginsAt(next) - 10;
    QStringList notices;
    ScheduledRecordings::Player hooks;
    hooks.folder = [&] { return folder.path(); };
    hooks.reserveBox = [&](const QString &address) { player.controller().reserveBox(address); };
    hooks.releaseBox = [&](const QString &address) { player.controller().releaseBox(address); };
    hooks.notice = [&](const QString &text) { notices.append(text); };
    hooks.watchedRow = [] { return 1; };
    hooks.watchRow = [](int) { ADD_FAILURE() << "the player was taken"; };
    ScheduledRecordings recordings(lineup, PlayerController::loadedRecorder(), hooks,
                                   [&] { return origin + wall.elapsed() * kSpeed / 1000; });
    QString finishedPath;
    bool finishedOk = false;
    QObject::connect(&recordings, &ScheduledRecordings::recordingFinished, [&](const QString &path, bool ok) {
        finishedPath = path;
        finishedOk = ok;
    });

    recordings.toggle(2, next);
    EXPECT_EQ(recordings.mark(2, next), ProgrammeMarks::Mark::Planned);
    ASSERT_TRUE(
        waitUntil([&] { return recordings.mark(2, next) == ProgrammeMarks::Mark::Recording; }, 10000));
    const QString path = recordings.pathOf(2, next);
    const QString expectedName =
        QStringLiteral("%1 - %2 - %3.mpg")
            .arg(lineup.title(2).name, next.title,
                 QDateTime::fromSecsSinceEpoch(next.start).toLocalTime().toString("yyyy-MM-dd HH'h'mm"));
    EXPECT_EQ(QFileInfo(path).fileName(), expectedName);
    EXPECT_TRUE(waitUntil([&] { return QFileInfo(path).size() > 0; }, 15000));
    // It ends by itself, two minutes of the plan's time after the programme.
    ASSERT_TRUE(waitUntil([&] { return !finishedPath.isEmpty(); }, 60000));
    EXPECT_TRUE(finishedOk);
    EXPECT_EQ(finishedPath, path);
    EXPECT_EQ(recordings.mark(2, next), ProgrammeMarks::Mark::Planned);
    EXPECT_TRUE(notices.isEmpty()) << qPrintable(notices.join('\n'));
    EXPECT_TRUE(player.controller().isPlaying());

    const RecordingProbe probe = RecordingProbe::of(path);
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.format, QStringLiteral("mpeg"));
    EXPECT_FALSE(probe.video.isEmpty());
    EXPECT_GE(probe.soundTracks, 1);
    const double expectedSeconds =
        double(RecordingPlan::endsAt(next) - RecordingPlan::beginsAt(next)) / kSpeed;
    EXPECT_NEAR(probe.duration, expectedSeconds, 3.0);
}

} // namespace
