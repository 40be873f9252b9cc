#pragma once

#include "player/pipeline/PlaybackInput.h"

#include <memory>

class WarmSource;
typedef struct _GstAppSrc GstAppSrc;

// A warm channel's stream, handed over: an appsrc that the channel's WarmSource feeds with what it
// held since its key frame, then with the live packets of the same session. The held part decodes at
// full speed and only its newest picture is shown; the pipeline runs on the source's clock and base
// time, so the live part plays in sync and the sound joins live.
class RingInput : public PlaybackInput {
public:
    explicit RingInput(std::shared_ptr<WarmSource> source) : m_source(std::move(source)) {}

    const std::shared_ptr<WarmSource> &source() const { return m_source; }

    QByteArray uri() const override { return "appsrc://"; }
    void setUpSource(GstElement *source, PictureSink &pictures, const PipelineSettings &) override;
    bool prepare(GstElement *playbin) override;
    // The source stops feeding; it stays open, warm again, for a step back.
    void release() override;
    bool showsFirstKeyFrameEarly() const override { return false; }

private:
    const std::shared_ptr<WarmSource> m_source;
    GstAppSrc *m_appsrc = nullptr;
};
