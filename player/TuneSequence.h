#pragma once

#include "player/PlayTarget.h"

#include <QByteArray>
#include <QList>

class PlayerControl;

// The one way to tune the player: stop first for a channel change (not at start-up or to record),
// then queue the address with its options at the head of the queue, then play it.
// Exceptions from the control propagate unchanged, leaving the later calls unmade.
void runTuneSequence(PlayerControl &control, const QByteArray &address, const QList<QByteArray> &options,
                     bool stopFirst);

// What runTuneSequence queues for address and options without a stop first (the start-up tune or a
// recording). Throws PlayerOptionError on an empty address or an option known but malformed.
PlayTarget tuneTarget(const QByteArray &address, const QList<QByteArray> &options);
