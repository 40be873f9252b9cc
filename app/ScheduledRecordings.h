#pragma once

#include "channels/ProgrammeMarks.h"
#include "channels/RecordingPlan.h"
#include "player/recording/RecordingSession.h"

#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class ChannelLineup;

// The recordings set from the guide: each marked programme recorded on its own channel, in a
// session of the box of its own, whatever is watched. A box with no session left for it (one
// session, the player on another channel) is taken from the player: the recording wins. Marks live
// while the program runs; files still being written are finished on the way out.
class ScheduledRecordings : public ProgrammeMarks, private RecordingPlan::Recorder {
    Q_OBJECT
public:
    // What it needs of the player and the windows.
    struct Player {
        // The folder recordings go to.
        std::function<QString()> folder;
        // No warm neighbour takes a session on the box of address until released.
        std::function<void(const QString &address)> reserveBox;
        std::function<void(const QString &address)> releaseBox;
        // A line over the picture for 5 s.
        std::function<void(const QString &text)> notice;
        // The row watched (-1: none); watching a row live.
        std::function<int()> watchedRow;
        std::function<void(int row)> watchRow;
        // Records row into path through the player's own session, the player showing that row.
        std::function<void(int row, const QString &path)> recordInstead;
    };

    ScheduledRecordings(const ChannelLineup &lineup, RecordingSession::EngineFactory makeRecorder,
                        Player player, std::function<qint64()> clock = nullptr, QObject *parent = nullptr);
    ~ScheduledRecordings() override;

    Mark mark(int row, const GuideProgramme &programme) const override;
    void toggle(int row, const GuideProgramme &programme) override;

    // The player's own recording of path finished (its file is complete).
    void playerRecordingFinished(const QString &path, bool ok);
    // The file of a recording under way or done, by its programme; empty when there is none.
    QString pathOf(int row, const GuideProgramme &programme) const;

signals:
    // A recording's file is complete: ended on time (ok), unmarked, or broken.
    void recordingFinished(const QString &path, bool ok);

private:
    struct Active;

    void begin(const PlannedRecording &recording) override;
    void end(const PlannedRecording &recording) override;
    void startOwn(Active &active);
    void onFinished(int id, const QString &path, bool ok);
    void refused(Active &active);
    // The mark turns to a failure; notice, when given, is shown over the picture.
    void fail(Active &active, const QString &notice);
    void release(int id);
    Active *activeOf(int id) const;

    const ChannelLineup &m_lineup;
    RecordingSession::EngineFactory m_makeRecorder;
    Player m_player;
    RecordingPlan m_plan;
    std::map<int, std::unique_ptr<Active>> m_active;
    // Each mark's file, kept once named so that the grid can tell where a recording went.
    std::map<int, QString> m_paths;
    QTimer m_tick;
};
