#include "player/engine/CallbackGate.h"

#include <QMetaObject>

#include <algorithm>

void CallbackGate::post(std::function<void()> call) {
    // Queuing an event runs none of call's code: it is only handed to the target's thread.
    std::lock_guard lock(m_mutex);
    if (m_target)
        QMetaObject::invokeMethod(m_target, std::move(call), Qt::QueuedConnection);
}

void CallbackGate::run(const std::function<void()> &call) {
    const std::thread::id self = std::this_thread::get_id();
    {
        std::lock_guard lock(m_mutex);
        if (!m_target)
            return;
        m_running.push_back(self);
    }
    // Counted out even when call throws, or close() would wait for ever.
    struct Ended {
        CallbackGate *gate;
        std::thread::id self;
        ~Ended() {
            std::lock_guard lock(gate->m_mutex);
            gate->m_running.erase(std::find(gate->m_running.begin(), gate->m_running.end(), self));
            gate->m_ended.notify_all();
        }
    } ended{this, self};
    call();
}

void CallbackGate::close() {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock lock(m_mutex);
    m_target = nullptr;
    // A call on this very thread (the target deleted from inside one) cannot be waited for.
    m_ended.wait(lock, [&] {
        return std::all_of(m_running.begin(), m_running.end(),
                           [&](std::thread::id id) { return id == self; });
    });
}
