// Recordings set from the guide the box serves, made by the real recorder while the player shows
// another channel of the same box; the files are judged by ffprobe. The plan's clock runs faster
// than the wall's so that the margins before and after take seconds, not minutes.

#include "app/ScheduledRecordings.h"
#include "channels/ChannelLineup.h"
#include "channels/RecordingFileName.h"
#include "forms/RecordCommand.h"
#include "player/TVLCPlugin.h"
#include "player/TuneSequence.h"
#include "programmes/ProgrammeGuide.h"
#include "support/RecordingProbe.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

using Mark = ProgrammeMarks::Mark;

Playlist playlistOf(QByteArray text) {
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    return Playlist::read(buffer);
}

class ScheduledRecordingTest : public ::testing::Test {
protected:
    // A box of channels 201 to 203 giving sessions (0: any number), its guide read, the player
    // watching 202.
    void startBox(int sessions) {
        SetTopBox::Options options;
        options.channels = {201, 202, 203};
        options.guideProgrammeSeconds = 20;
        if (sessions > 0)
            options.arguments = {QStringLiteral("--max-sessions"), QString::number(sessions)};
        ASSERT_TRUE(box.start(options)) << qPrintable(box.error());
        ASSERT_TRUE(folder.isValid());
        lineup.setPlaylist(playlistOf(box.playlist()));
        ASSERT_EQ(lineup.count(), 3);
        ASSERT_TRUE(waitUntil([&] { return !lineup.programmes(2).isEmpty(); }, 30000));
        watch(1);
        ASSERT_TRUE(waitUntil([&] { return player.controller().isPlaying(); }, 30000));
        const qint64 wallNow = QDateTime::currentSecsSinceEpoch();
        for (const GuideProgramme &p : lineup.programmes(2)) {
            if (p.start > wallNow) {
                next = p;
                break;
            }
        }
        ASSERT_FALSE(next.title.isEmpty());
    }

    void watch(int row) {
        watched = row;
        player.addTarget(QString::fromUtf8(lineup.address(row)), {}, 0, 0);
        player.play();
    }

    // The plan's time runs speed times the wall's, from just before the programme's margin.
    void startPlan(int speed) {
        wall.start();
        const qint64 origin = RecordingPlan::beginsAt(next) - 10;
        ScheduledRecordings::Player hooks;
        hooks.folder = [&] { return folder.path(); };
        hooks.reserveBox = [&](const QString &address) { player.controller().reserveBox(address); };
        hooks.releaseBox = [&](const QString &address) { player.controller().releaseBox(address); };
        hooks.notice = [&](const QString &text) { notices.append(text); };
        hooks.watchedRow = [&] { return watched; };
        hooks.watchRow = [&](int row) { watch(row); };
        hooks.recordInstead = [&](int row, const QString &path) {
            watched = row;
            runTuneSequence(player, lineup.address(row), RecordCommand::options(path), false);
        };
        recordings = std::make_unique<ScheduledRecordings>(
            lineup, PlayerController::loadedRecorder(), hooks,
            [this, origin, speed] { return origin + wall.elapsed() * speed / 1000; });
        QObject::connect(&player, &TVLCPlugin::recordingFinished, recordings.get(),
                         [this](const QString &path, bool ok, const QString &) {
                             recordings->playerRecordingFinished(path, ok);
                         });
        QObject::connect(recordings.get(), &ScheduledRecordings::recordingFinished,
                         [this](const QString &path, bool ok) {
                             finishedPath = path;
                             finishedOk = ok;
                         });
    }

    // The guide's titles change with the hour and some carry a ':', which a name cannot.
    QString expectedName() const {
        return QStringLiteral("%1 - %2 - %3.mpg")
            .arg(RecordingFileName::cleaned(lineup.title(2).name), RecordingFileName::cleaned(next.title),
                 QDateTime::fromSecsSinceEpoch(next.start).toLocalTime().toString("yyyy-MM-dd HH'h'mm"));
    }

