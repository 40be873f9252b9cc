#include "player/warm/NeighbourInspection.h"

#include "player/warm/NeighbourPolicy.h"
#include "player/warm/WarmSessions.h"
#include "player/warm/WarmSource.h"

NeighbourInspection::Findings NeighbourInspection::inspect(const WarmSessions &sessions,
                                                           const NeighbourPolicy &policy,
                                                           const QString &active, Limits limits,
                                                           qint64 nowMs) {
    Findings findings;
    for (const auto &[address, source] : sessions.sources()) {
        if (address == active || source->hasFailed())
            continue;
        if (source->bytesReceived() > 0 && !m_firstPacketMs.contains(address))
            m_firstPacketMs[address] = nowMs;
        if (source->isReady(limits.maxSilenceMs))
            m_everReady.insert(address);
        if (m_everReady.contains(address)) {
            if (source->isSilentFor(limits.stallMs))
                findings.silent.append(address);
        } else if (policy.overdue(sessions.openedAt(address), m_firstPacketMs.value(address, -1), nowMs)) {
            findings.failing.append({address, WarmFailure::NeverReady});
        }
    }
    return findings;
}

void NeighbourInspection::forget(const QString &address) {
    m_firstPacketMs.remove(address);
    m_everReady.remove(address);
}
