#include "programmes/FetchThread.h"

#include <QDeadlineTimer>
#include <QThread>
#include <mutex>

// What the work's thread and this object share; the thread keeps it as long as it runs, so it may
// outlive this object.
struct FetchThread::Shared {
    std::mutex mutex;
    // Null once the result is no longer wanted.
    FetchThread *receiver = nullptr;
    std::atomic_bool cancelled = false;
};

FetchThread::FetchThread(QObject *parent) : QObject(parent) {}

FetchThread::~FetchThread() {
    stop();
}

void FetchThread::start(Work work) {
    stop();
    auto shared = std::make_shared<Shared>();
    shared->receiver = this;
    m_shared = shared;
    m_thread = QThread::create([shared, work = std::move(work)] {
        const GuideLoad load = work(shared->cancelled);
        // Posting is quick, and the receiver cannot be deleted while it is posted to.
        const std::lock_guard lock(shared->mutex);
        if (shared->receiver)
            QMetaObject::invokeMethod(
                shared->receiver,
                [receiver = shared->receiver, shared, load] { receiver->deliver(shared, load); },
                Qt::QueuedConnection);
    });
    m_thread->setObjectName(QStringLiteral("guide fetch"));
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread->start(QThread::LowPriority);
}

void FetchThread::deliver(const std::shared_ptr<Shared> &from, const GuideLoad &load) {
    // A result of work stopped since is dropped.
    if (from != m_shared)
        return;
    m_shared.reset();
    emit finished(load);
}

void FetchThread::stop(int waitMs) {
    if (m_shared) {
        m_shared->cancelled = true;
        const std::lock_guard lock(m_shared->mutex);
        m_shared->receiver = nullptr;
    }
    m_shared.reset();
    if (!m_thread)
        return;
    // Ended in time: gone now, so that nothing of it outlives the program. Still running: left
    // behind, with the work's result going nowhere.
    if (m_thread->wait(QDeadlineTimer(waitMs)))
        delete m_thread;
    m_thread = nullptr;
}
