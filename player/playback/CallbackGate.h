#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

// Lets threads that may outlive an object reach it: a call goes to the object's own thread while
// it lives, and is dropped once close() has run (the object's destructor calls it first).
class CallbackGate {
public:
    explicit CallbackGate(QObject *target) : m_target(target) {}

    // Runs call later on the target's thread; Qt drops it if the target is deleted meanwhile.
    void post(std::function<void()> call) {
        std::lock_guard lock(m_mutex);
        if (m_target)
            QMetaObject::invokeMethod(m_target, std::move(call), Qt::QueuedConnection);
    }
    // Runs call now, on the calling thread, unless the target is going.
    void run(const std::function<void()> &call) {
        std::lock_guard lock(m_mutex);
        if (m_target)
            call();
    }
    void close() {
        std::lock_guard lock(m_mutex);
        m_target = nullptr;
    }

private:
    std::mutex m_mutex;
    QObject *m_target;
};