    SetTopBox box;
    QTemporaryDir folder;
    ProgrammeGuide guide;
    ChannelLineup lineup{&guide};
    TVLCPlugin player{PlayerController::gstreamerEngine()};
    int watched = -1;
    GuideProgramme next;
    QElapsedTimer wall;
    QStringList notices;
    std::unique_ptr<ScheduledRecordings> recordings;
    QString finishedPath;
    bool finishedOk = false;
};

TEST_F(ScheduledRecordingTest, RecordsAProgrammeOfTheBoxsGuideWhileAnotherChannelPlays) {
    constexpr int kSpeed = 20;
    ASSERT_NO_FATAL_FAILURE(startBox(0));
    startPlan(kSpeed);
    recordings->toggle(2, next);
    EXPECT_EQ(recordings->mark(2, next), Mark::Planned);
    ASSERT_TRUE(waitUntil([&] { return recordings->mark(2, next) == Mark::Recording; }, 10000));
    const QString path = recordings->pathOf(2, next);
    EXPECT_EQ(QFileInfo(path).fileName(), expectedName());
    EXPECT_TRUE(waitUntil([&] { return QFileInfo(path).size() > 0; }, 15000));
    // It ends by itself, two minutes of the plan's time after the programme.
    ASSERT_TRUE(waitUntil([&] { return !finishedPath.isEmpty(); }, 60000));
    EXPECT_TRUE(finishedOk);
    EXPECT_EQ(finishedPath, path);
    EXPECT_EQ(recordings->mark(2, next), Mark::Planned);
    EXPECT_TRUE(notices.isEmpty()) << qPrintable(notices.join('\n'));
    EXPECT_EQ(watched, 1);
    EXPECT_TRUE(player.controller().isPlaying());

    const RecordingProbe probe = RecordingProbe::of(path);
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.format, QStringLiteral("mpeg"));
    EXPECT_FALSE(probe.video.isEmpty());
    EXPECT_GE(probe.soundTracks, 1);
    EXPECT_NEAR(probe.duration, double(RecordingPlan::endsAt(next) - RecordingPlan::beginsAt(next)) / kSpeed,
                3.0);
}

TEST_F(ScheduledRecordingTest, OnABoxOfOneSessionTheRecordingTakesThePlayersAndGivesItBack) {
    constexpr int kSpeed = 5;
    ASSERT_NO_FATAL_FAILURE(startBox(1));
    startPlan(kSpeed);
    recordings->toggle(2, next);
    ASSERT_TRUE(waitUntil([&] { return !notices.isEmpty(); }, 30000));
    EXPECT_EQ(notices.first(), QStringLiteral("Enregistrement de « %1 » : passage sur 203").arg(next.title));
    EXPECT_EQ(watched, 2);
    EXPECT_EQ(recordings->mark(2, next), Mark::Recording);
    ASSERT_TRUE(waitUntil([&] { return !finishedPath.isEmpty(); }, 90000));
    EXPECT_TRUE(finishedOk);
    EXPECT_EQ(QFileInfo(finishedPath).fileName(), expectedName());
    EXPECT_EQ(notices.size(), 1) << qPrintable(notices.join('\n'));
    // The player shows the recorded channel live once its recording is over.
    EXPECT_TRUE(waitUntil([&] { return player.controller().isPlaying(); }, 30000));

    const RecordingProbe probe = RecordingProbe::of(finishedPath);
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.format, QStringLiteral("mpeg"));
    // Begun a few seconds late, after the box refused it a session, it still holds the programme whole.
    EXPECT_GE(probe.duration, double(RecordingPlan::endsAt(next) - next.start) / kSpeed - 2.0);
}

TEST_F(ScheduledRecordingTest, EndingTheProgramDuringARecordingFinishesItsFile) {
    ASSERT_NO_FATAL_FAILURE(startBox(0));
    startPlan(1);
    recordings->toggle(2, next);
    ASSERT_TRUE(waitUntil([&] { return recordings->mark(2, next) == Mark::Recording; }, 20000));
    const QString path = recordings->pathOf(2, next);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(path).size() > 100000; }, 20000));
    recordings.reset();

    const RecordingProbe probe = RecordingProbe::of(path);
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.format, QStringLiteral("mpeg"));
    EXPECT_GT(probe.duration, 0.5);
}

} // namespace
