#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

// Owning handles for FFmpeg's objects, each freed by its own function.
struct FfmpegDeleter {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
    void operator()(SwsContext *context) const { sws_freeContext(context); }
    void operator()(SwrContext *context) const { swr_free(&context); }
    void operator()(AVAudioFifo *fifo) const { av_audio_fifo_free(fifo); }
};

using AvFramePtr = std::unique_ptr<AVFrame, FfmpegDeleter>;
using AvPacketPtr = std::unique_ptr<AVPacket, FfmpegDeleter>;
using AvCodecContextPtr = std::unique_ptr<AVCodecContext, FfmpegDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, FfmpegDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, FfmpegDeleter>;
using AvAudioFifoPtr = std::unique_ptr<AVAudioFifo, FfmpegDeleter>;
