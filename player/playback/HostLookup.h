#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

// Looks host names up on threads of their own that nothing ever waits for: a look-up may hang for
// seconds (a name server that does not answer), and must hold up neither the next tune nor the exit.
class HostLookup {
public:
    using Resolver = std::function<bool(const QByteArray &host)>;

    // Answers reach receiver's thread; resolve does the look-up (the system's by default).
    explicit HostLookup(QObject *receiver, Resolver resolve = &HostLookup::resolves);
    // Returns at once: answers still to come are dropped.
    ~HostLookup();
    HostLookup(const HostLookup &) = delete;
    HostLookup &operator=(const HostLookup &) = delete;

    // answer runs on the receiver's thread with whether host resolves, unless this has gone first.
    void start(const QByteArray &host, std::function<void(bool resolves)> answer);

    static bool resolves(const QByteArray &host);

private:
    struct Shared {
        std::mutex mutex;
        QObject *receiver = nullptr;
    };

    std::shared_ptr<Shared> m_shared;
    const Resolver m_resolve;
};
