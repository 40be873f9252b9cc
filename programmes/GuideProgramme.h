#pragma once

#include <QHash>
#include <QList>
#include <QString>

// One programme as the banner and the grid need it. Times are seconds since the epoch, UTC.
struct GuideProgramme {
    qint64 start = 0;
    qint64 stop = 0;
    QString title;
    // What the grid's details show; empty when the guide says nothing.
    QString description = {};
    QString category = {};

    bool operator==(const GuideProgramme &) const = default;
};

// A channel's programmes in order of start.
using ChannelProgrammes = QList<GuideProgramme>;

// The guide as kept: each channel's programmes by the channel's id (the playlist's tvg-id).
using GuideData = QHash<QString, ChannelProgrammes>;
