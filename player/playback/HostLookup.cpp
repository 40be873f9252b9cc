#include "player/playback/HostLookup.h"

#include <netdb.h>
#include <thread>

HostLookup::HostLookup(QObject *receiver, Resolver resolve)
    : m_shared(std::make_shared<Shared>()), m_resolve(std::move(resolve)) {
    m_shared->receiver = receiver;
}

HostLookup::~HostLookup() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->receiver = nullptr;
}

void HostLookup::start(const QByteArray &host, std::function<void(bool resolves)> answer) {
    std::thread([shared = m_shared, resolve = m_resolve, host, answer = std::move(answer)] {
        const bool known = resolve(host);
        std::lock_guard lock(shared->mutex);
        // Posted while the receiver is known to live; Qt drops it if the receiver goes before it runs.
        if (shared->receiver)
            QMetaObject::invokeMethod(
                shared->receiver, [answer, known] { answer(known); }, Qt::QueuedConnection);
    }).detach();
}

bool HostLookup::resolves(const QByteArray &host) {
    addrinfo *found = nullptr;
    const bool ok = getaddrinfo(host.constData(), nullptr, nullptr, &found) == 0;
    if (found)
        freeaddrinfo(found);
    return ok;
}
