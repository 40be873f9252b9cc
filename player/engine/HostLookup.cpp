#include "player/engine/HostLookup.h"

#include <netdb.h>

#include <memory>

HostLookup::HostLookup(QObject *receiver, Resolver resolve)
    : m_resolve(std::move(resolve)), m_receiver(receiver) {}

HostLookup::~HostLookup() {
    m_receiver.close();
    std::lock_guard lock(m_mutex);
    m_next.reset();
}

void HostLookup::start(const QByteArray &host, std::function<void(bool resolves)> answer) {
    bool queued = false;
    {
        std::lock_guard lock(m_mutex);
        queued = m_next.has_value();
        m_next = Request{host, std::move(answer)};
    }
    if (!queued)
        m_worker.post([this] { runNext(); });
}

void HostLookup::runNext() {
    std::optional<Request> request;
    {
        std::lock_guard lock(m_mutex);
        request.swap(m_next);
    }
    if (!request)
        return;
    const bool known = m_resolve(request->host, m_worker.quitting());
    if (!m_worker.quitting())
        m_receiver.post([answer = std::move(request->answer), known] { answer(known); });
}

bool HostLookup::resolves(const QByteArray &host, const std::atomic<bool> &giveUp) {
    // Asked without blocking, so that the wait can end when the program does. What the system's
    // own look-up thread writes into must outlive a look-up it could not cancel: that one is left.
    struct Asked {
        QByteArray name;
        gaicb block{};
    };
    auto asked = std::make_unique<Asked>();
    asked->name = host;
    asked->block.ar_name = asked->name.constData();
    gaicb *list[] = {&asked->block};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0)
        return false;
    // Short slices: giveUp is looked at between them.
    const timespec slice{0, 50'000'000};
    while (gai_error(&asked->block) == EAI_INPROGRESS) {
        if (giveUp) {
            if (gai_cancel(&asked->block) == EAI_NOTCANCELED) {
                static_cast<void>(asked.release());
                return false;
            }
            break;
        }
        const gaicb *waiting[] = {&asked->block};
        gai_suspend(waiting, 1, &slice);
    }
    const bool found = gai_error(&asked->block) == 0;
    if (asked->block.ar_result)
        freeaddrinfo(asked->block.ar_result);
    return found;
}
