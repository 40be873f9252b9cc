#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs posted tasks on at most a fixed number of threads of its own, started as work comes and
// kept for the next: work that may block (a TEARDOWN to a silent box, a name lookup) never holds
// the caller, and never piles up threads. The destructor runs what is still queued, then joins
// every thread: none outlives its owner, nor main. With one thread, tasks run in the order posted.
class WorkerPool {
public:
    explicit WorkerPool(int maxThreads);
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    void post(std::function<void()> task);
    // Blocks until every task posted so far has run.
    void drain();
    // As drain(), for at most deadlineMs; false when some task is still queued or running then.
    bool drainFor(int deadlineMs);
    // Set once the owner is going: a task that waits on something outside gives up on seeing it.
    const std::atomic<bool> &quitting() const { return m_quitting; }

private:
    void run();
    bool idle() const { return m_tasks.empty() && m_busy == 0; }

    const int m_maxThreads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_tasks;
    int m_busy = 0;
    int m_waiting = 0;
    std::atomic<bool> m_quitting{false};
    std::vector<std::thread> m_threads;
};
