#include "player/StartupTrace.h"

#include <QFile>

#include <mutex>
#include <set>
#include <string>

#include <time.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcStartup, "halcyon.startup", QtWarningMsg)

namespace {

// When the kernel created the process, on the boot clock, in seconds; 0 when it cannot be read.
double processStartSeconds() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which may hold blanks: the start time is the 22nd field,
    // the 20th after the name.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
}

double bootClockSeconds() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

} // namespace

double StartupTrace::sinceProcessStart() {
    static const double start = processStartSeconds();
    return (bootClockSeconds() - start) * 1000;
}

void StartupTrace::mark(const char *step) {
    if (!enabled())
        return;
    const double ms = sinceProcessStart();
    static std::mutex mutex;
    static std::set<std::string> reached;
    {
        std::lock_guard lock(mutex);
        if (!reached.insert(step).second)
            return;
    }
    qCDebug(lcStartup, "step %s at %.1f ms", step, ms);
}
