#pragma once

#include <QLoggingCategory>

// What the player and the recorder log about a stream: warnings on by default, so a box that does
// not play leaves its reason in the log; debug off unless QT_LOGGING_RULES asks for it
// ("halcyon.player.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcPlayer)
Q_DECLARE_LOGGING_CATEGORY(lcRecording)
