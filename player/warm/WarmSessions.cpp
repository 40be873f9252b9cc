#include "player/warm/WarmSessions.h"

#include "player/PlayerLog.h"
#include "player/warm/Boxes.h"
#include "player/warm/WarmSource.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

struct WarmSessions::Closing {
    std::mutex mutex;
    std::condition_variable allDone;
    QHash<QString, int> underWay;
    // What waits for the closes on one box (by its key), or on every box (an empty key).
    std::vector<std::pair<QString, std::function<void()>>> waiting;

    // Whether a close is under way on box (every box when empty); called with the mutex held.
    bool busy(const QString &box) const {
        if (box.isEmpty())
            return !underWay.isEmpty();
        for (auto it = underWay.cbegin(); it != underWay.cend(); ++it) {
            if (Boxes::keyOf(it.key()) == box)
                return true;
        }
        return false;
    }

    void begin(const QString &address) {
        std::lock_guard lock(mutex);
        ++underWay[address];
    }
    void end(const QString &address) {
        std::vector<std::function<void()>> due;
        {
            std::lock_guard lock(mutex);
            if (--underWay[address] <= 0)
                underWay.remove(address);
            for (auto it = waiting.begin(); it != waiting.end();) {
                if (busy(it->first)) {
                    ++it;
                    continue;
                }
                due.push_back(std::move(it->second));
                it = waiting.erase(it);
            }
        }
        allDone.notify_all();
        for (const std::function<void()> &done : due)
            done();
    }
};

namespace {

WarmSessions::Link withDefaults(WarmSessions::Link link) {
    if (!link.open)
        link.open = [](WarmSource &source) { source.open(); };
    if (!link.close)
        link.close = [](WarmSource &source) { source.close(); };
    return link;
}

} // namespace

WarmSessions::WarmSessions(int latencyMs, Handlers handlers, Link link)
    : m_latencyMs(latencyMs), m_handlers(std::make_shared<const Handlers>(std::move(handlers))),
      m_link(std::make_shared<const Link>(withDefaults(std::move(link)))),
      m_closing(std::make_shared<Closing>()) {}

WarmSessions::~WarmSessions() {
    if (!m_sources.empty())
        closeAll(kExitDeadlineMs);
}

std::shared_ptr<WarmSource> WarmSessions::open(const QString &address, qint64 nowMs) {
    auto source = std::make_shared<WarmSource>(address, m_latencyMs);
    std::weak_ptr<WarmSource> weak = source;
    source->setKeyFrameHandler([handlers = m_handlers, weak] { handlers->keyFrameWhole(weak); });
    source->setFailureHandler(
        [handlers = m_handlers, weak](WarmFailure failure) { handlers->failed(weak, failure); });
    m_sources[address] = source;
    m_openedAtMs[address] = nowMs;
    qCDebug(lcPlayer) << "warming" << address;
    m_opener.post([link = m_link, source] { link->open(*source); });
    return source;
}

bool WarmSessions::close(const QString &address) {
    const auto found = m_sources.find(address);
    if (found == m_sources.end())
        return false;
    std::shared_ptr<WarmSource> source = std::move(found->second);
    m_sources.erase(found);
    m_openedAtMs.remove(address);
    m_closing->begin(address);
    m_closers.post([closing = m_closing, link = m_link, source = std::move(source), address] {
        link->close(*source);
        closing->end(address);
    });
    return true;
}

std::shared_ptr<WarmSource> WarmSessions::find(const QString &address) const {
    const auto found = m_sources.find(address);
    return found == m_sources.end() ? nullptr : found->second;
}

QStringList WarmSessions::addresses() const {
    QStringList all;
    for (const auto &[address, source] : m_sources)
        all.append(address);
    return all;
}

bool WarmSessions::isClosing(const QString &address) const {
    std::lock_guard lock(m_closing->mutex);
    return m_closing->underWay.contains(address);
}

int WarmSessions::closing(const QString &box) const {
    std::lock_guard lock(m_closing->mutex);
    int count = 0;
    for (auto it = m_closing->underWay.cbegin(); it != m_closing->underWay.cend(); ++it) {
        if (box.isEmpty() || Boxes::keyOf(it.key()) == box)
            count += it.value();
    }
    return count;
}

int WarmSessions::heldOn(const QString &box) const {
    int count = 0;
    for (const auto &[address, source] : m_sources) {
        if (Boxes::keyOf(address) == box)
            ++count;
    }
    return count;
}

void WarmSessions::whenClosed(std::function<void()> done, const QString &box) {
    {
        std::lock_guard lock(m_closing->mutex);
        if (m_closing->busy(box)) {
            m_closing->waiting.emplace_back(box, std::move(done));
            return;
        }
    }
    done();
}

void WarmSessions::closeAll(int deadlineMs) {
    for (const QString &address : addresses())
        close(address);
    // An open still queued finds its session closed and does nothing.
    std::unique_lock lock(m_closing->mutex);
    const bool done = m_closing->allDone.wait_for(lock, std::chrono::milliseconds(deadlineMs),
                                                  [this] { return m_closing->underWay.isEmpty(); });
    if (!done)
        qCWarning(lcPlayer) << m_closing->underWay.size() << "warm sessions still closing past the deadline";
}

QStringList WarmSessions::readyAddresses(int maxSilenceMs, const QString &except) const {
    QStringList ready;
    for (const auto &[address, source] : m_sources) {
        if (address != except && source->isReady(maxSilenceMs))
            ready.append(address);
    }
    return ready;
}

qsizetype WarmSessions::bytesHeld() const {
    qsizetype total = 0;
    for (const auto &[address, source] : m_sources)
        total += source->bytesHeld();
    return total;
}

qint64 WarmSessions::bytesReceived(const QString &except) const {
    qint64 total = 0;
    for (const auto &[address, source] : m_sources) {
        if (address != except)
            total += source->bytesReceived();
    }
    return total;
}

QStringList WarmSessions::picturedAddresses(int maxSilenceMs) const {
    QStringList pictured;
    for (const auto &[address, source] : m_sources) {
        if (source->isReady(maxSilenceMs) && !source->keyFramePicture(maxSilenceMs).image.isNull())
            pictured.append(address);
    }
    return pictured;
}

qsizetype WarmSessions::pictureBytesHeld(int maxSilenceMs) const {
    qsizetype total = 0;
    for (const auto &[address, source] : m_sources)
        total += source->keyFramePicture(maxSilenceMs).image.sizeInBytes();
    return total;
}
