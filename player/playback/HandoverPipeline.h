#pragma once

#include "player/PlayerOptions.h"

#include <QImage>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class WarmSource;
typedef struct _GstElement GstElement;

// The decoder of a channel that was warm: a playbin on an appsrc that the channel's WarmSource
// feeds with the stream it held since its key frame, then with the live packets of the same
// session. The held part decodes at full speed and only its newest picture is shown; the
// pipeline runs on the source's clock and base time, so the live part plays in sync and the
// sound joins live. start() and teardown() block: call them from a pipeline thread.
class HandoverPipeline {
public:
    HandoverPipeline(std::shared_ptr<WarmSource> source, const PlayerOptions &options, double volume);
    ~HandoverPipeline();
    HandoverPipeline(const HandoverPipeline &) = delete;
    HandoverPipeline &operator=(const HandoverPipeline &) = delete;

    // Both are called on GStreamer threads: a picture waits in takeFrame(); the stream ended or
    // failed (error true).
    void setFrameHandler(std::function<void()> handler) { m_onFrame = std::move(handler); }
    void setEndHandler(std::function<void(bool error)> handler) { m_onEnd = std::move(handler); }

    const std::shared_ptr<WarmSource> &source() const { return m_source; }

    void start();
    void teardown();
    void setVolume(double volume);
    // The newest picture not taken yet; false when none waits.
    bool takeFrame(QImage *frame, qreal *pixelAspectRatio);

private:
    struct Bridge;

    std::shared_ptr<WarmSource> m_source;
    const PlayerOptions m_options;
    const double m_volume;
    GstElement *m_pipeline = nullptr;
    std::atomic<int> m_framesToSkip{0};
    std::function<void()> m_onFrame;
    std::function<void(bool)> m_onEnd;
    std::atomic<bool> m_ended{false};

    std::mutex m_mutex;
    QImage m_frame;
    qreal m_pixelAspectRatio = 1.0;
    bool m_frameWaiting = false;
};
