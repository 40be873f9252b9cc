#pragma once

#include "player/PlayerOptions.h"

#include <QString>

// One stream queued on the player: its address as given and its parsed options.
struct PlayTarget {
    QString address;
    PlayerOptions options;
};
