#include "app/ScheduledRecordings.h"

#include "channels/ChannelLineup.h"
#include "channels/RecordingFileName.h"
#include "forms/RecordCommand.h"
#include "player/PlayerLog.h"
#include "player/TuneSequence.h"
#include "player/warm/Boxes.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// A box refuses a session while the warm ones given back are still closing: it is asked again
// every second this many times before the recording takes the player's session or is given up.
constexpr int kRefusalTries = 5;
constexpr int kRetryMs = 1000;
constexpr int kNoticeMs = 5000;
// The plan is looked at this often: a recording begins and ends within a second of its time.
constexpr int kTickMs = 500;

QString interruptedNotice(const QString &title) {
    return QStringLiteral("Enregistrement interrompu : « %1 »").arg(title);
}

} // namespace

struct ScheduledRecordings::Active {
    int id = 0;
    int row = -1;
    QString title;
    QString address;
    QString path;
    std::unique_ptr<RecordingSession> session;
    int refusals = 0;
    bool progressed = false;
    // Recorded by the player's own session, the box having none left for another.
    bool viaPlayer = false;
    bool ending = false;
};

ScheduledRecordings::ScheduledRecordings(const ChannelLineup &lineup,
                                         RecordingSession::EngineFactory makeRecorder, Player player,
                                         std::function<qint64()> clock, QObject *parent)
    : ProgrammeMarks(parent), m_lineup(lineup), m_makeRecorder(std::move(makeRecorder)),
      m_player(std::move(player)),
      m_plan(
          *this, clock ? std::move(clock) : [] { return QDateTime::currentSecsSinceEpoch(); }) {
    m_tick.setInterval(kTickMs);
    connect(&m_tick, &QTimer::timeout, this, [this] {
        const QList<PlannedRecording> before = m_plan.recordings();
        m_plan.poll();
        if (before != m_plan.recordings())
            emit changed();
    });
    m_tick.start();
    connect(&lineup, &ChannelLineup::programmesChanged, this, [this] {
        m_plan.programmesChanged([this](int row) { return m_lineup.programmes(row); });
        emit changed();
    });
}

// Each session left finishes its file as it goes, telling nothing back to what is going away.
ScheduledRecordings::~ScheduledRecordings() {
    m_tick.stop();
    for (auto &[id, active] : m_active) {
        if (active->session)
            active->session->disconnect(this);
    }
    m_active.clear();
}

ProgrammeMarks::Mark ScheduledRecordings::mark(int row, const GuideProgramme &programme) const {
    return m_plan.mark(row, programme);
}

void ScheduledRecordings::toggle(int row, const GuideProgramme &programme) {
    m_plan.toggle(row, programme);
    emit changed();
}

QString ScheduledRecordings::pathOf(int row, const GuideProgramme &programme) const {
    for (const PlannedRecording &recording : m_plan.recordings()) {
        if (recording.row == row && recording.programme.start == programme.start &&
            recording.programme.title == programme.title)
            return m_paths.count(recording.id) ? m_paths.at(recording.id) : QString();
    }
    return {};
}

ScheduledRecordings::Active *ScheduledRecordings::activeOf(int id) const {
    const auto it = m_active.find(id);
    return it == m_active.end() ? nullptr : it->second.get();
}

void ScheduledRecordings::begin(const PlannedRecording &recording) {
    auto active = std::make_unique<Active>();
    active->id = recording.id;
    active->row = recording.row;
    active->title = recording.programme.title;
    try {
        active->address = QString::fromUtf8(m_lineup.address(recording.row));
    } catch (const std::exception &error) {
        qCWarning(lcRecording) << "no address to record" << recording.programme.title << error.what();
    }
    const QString folder = m_player.folder ? m_player.folder() : QDir::homePath();
    const QDateTime start = QDateTime::fromSecsSinceEpoch(recording.programme.start).toLocalTime();
    active->path = QDir(folder).filePath(
        RecordingFileName::of(m_lineup.title(recording.row).name, active->title, start));
    m_paths[active->id] = active->path;
    Active &begun = *active;
    m_active[recording.id] = std::move(active);
    if (begun.address.isEmpty()) {
        fail(begun,
             QStringLiteral("Enregistrement impossible : « %1 » (chaîne sans adresse)").arg(begun.title));
        return;
    }
    // Its session comes first: the warm neighbours on its box give theirs back.
    m_player.reserveBox(begun.address);
    qCInfo(lcRecording) << "recording" << begun.title << "into" << begun.path;
    startOwn(begun);
}

