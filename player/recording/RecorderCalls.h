#pragma once

#include "player/SoutChain.h"

#include <QString>
#include <functional>

class QObject;

// What the recorder library hands the program: plain calls one way and callbacks the other, no
// signals. The library holds its own copy of the engine classes, and Qt matches a signal by the
// address of its function, which differs between the two copies.
class RecorderCalls {
public:
    struct Events {
        std::function<void(qint64 elapsedMs, qint64 bytesWritten)> progress;
        std::function<void(bool ok, const QString &message)> finished;
    };
    // The library's one entry point, by this name: a recorder whose QObject is a child of owner (so
    // it follows owner to another thread), telling events on owner's thread.
    using Create = RecorderCalls *(*)(QObject *owner, Events events);
    static constexpr const char *kCreateName = "halcyon_create_recorder";

    virtual ~RecorderCalls() = default;
    virtual void start(const QString &inputUrl, const SoutChain &chain) = 0;
    virtual void stop() = 0;
    virtual QString outputPath() const = 0;
    virtual bool streamLost() const = 0;
};
