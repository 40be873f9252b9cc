#pragma once

#include "player/BackgroundQueue.h"
#include "player/playback/PlayerEngine.h"

#include <QString>

// Plays through a GStreamer playbin whose video ends in an appsink: pictures reach the owning
// thread as QImages by queued calls, bus messages likewise. Starting and tearing pipelines down
// runs on a thread of its own, so no call here waits on the network.
class GstPlayerEngine : public PlayerEngine {
    Q_OBJECT
public:
    // Initialises GStreamer; throws EOleException when it or a plugin the box's streams need is missing.
    explicit GstPlayerEngine(QObject *parent = nullptr);
    ~GstPlayerEngine() override;

    void play(const PlayTarget &target) override;
    void stop() override;
    void setVolume(int volume) override;

    // Blocks until every pipeline started or stopped so far has finished changing state.
    void waitForPipelines();

    // Pipelines created and not yet freed, in the whole process: a zapping player must not
    // keep the ones it left.
    static int livePipelines();

private:
    struct Session;
    struct Bridge;
    struct Message;

    void takeFrame(quint64 generation);
    void handleMessage(quint64 generation, const Message &message);
    void onError(const Message &message);
    void onEndOfStream();
    void reportConnectionFailure();
    void report(PlayerFailure failure, const QString &detail);

    BackgroundQueue m_pipelines;
    // Name lookups may hang for seconds: they must not hold up the next channel's pipeline.
    BackgroundQueue m_resolver;
    Session *m_current = nullptr;
    QString m_currentAddress;
    quint64 m_generation = 0;
    bool m_framesSeen = false;
    bool m_failureReported = false;
    int m_volume = 100;
};