void ScheduledRecordings::startOwn(Active &active) {
    active.session = std::make_unique<RecordingSession>(m_makeRecorder);
    const int id = active.id;
    RecordingSession *session = active.session.get();
    connect(session, &RecordingSession::progress, this, [this, id](qint64, qint64 bytesWritten) {
        if (Active *a = activeOf(id); a && bytesWritten > 0)
            a->progressed = true;
    });
    connect(session, &RecordingSession::finished, this,
            [this, id](const QString &path, bool ok, const QString &) { onFinished(id, path, ok); });
    const PlayTarget target = tuneTarget(active.address.toUtf8(), RecordCommand::options(active.path));
    session->start(active.address, *target.options.sout);
}

void ScheduledRecordings::onFinished(int id, const QString &path, bool ok) {
    Active *active = activeOf(id);
    if (!active || active->viaPlayer)
        return;
    if (active->ending) {
        emit recordingFinished(path, ok);
        release(id);
        return;
    }
    // Cut by the stream once under way, the session takes it up again by itself.
    if (active->session->isRecording())
        return;
    if (!active->progressed) {
        refused(*active);
        return;
    }
    qCWarning(lcRecording) << "recording broke" << active->title;
    emit recordingFinished(path, false);
    fail(*active, interruptedNotice(active->title));
}

void ScheduledRecordings::refused(Active &active) {
    // The session is let go off its own signal.
    active.session.release()->deleteLater();
    if (++active.refusals < kRefusalTries) {
        const int id = active.id;
        QTimer::singleShot(kRetryMs, this, [this, id] {
            if (Active *a = activeOf(id); a && !a->ending)
                startOwn(*a);
        });
        return;
    }
    const int watched = m_player.watchedRow ? m_player.watchedRow() : -1;
    QString watchedAddress;
    try {
        if (watched >= 0)
            watchedAddress = QString::fromUtf8(m_lineup.address(watched));
    } catch (const std::exception &) {
    }
    // The player holds the session the recording needs: the recording wins, and the player shows
    // what it records.
    // Never at the cost of another recording the player makes already.
    const bool playerRecords = std::any_of(m_active.cbegin(), m_active.cend(),
                                           [](const auto &entry) { return entry.second->viaPlayer; });
    if (!playerRecords && !watchedAddress.isEmpty() && Boxes::sameBox(watchedAddress, active.address) &&
        m_player.recordInstead) {
        qCInfo(lcRecording) << "the box has no session left: the player records" << active.title;
        active.viaPlayer = true;
        m_player.notice(QStringLiteral("Enregistrement de « %1 » : passage sur %2")
                            .arg(active.title, m_lineup.number(active.row).trimmed()));
        m_player.recordInstead(active.row, active.path);
        return;
    }
    fail(active, QStringLiteral("Enregistrement impossible : « %1 » (décodeur occupé)").arg(active.title));
}

void ScheduledRecordings::fail(Active &active, const QString &notice) {
    if (!notice.isEmpty())
        m_player.notice(notice);
    m_plan.failed(active.id);
    const int id = active.id;
    if (active.session)
        active.session.release()->deleteLater();
    release(id);
    emit changed();
}

void ScheduledRecordings::playerRecordingFinished(const QString &path, bool ok) {
    for (auto &[id, active] : m_active) {
        if (!active->viaPlayer ||
            !QFileInfo(path).completeBaseName().startsWith(QFileInfo(active->path).completeBaseName()))
            continue;
        if (active->ending) {
            emit recordingFinished(path, ok);
            release(id);
        } else if (ok) {
            // Stopped while it was due to go on: the user took the player elsewhere. Cut by the
            // stream, the player takes it up again by itself.
            emit recordingFinished(path, false);
            fail(*active, interruptedNotice(active->title));
        }
        return;
    }
}

void ScheduledRecordings::end(const PlannedRecording &recording) {
    Active *active = activeOf(recording.id);
    if (!active)
        return;
    active->ending = true;
    if (active->viaPlayer) {
        // The player goes back to showing the channel live, which ends its recording's file.
        m_player.watchRow(active->row);
    } else if (active->session) {
        active->session->stop();
        // Waiting for the stream to return, it had no file open: nothing more will be told.
        if (!active->session->holdsSession())
            release(recording.id);
    } else {
        release(recording.id);
    }
    emit changed();
}

void ScheduledRecordings::release(int id) {
    const auto it = m_active.find(id);
    if (it == m_active.end())
        return;
    std::unique_ptr<Active> active = std::move(it->second);
    m_active.erase(it);
    if (active->session)
        active->session.release()->deleteLater();
    if (!active->address.isEmpty())
        m_player.releaseBox(active->address);
}
