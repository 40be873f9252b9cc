#include "player/BackgroundQueue.h"

BackgroundQueue::BackgroundQueue() : m_thread([this] { run(); }) {}

BackgroundQueue::~BackgroundQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_quitting = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void BackgroundQueue::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void BackgroundQueue::drain() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_tasks.empty() && !m_busy; });
}

void BackgroundQueue::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quitting || !m_tasks.empty(); });
        if (m_tasks.empty())
            return;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_busy = true;
        lock.unlock();
        task();
        lock.lock();
        m_busy = false;
        if (m_tasks.empty())
            m_idle.notify_all();
    }
}
