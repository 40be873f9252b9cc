#pragma once

#include <QLoggingCategory>

// What the program does with the desktop's services: the screen saver and the media controls.
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)
