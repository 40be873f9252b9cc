#include "programmes/ProgrammeGuide.h"

#include "programmes/GuideFetch.h"
#include "programmes/GuideLog.h"

#include <QThreadPool>

ProgrammeGuide::ProgrammeGuide(QObject *parent) : QObject(parent) {
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &ProgrammeGuide::refresh);
    connect(&m_fetch, &FetchThread::finished, this, &ProgrammeGuide::fetched);
}

// The fetch under way is asked to stop and waited for briefly; one stuck in a read is left behind
// (see FetchThread): the program ends on time whatever the guide's file or server does.
ProgrammeGuide::~ProgrammeGuide() = default;

void ProgrammeGuide::start(const QString &address) {
    m_address = address.trimmed();
    if (m_address.isEmpty())
        return;
    scheduleNext(kFirstFetchDelayMs);
}

ChannelProgrammes ProgrammeGuide::programmes(const QString &channelId) const {
    if (!m_data || channelId.isEmpty())
        return {};
    return m_data->programmes(channelId);
}

ChannelProgrammes ProgrammeGuide::programmes(const QString &channelId, qint64 from, qint64 to) const {
    if (!m_data || channelId.isEmpty())
        return {};
    return m_data->programmes(channelId, from, to);
}

void ProgrammeGuide::refresh() {
    if (m_fetch.isBusy() || m_address.isEmpty())
        return;
    m_next.stop();
    m_fetch.start([address = m_address](const std::atomic_bool &cancelled) {
        return fetchGuide(address, kKeepFrom, kKeepUntil, cancelled);
    });
}

void ProgrammeGuide::fetched(const GuideLoad &load) {
    if (!load.data) {
        scheduleNext(m_schedule.afterFailure());
        qCWarning(lcGuide).noquote() << load.error << "- trying again in" << m_nextDelayMs / 1000 << "s";
        emit failed(load.error);
        return;
    }
    scheduleNext(m_schedule.afterSuccess());
    // The guide before may be the last reference to a hundred megabytes: freeing them is a worker's
    // job, not the UI thread's.
    std::shared_ptr<const GuideStore> before = std::exchange(m_data, load.data);
    if (before)
        QThreadPool::globalInstance()->start([before = std::move(before)]() mutable { before.reset(); });
    qCInfo(lcGuide) << "guide read:" << load.programmes << "programmes of" << m_data->channelCount()
                    << "channels," << m_data->memoryBytes() / (1024 * 1024) << "MB kept";
    if (load.skipped > 0)
        qCWarning(lcGuide) << load.skipped << "programmes of the guide could not be read and were left out";
    if (load.cut > 0)
        qCWarning(lcGuide) << "the guide is too big:" << load.cut << "programmes were left out";
    if (load.droppedDescriptions > 0)
        qCWarning(lcGuide) << "the guide's texts are too big:" << load.droppedDescriptions
                           << "programmes are kept without their description";
    emit changed();
}

void ProgrammeGuide::scheduleNext(qint64 delayMs) {
    m_nextDelayMs = delayMs;
    m_next.start(std::chrono::milliseconds(delayMs));
}
