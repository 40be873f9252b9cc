#pragma once

#include "player/BackgroundQueue.h"
#include "player/WorkerPool.h"
#include "player/warm/WarmFailure.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

class WarmSource;

// The warm sessions held with the boxes, one WarmSource per address. They open in order on one
// thread; they close on a few threads of their own, so a box slow to answer one TEARDOWN holds up
// neither the others nor the next SETUP, and all of them end together on the way out. A session
// asked to close counts as closing until the box has answered (or the wait for it gave up): its
// channel is not asked for again meanwhile.
class WarmSessions {
public:
    // Called from GStreamer threads, perhaps after the set is gone: they must reach their owner
    // through something that outlives it (a CallbackGate).
    struct Handlers {
        std::function<void(const std::weak_ptr<WarmSource> &, WarmFailure)> failed;
        std::function<void(const std::weak_ptr<WarmSource> &)> keyFrameWhole;
    };
    // How a session is opened and closed with the box, both blocking: WarmSource's own open() and
    // close() unless given (tests put stand-ins here).
    struct Link {
        std::function<void(WarmSource &)> open;
        std::function<void(WarmSource &)> close;
    };

    // The longest the way out waits for the box to answer the TEARDOWNs, all sent together.
    static constexpr int kExitDeadlineMs = 500;
    // As many closes under way at once as the neighbours held while a key steps, and the watched one.
    static constexpr int kClosers = 6;

    WarmSessions(int latencyMs, Handlers handlers, Link link = Link());
    // Closes what is left as closeAll() does, then joins the closing threads: each close ends
    // by itself shortly after (its TEARDOWN's own answer is awaited only briefly).
    ~WarmSessions();
    WarmSessions(const WarmSessions &) = delete;
    WarmSessions &operator=(const WarmSessions &) = delete;

    std::shared_ptr<WarmSource> open(const QString &address, qint64 nowMs);
    // Ends the session of address, if one is held: its TEARDOWN goes out at once.
    bool close(const QString &address);
    std::shared_ptr<WarmSource> find(const QString &address) const;
    QStringList addresses() const;
    int size() const { return int(m_sources.size()); }
    qint64 openedAt(const QString &address) const { return m_openedAtMs.value(address, -1); }
    const std::map<QString, std::shared_ptr<WarmSource>> &sources() const { return m_sources; }

    // For benchmarks and tests: the sessions ready to hand over (but except), the bytes their rings
    // hold, the bytes received (but except's), the ones with a key frame's picture and its bytes.
    QStringList readyAddresses(int maxSilenceMs, const QString &except) const;
    qsizetype bytesHeld() const;
    qint64 bytesReceived(const QString &except) const;
    QStringList picturedAddresses(int maxSilenceMs) const;
    qsizetype pictureBytesHeld(int maxSilenceMs) const;

    bool isClosing(const QString &address) const;
    // The closes under way on a box (by its key, Boxes::keyOf), or on every box when none is named.
    int closing(const QString &box = QString()) const;
    // The sessions held open on a box (by its key).
    int heldOn(const QString &box) const;
    // Runs done, on a closing thread or at once on this one, when no close is under way any more on
    // box (by its key), or on any box when none is named.
    void whenClosed(std::function<void()> done, const QString &box = QString());
    // Closes every session together and waits for the box to see them go until deadlineMs has
    // passed; the ones it has not answered by then end by themselves.
    void closeAll(int deadlineMs);

private:
    struct Closing;

    const int m_latencyMs;
    const std::shared_ptr<const Handlers> m_handlers;
    const std::shared_ptr<const Link> m_link;
    BackgroundQueue m_opener;
    std::map<QString, std::shared_ptr<WarmSource>> m_sources;
    QHash<QString, qint64> m_openedAtMs;
    std::shared_ptr<Closing> m_closing;
    // Last: joined first, while everything its closes use is still there.
    WorkerPool m_closers{kClosers};
};
