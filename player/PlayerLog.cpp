#include "player/PlayerLog.h"

Q_LOGGING_CATEGORY(lcPlayer, "halcyon.player", QtWarningMsg)
Q_LOGGING_CATEGORY(lcRecording, "halcyon.recording", QtWarningMsg)
