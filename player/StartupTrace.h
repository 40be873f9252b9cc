#pragma once

#include <QLoggingCategory>

// Start-up's steps with the time since the process began, in the "halcyon.startup" category: off
// unless QT_LOGGING_RULES asks for it ("halcyon.startup.debug=true"), when a step costs one check.
Q_DECLARE_LOGGING_CATEGORY(lcStartup)

namespace StartupTrace {

// Milliseconds since the kernel created this process, to its clock tick (10 ms on most systems).
double sinceProcessStart();
// Logs "step <name> at <ms> ms" the first time a step of that name is reached, from any thread.
void mark(const char *step);
inline bool enabled() {
    return lcStartup().isDebugEnabled();
}

} // namespace StartupTrace
