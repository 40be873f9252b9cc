#pragma once

#include "player/recording/FfmpegPtr.h"

#include <functional>

struct AVStream;

// Decodes one stream of the input. A damaged packet of a live stream is skipped, not fatal.
class FfmpegDecoder {
public:
    using FrameSink = std::function<void(AVFrame *)>;

    explicit FfmpegDecoder(const AVStream *stream); // throws FfmpegError
    const AVCodecContext *context() const { return m_context.get(); }

    // Null flushes the frames the decoder still holds.
    void decode(const AVPacket *packet, const FrameSink &sink);

private:
    AvCodecContextPtr m_context;
    AvFramePtr m_frame;
};
