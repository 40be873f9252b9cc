#pragma once

#include <QLoggingCategory>

// What the guide's fetch and reading log: a guide that cannot be had leaves one warning here and
// nothing on the screen.
Q_DECLARE_LOGGING_CATEGORY(lcGuide)
