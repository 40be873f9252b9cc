#pragma once

#include "player/SoutChain.h"

#include <QObject>
#include <QString>

// What writes one recording for the player control. Calls return at once; the signals arrive on
// the thread that owns the engine. An engine records once: each recording takes a new one.
class RecordingEngine : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void start(const QString &inputUrl, const SoutChain &chain) = 0;
    // Asks for the file to be finished; finished() follows.
    virtual void stop() = 0;
    // The file being written, known as soon as start() returns.
    virtual QString outputPath() const = 0;
    // Once finished: it ended because the stream could not be received or stopped arriving, so a
    // new recording may take over when the stream returns.
    virtual bool streamLost() const { return false; }

signals:
    void progress(qint64 elapsedMs, qint64 bytesWritten);
    // message is French; on failure it says why, and what was written is still a playable file.
    void finished(bool ok, const QString &message);
};
