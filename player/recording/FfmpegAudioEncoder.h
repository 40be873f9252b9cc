#pragma once

#include "player/recording/FfmpegPtr.h"

#include <functional>

// MPEG-1 Layer II stereo at a given bit rate. The decoded sound is resampled to what the encoder
// takes and cut into the encoder's fixed-size frames.
class FfmpegAudioEncoder {
public:
    using PacketSink = std::function<void(AVPacket *)>;

    // sourceRate: kept when Layer II at full rate knows it, else 48 kHz. Throws FfmpegError.
    FfmpegAudioEncoder(int sourceRate, int bitrateKbps, bool globalHeader);
    ~FfmpegAudioEncoder();
    FfmpegAudioEncoder(const FfmpegAudioEncoder &) = delete;
    FfmpegAudioEncoder &operator=(const FfmpegAudioEncoder &) = delete;
    const AVCodecContext *context() const { return m_context.get(); }

    // firstPts, in samples from the start of the recording, places the first sound handed in;
    // after that the samples follow one another, so the sound never drifts from one frame to the next.
    void encode(const AVFrame *sound, int64_t firstPts, const PacketSink &sink);
    void flush(const PacketSink &sink);

private:
    void follow(const AVFrame *sound);
    void resample(const uint8_t **samples, int count);
    void encodeFifo(bool padLastFrame, const PacketSink &sink);
    void drain(const AVFrame *frame, const PacketSink &sink);

    AvCodecContextPtr m_context;
    SwrContextPtr m_resampler;
    AVChannelLayout m_sourceLayout{};
    int m_sourceFormat = -1;
    int m_sourceRate = 0;
    AvAudioFifoPtr m_fifo;
    AvFramePtr m_frame;
    AvPacketPtr m_packet;
    int64_t m_nextPts = -1;
};
