#pragma once

#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The one way from other threads back to an object's own thread, for threads that may outlive
// it: a call goes to the object's thread while it lives, and is dropped once close() has run (the
// object's destructor calls it first). No caller's code ever runs under the gate's lock, so a call
// may post or run through the gate again.
class CallbackGate {
public:
    explicit CallbackGate(QObject *target) : m_target(target) {}
    CallbackGate(const CallbackGate &) = delete;
    CallbackGate &operator=(const CallbackGate &) = delete;

    // Runs call later on the target's thread; Qt drops it if the target is deleted meanwhile.
    void post(std::function<void()> call);
    // Runs call now, on the calling thread, unless the target is going; close() waits for it.
    void run(const std::function<void()> &call);
    // Nothing runs or is posted from now on; returns once the calls other threads are running
    // have ended.
    void close();

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    QObject *m_target;
    // The threads running a call now, once per call.
    std::vector<std::thread::id> m_running;
};
