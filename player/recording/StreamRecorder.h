#pragma once

#include "player/SoutChain.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <thread>

// Records a stream into a file on a thread of its own, as a stream-output chain asks. Its signals
// are delivered on the thread that owns the recorder (the UI thread), never on the recording one.
class StreamRecorder : public QObject {
    Q_OBJECT

public:
    explicit StreamRecorder(QObject *parent = nullptr);
    // Stops a recording under way and waits for its file to be finished.
    ~StreamRecorder() override;

    // Returns at once; the outcome comes with finished(). A recording under way is finished first.
    void start(const QString &inputUrl, const SoutChain &chain);
    // Returns at once; the file is finished on the recording thread, then finished() follows.
    void stop();

    bool isRecording() const { return m_recording; }
    // The last recording ended because the stream could not be received or stopped arriving.
    bool streamLost() const { return m_streamLost; }
    // The file being written: the chain's, or a free name beside it when that one already exists.
    QString outputPath() const { return m_outputPath; }

signals:
    // elapsedMs: time recorded so far, as the file will play it.
    void progress(qint64 elapsedMs, qint64 bytesWritten);
    // ok is false when the recording could not start or stopped on an error; message says why, in French.
    // Whatever was recorded before an error is a complete, playable file.
    void finished(bool ok, const QString &message);

private:
    void join();

    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    // Tells a recording's late signals from those of the one that replaced it.
    quint64 m_generation = 0;
    bool m_recording = false;
    bool m_streamLost = false;
    QString m_outputPath;
};
