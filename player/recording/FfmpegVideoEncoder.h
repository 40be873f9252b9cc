#pragma once

#include "player/recording/FfmpegPtr.h"

#include <functional>

// MPEG-2 video at a given bit rate, fed the decoded pictures of the stream. Pictures keep the size
// of the first one; a later change of size or pixel layout is scaled back to it.
class FfmpegVideoEncoder {
public:
    using PacketSink = std::function<void(AVPacket *)>;

    // frameRate: the source's; rounded to the nearest rate MPEG-2 knows. Throws FfmpegError.
    FfmpegVideoEncoder(const AVFrame *firstPicture, AVRational frameRate, int bitrateKbps, bool globalHeader);
    const AVCodecContext *context() const { return m_context.get(); }

    // pts counts frames from the start of the recording; the picture's own fields are overwritten.
    void encode(AVFrame *picture, int64_t pts, const PacketSink &sink);
    void flush(const PacketSink &sink);

private:
    AVFrame *convert(AVFrame *picture);
    void drain(const AVFrame *frame, const PacketSink &sink);

    AvCodecContextPtr m_context;
    SwsContextPtr m_scaler;
    AvFramePtr m_scaled;
    AvPacketPtr m_packet;
};
