#include "player/WorkerPool.h"

#include <algorithm>
#include <chrono>

WorkerPool::WorkerPool(int maxThreads) : m_maxThreads(std::max(maxThreads, 1)) {}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(m_mutex);
        m_quitting = true;
    }
    m_wake.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

void WorkerPool::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        // A thread more only when every one there is busy with a task of its own.
        if (int(m_tasks.size()) > m_waiting && int(m_threads.size()) < m_maxThreads)
            m_threads.emplace_back([this] { run(); });
    }
    m_wake.notify_one();
}

void WorkerPool::drain() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return idle(); });
}

bool WorkerPool::drainFor(int deadlineMs) {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(deadlineMs), [this] { return idle(); });
}

void WorkerPool::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_waiting;
        m_wake.wait(lock, [this] { return m_quitting || !m_tasks.empty(); });
        --m_waiting;
        if (m_tasks.empty())
            return;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        ++m_busy;
        lock.unlock();
        task();
        // Whatever the task held goes before it counts as done.
        task = nullptr;
        lock.lock();
        --m_busy;
        if (idle())
            m_idle.notify_all();
    }
}
