#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// One thread that runs posted tasks in order, so work that may block (a pipeline's state change
// against a silent server, a name lookup) never holds the caller. The destructor runs what is
// still queued, then joins.
class BackgroundQueue {
public:
    BackgroundQueue();
    ~BackgroundQueue();
    BackgroundQueue(const BackgroundQueue &) = delete;
    BackgroundQueue &operator=(const BackgroundQueue &) = delete;

    void post(std::function<void()> task);
    // Blocks until every task posted so far has run.
    void drain();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_tasks;
    bool m_busy = false;
    bool m_quitting = false;
    std::thread m_thread;
};
