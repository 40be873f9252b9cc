#pragma once

#include "player/WorkerPool.h"
#include "player/engine/CallbackGate.h"

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

// Looks host names up on a thread of its own: a look-up may hang for seconds (a name server that
// does not answer), and must hold up neither the next tune nor the exit. Only the newest request
// waits its turn behind the one under way; older ones nobody waits for any more are dropped.
class HostLookup {
public:
    // Whether host resolves; gives up, with any answer, once giveUp is set.
    using Resolver = std::function<bool(const QByteArray &host, const std::atomic<bool> &giveUp)>;

    // Answers reach receiver's thread; resolve does the look-up (the system's by default).
    explicit HostLookup(QObject *receiver, Resolver resolve = &HostLookup::resolves);
    // Drops the answers still to come and cuts the look-up under way short: its thread is joined.
    ~HostLookup();
    HostLookup(const HostLookup &) = delete;
    HostLookup &operator=(const HostLookup &) = delete;

    // answer runs on the receiver's thread with whether host resolves, unless this has gone first
    // or a newer request took its place before it began.
    void start(const QByteArray &host, std::function<void(bool resolves)> answer);

    static bool resolves(const QByteArray &host, const std::atomic<bool> &giveUp);

private:
    struct Request {
        QByteArray host;
        std::function<void(bool)> answer;
    };
    void runNext();

    const Resolver m_resolve;
    CallbackGate m_receiver;
    std::mutex m_mutex;
    std::optional<Request> m_next;
    // Last: joined first, while what its task uses is still there.
    WorkerPool m_worker{1};
};
