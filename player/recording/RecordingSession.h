#pragma once

#include "player/recording/RecordingEngine.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

// The player control's recordings: at most one under way, and the ones stopped earlier until their
// files are finished. Nothing here waits on the network or on a file: stopping only asks, and an
// engine is let go on a thread of its own once it has finished.
class RecordingSession : public QObject {
    Q_OBJECT
public:
    using EngineFactory = std::function<std::unique_ptr<RecordingEngine>()>;

    explicit RecordingSession(EngineFactory makeEngine, QObject *parent = nullptr);
    // Finishes every file still open before returning: nothing recorded is lost on the way out.
    ~RecordingSession() override;

    // A recording under way is stopped first. Cut by the stream, it carries on by itself into the
    // next free file name once the stream returns, until stop() or another start().
    void start(const QString &address, const SoutChain &chain);
    // Stops the recording under way, if any, and clears the line it showed.
    void stop();
    bool isRecording() const { return m_current != nullptr || m_resume.isActive(); }
    // A recording under way or one still finishing holds a session of the box.
    bool holdsSession() const { return isRecording() || !m_finishing.empty(); }
    // The same on the box (host and port) of address alone.
    bool holdsSession(const QString &address) const;
    // What the user is told: the recording under way, or why the last one failed; else empty.
    QString statusText() const { return m_status; }

    // "Enregistrement : 201-20261207-101500.mpg — 00:05 — 2,1 Mo", time and size held together
    static QString progressText(const QString &fileName, qint64 elapsedMs, qint64 bytesWritten);

signals:
    void statusChanged(const QString &text);
    // How far the recording under way has got.
    void progress(qint64 elapsedMs, qint64 bytesWritten);
    // A recording's file is finished, whether it was stopped or failed; message is French.
    void finished(const QString &path, bool ok, const QString &message);
    // The last recording that held a session of the box of address has finished (each engine
    // closes its input before it says so): the player may ask that box for one. Said only then,
    // never by a start, nor by a stop that had nothing under way.
    void sessionsClosed(const QString &address);

private:
    // Stops without a word: the caller tells whatever follows.
    void stopCurrent();
    void onProgress(RecordingEngine *engine, qint64 elapsedMs, qint64 bytesWritten);
    void onFinished(RecordingEngine *engine, bool ok, const QString &message);
    void releaseFinished();
    void startEngine();
    void setStatus(const QString &text);

    EngineFactory m_makeEngine;
    std::unique_ptr<RecordingEngine> m_current;
    QString m_currentName;
    // What the recording under way was asked for, to take it up again after the stream is lost.
    QString m_address;
    SoutChain m_chain;
    // Set once a recording was cut by the stream: its next files say they carry it on.
    bool m_resumed = false;
    QTimer m_resume;
    // Stopped, still flushing their encoders and writing their trailers.
    std::vector<std::unique_ptr<RecordingEngine>> m_finishing;
    // The address each engine under way or finishing records from.
    QHash<const RecordingEngine *, QString> m_inputs;
    // Done, waiting to be deleted off this thread.
    std::vector<std::unique_ptr<RecordingEngine>> m_finished;
    // Where finished engines are deleted: leaving the box can take a moment when it no longer answers.
    QThread m_reaper;
    QString m_status;
};
