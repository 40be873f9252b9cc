#pragma once

#include "channels/ProgrammeMarks.h"
#include "programmes/GuideProgramme.h"

#include <QList>

#include <functional>

// One programme marked for recording and where its recording stands.
struct PlannedRecording {
    int id = 0;
    // The channel's row in the lineup: its address is what is recorded, whatever is watched.
    int row = -1;
    GuideProgramme programme;
    ProgrammeMarks::Mark state = ProgrammeMarks::Mark::Planned;
    // Its recording was begun (and, once done, ended).
    bool begun = false;
    bool done = false;

    bool operator==(const PlannedRecording &) const = default;
};

// When each marked programme is recorded: from a minute before it to two minutes after it, so a
// programme starting early or running late is kept whole. Plain logic on a clock it is given (seconds
// since the epoch); whoever records is told to begin and end, and tells back a recording it could
// not make.
class RecordingPlan {
public:
    static constexpr qint64 kLeadSeconds = 60;
    static constexpr qint64 kTailSeconds = 120;
    // A programme the guide moved is found again by its title this close to where it was.
    static constexpr qint64 kMoveSeconds = 3 * 3600;

    class Recorder {
    public:
        virtual ~Recorder() = default;
        virtual void begin(const PlannedRecording &recording) = 0;
        virtual void end(const PlannedRecording &recording) = 0;
    };

    RecordingPlan(Recorder &recorder, std::function<qint64()> clock);

    static qint64 beginsAt(const GuideProgramme &programme) { return programme.start - kLeadSeconds; }
    static qint64 endsAt(const GuideProgramme &programme) { return programme.stop + kTailSeconds; }

    ProgrammeMarks::Mark mark(int row, const GuideProgramme &programme) const;
    // Marks the programme (one on now begins at once), or unmarks it (its recording under way
    // ends). A programme over, margin included, cannot be marked: false.
    bool toggle(int row, const GuideProgramme &programme);
    // Begins and ends whatever is due at the clock's time.
    void poll();
    // The guide was fetched anew: each mark not yet over follows its programme.
    void programmesChanged(const std::function<ChannelProgrammes(int row)> &programmesOf);
    // The recorder could not make the recording (or it broke): it is not tried again.
    void failed(int id);

    const PlannedRecording *find(int id) const;
    const QList<PlannedRecording> &recordings() const { return m_recordings; }

private:
    PlannedRecording *byId(int id);
    PlannedRecording *findMark(int row, const GuideProgramme &programme);
    void begin(PlannedRecording &recording);
    void end(PlannedRecording &recording);

    Recorder &m_recorder;
    std::function<qint64()> m_clock;
    QList<PlannedRecording> m_recordings;
    int m_nextId = 1;
};
