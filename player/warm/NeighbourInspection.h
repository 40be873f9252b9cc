#pragma once

#include "player/warm/WarmFailure.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

class NeighbourPolicy;
class WarmSessions;

// Looks at the open neighbours now and then: one never ready in time will not be, and one ready
// once and silent since was ended by its server with nothing said (a BYE naming no SSRC of its).
// It remembers when each one's first packet was seen and which were ready once.
class NeighbourInspection {
public:
    struct Limits {
        // Silent this long, a neighbour is not ready; silent this long after it was, it stalled.
        int maxSilenceMs = 500;
        int stallMs = 3000;
    };
    struct Findings {
        QList<QPair<QString, WarmFailure>> failing;
        QStringList silent;
    };

    // Every open session but active (the watched one) and those already failed.
    Findings inspect(const WarmSessions &sessions, const NeighbourPolicy &policy, const QString &active,
                     Limits limits, qint64 nowMs);
    // The session of address is closed: a new one starts afresh.
    void forget(const QString &address);

private:
    QHash<QString, qint64> m_firstPacketMs;
    QSet<QString> m_everReady;
};
