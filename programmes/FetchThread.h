#pragma once

#include "programmes/GuideFile.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>

class QThread;

// Runs one piece of guide work at a time on a thread of its own and hands its result back on this
// object's thread. The work may be stuck in an outside call that never returns (a read from a pipe
// nobody writes): stopping waits for it only so long, then leaves the thread behind, its result
// dropped, to end with the process.
class FetchThread : public QObject {
    Q_OBJECT
public:
    using Work = std::function<GuideLoad(const std::atomic_bool &cancelled)>;

    // How long stopping waits for work asked to stop: a download or a reading stops well within it.
    static constexpr int kStopWaitMs = 300;

    explicit FetchThread(QObject *parent = nullptr);
    // Stops as stop() does.
    ~FetchThread() override;

    // Starts work; whatever work was under way is stopped first.
    void start(Work work);
    // Asks the work under way to stop and waits for it up to waitMs; its result is never handed.
    void stop(int waitMs = kStopWaitMs);
    // Work was started and its result not yet handed (nor stopped).
    bool isBusy() const { return m_shared != nullptr; }

signals:
    void finished(const GuideLoad &load);

private:
    struct Shared;

    void deliver(const std::shared_ptr<Shared> &from, const GuideLoad &load);

    std::shared_ptr<Shared> m_shared;
    QPointer<QThread> m_thread;
};
