#pragma once

#include "player/PlayerOptions.h"
#include "player/playback/PictureSink.h"

#include <QSize>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class WarmSource;
typedef struct _GstElement GstElement;
typedef struct _GstAppSrc GstAppSrc;

// The decoder of a channel that was warm: a playbin on an appsrc that the channel's WarmSource
// feeds with the stream it held since its key frame, then with the live packets of the same
// session. The held part decodes at full speed and only its newest picture is shown; the
// pipeline runs on the source's clock and base time, so the live part plays in sync and the
// sound joins live. start() and teardown() block: call them from pipeline threads (a teardown may
// run on another thread than the start, and before it: the pipeline then never starts).
class HandoverPipeline {
public:
    // Both run on GStreamer threads: a picture waits in takePicture(); the stream ended or failed.
    struct Events {
        std::function<void()> pictureWaiting;
        std::function<void(bool error)> ended;
    };

    HandoverPipeline(std::shared_ptr<WarmSource> source, const PlayerOptions &options, Events events);
    ~HandoverPipeline();
    HandoverPipeline(const HandoverPipeline &) = delete;
    HandoverPipeline &operator=(const HandoverPipeline &) = delete;

    const std::shared_ptr<WarmSource> &source() const { return m_source; }

    void start(double volume, QSize pictureBound);
    void teardown();
    void setVolume(double volume);
    void setPictureBound(QSize bound);
    PictureSink::Picture takePicture() { return m_pictures.take(); }

private:
    struct Bridge;

    std::shared_ptr<WarmSource> m_source;
    const PlayerOptions m_options;
    const Events m_events;
    PictureSink m_pictures;
    std::mutex m_lifecycle;
    bool m_cancelled = false;
    GstElement *m_pipeline = nullptr;
    GstAppSrc *m_appsrc = nullptr;
    std::atomic<bool> m_ended{false};
};
