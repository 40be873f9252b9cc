#include "channels/RecordingPlan.h"

#include <algorithm>
#include <limits>
#include <utility>

using Mark = ProgrammeMarks::Mark;

namespace {

bool sameProgramme(const GuideProgramme &a, const GuideProgramme &b) {
    return a.start == b.start && a.title == b.title;
}

} // namespace

RecordingPlan::RecordingPlan(Recorder &recorder, std::function<qint64()> clock)
    : m_recorder(recorder), m_clock(std::move(clock)) {}

PlannedRecording *RecordingPlan::findMark(int row, const GuideProgramme &programme) {
    for (PlannedRecording &recording : m_recordings) {
        if (recording.row == row && sameProgramme(recording.programme, programme))
            return &recording;
    }
    return nullptr;
}

PlannedRecording *RecordingPlan::byId(int id) {
    return const_cast<PlannedRecording *>(std::as_const(*this).find(id));
}

const PlannedRecording *RecordingPlan::find(int id) const {
    const auto it = std::find_if(m_recordings.cbegin(), m_recordings.cend(),
                                 [id](const PlannedRecording &recording) { return recording.id == id; });
    return it == m_recordings.cend() ? nullptr : &*it;
}

Mark RecordingPlan::mark(int row, const GuideProgramme &programme) const {
    for (const PlannedRecording &recording : m_recordings) {
        if (recording.row == row && sameProgramme(recording.programme, programme))
            return recording.state;
    }
    return Mark::None;
}

bool RecordingPlan::toggle(int row, const GuideProgramme &programme) {
    if (PlannedRecording *marked = findMark(row, programme)) {
        if (marked->state == Mark::Recording)
            m_recorder.end(*marked);
        const int id = marked->id;
        m_recordings.removeIf([id](const PlannedRecording &recording) { return recording.id == id; });
        return false;
    }
    if (m_clock() >= endsAt(programme))
        return false;
    PlannedRecording recording;
    recording.id = m_nextId++;
    recording.row = row;
    recording.programme = programme;
    m_recordings.append(recording);
    poll();
    return true;
}

void RecordingPlan::poll() {
    const qint64 now = m_clock();
    // By id: the recorder may tell a failure while being told to begin, which changes the list.
    QList<int> ids;
    for (const PlannedRecording &recording : m_recordings)
        ids.append(recording.id);
    for (const int id : ids) {
        PlannedRecording *recording = byId(id);
        if (!recording || recording->done || recording->state == Mark::Failed)
            continue;
        const bool due = now >= beginsAt(recording->programme);
        const bool over = now >= endsAt(recording->programme);
        if (recording->begun && over)
            end(*recording);
        else if (!recording->begun && over)
            // Its whole time went by unseen (the computer slept): said, never passed over.
            recording->state = Mark::Failed;
        else if (!recording->begun && due)
            begin(*recording);
    }
}

void RecordingPlan::begin(PlannedRecording &recording) {
    recording.begun = true;
    recording.state = Mark::Recording;
    const PlannedRecording told = recording;
    m_recorder.begin(told);
}

void RecordingPlan::end(PlannedRecording &recording) {
    recording.done = true;
    // A programme recorded keeps its mark: the grid still shows it was set.
    recording.state = Mark::Planned;
    const PlannedRecording told = recording;
    m_recorder.end(told);
}

void RecordingPlan::failed(int id) {
    PlannedRecording *recording = byId(id);
    if (!recording || recording->done)
        return;
    recording->state = Mark::Failed;
}

void RecordingPlan::programmesChanged(const std::function<ChannelProgrammes(int row)> &programmesOf) {
    for (PlannedRecording &recording : m_recordings) {
        if (recording.done || recording.state == Mark::Failed)
            continue;
        const GuideProgramme &old = recording.programme;
        const GuideProgramme *nearest = nullptr;
        qint64 nearestGap = std::numeric_limits<qint64>::max();
        const ChannelProgrammes programmes = programmesOf(recording.row);
        for (const GuideProgramme &programme : programmes) {
            const qint64 gap = std::abs(programme.start - old.start);
            if (programme.title == old.title && gap <= kMoveSeconds && gap < nearestGap) {
                nearest = &programme;
                nearestGap = gap;
            }
        }
        // A programme the new guide no longer names keeps its time: recorded rather than lost.
        if (nearest)
            recording.programme = *nearest;
    }
    poll();
}
