#pragma once

#include "player/PlayerOptions.h"

#include <QString>
#include <QStringList>

// Where a tune came from, as the tune sequence tells it: only a channel chosen from the list stops
// first, and only a recording carries a stream-output chain.
enum class TuneOrigin {
    StartUp,
    Row,
    Recording,
};

// One stream to play, read once from what the caller handed the control and kept typed from then on.
struct PlayTarget {
    QString address;
    PlayerOptions options;
    TuneOrigin origin = TuneOrigin::StartUp;

    // Reads the control's arguments. The origin is a recording whenever the options carry a chain,
    // else afterStop tells a row from the start-up stream. Throws PlayerOptionError on an empty
    // address or an option that is known but malformed.
    static PlayTarget read(const QString &address, const QStringList &options, bool afterStop);
};
