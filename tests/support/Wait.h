#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

// Waits for a condition, delivering Qt events meanwhile, until timeoutMs has passed.
// Returns the condition's last value: tests assert on it instead of sleeping a fixed time.
inline bool waitUntil(const std::function<bool()> &condition, int timeoutMs, int pollMs = 20) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (deadline.hasExpired())
            return false;
        if (QCoreApplication::instance()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, pollMs);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(pollMs, deadline.remainingTime())));
    }
}
