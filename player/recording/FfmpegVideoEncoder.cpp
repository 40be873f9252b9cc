#include "player/recording/FfmpegVideoEncoder.h"

#include "player/recording/FfmpegError.h"

namespace {

constexpr AVPixelFormat kPixelFormat = AV_PIX_FMT_YUV420P;

// The encoder's list of frame rates; the source's rate is replaced by the closest of them.
AVRational supportedRate(const AVCodec *codec, AVRational rate) {
    if (rate.num <= 0 || rate.den <= 0)
        rate = {25, 1};
    if (!codec->supported_framerates)
        return rate;
    return codec->supported_framerates[av_find_nearest_q_idx(rate, codec->supported_framerates)];
}

} // namespace

FfmpegVideoEncoder::FfmpegVideoEncoder(const AVFrame *firstPicture, AVRational frameRate, int bitrateKbps,
                                       bool globalHeader)
    : m_packet(av_packet_alloc()) {
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
    if (!codec)
        throw FfmpegError(QStringLiteral("Encodeur MPEG-2 absent de cette installation"));
    m_context.reset(avcodec_alloc_context3(codec));
    if (!m_context || !m_packet)
        throw FfmpegError(QStringLiteral("Mémoire insuffisante pour encoder l'image"));

    AVCodecContext *c = m_context.get();
    c->width = firstPicture->width;
    c->height = firstPicture->height;
    c->pix_fmt = kPixelFormat;
    c->sample_aspect_ratio = firstPicture->sample_aspect_ratio;
    c->framerate = supportedRate(codec, frameRate);
    c->time_base = av_inv_q(c->framerate);
    // Half a second between key frames at 25 fps, with two B pictures between references:
    // what players of MPEG-2 files expect.
    c->gop_size = 12;
    c->max_b_frames = 2;
    // Constant rate: the file grows by what was asked whatever the picture, and the sequence
    // header announces that rate. The buffer is the largest main-level MPEG-2 allows.
    c->bit_rate = int64_t(bitrateKbps) * 1000;
    c->rc_min_rate = c->bit_rate;
    c->rc_max_rate = c->bit_rate;
    c->rc_buffer_size = 1835008;
    c->rc_initial_buffer_occupancy = c->rc_buffer_size * 3 / 4;
    c->thread_count = 1;
    if (globalHeader)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int result = avcodec_open2(c, codec, nullptr);
    if (result < 0)
        throw FfmpegError(
            QStringLiteral("Impossible d'encoder l'image en MPEG-2 (%1)").arg(ffmpegErrorText(result)));
}

AVFrame *FfmpegVideoEncoder::convert(AVFrame *picture) {
    const AVCodecContext *c = m_context.get();
    if (picture->format == kPixelFormat && picture->width == c->width && picture->height == c->height)
        return picture;
    m_scaler.reset(sws_getCachedContext(m_scaler.release(), picture->width, picture->height,
                                        AVPixelFormat(picture->format), c->width, c->height, kPixelFormat,
                                        SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!m_scaled) {
        m_scaled.reset(av_frame_alloc());
        if (!m_scaled)
            throw FfmpegError(QStringLiteral("Mémoire insuffisante pour encoder l'image"));
        m_scaled->format = kPixelFormat;
        m_scaled->width = c->width;
        m_scaled->height = c->height;
        if (av_frame_get_buffer(m_scaled.get(), 0) < 0)
            throw FfmpegError(QStringLiteral("Mémoire insuffisante pour encoder l'image"));
    }
    if (!m_scaler || av_frame_make_writable(m_scaled.get()) < 0)
        throw FfmpegError(QStringLiteral("Impossible de convertir l'image pour l'encoder"));
    sws_scale(m_scaler.get(), picture->data, picture->linesize, 0, picture->height, m_scaled->data,
              m_scaled->linesize);
    m_scaled->sample_aspect_ratio = c->sample_aspect_ratio;
    return m_scaled.get();
}

void FfmpegVideoEncoder::encode(AVFrame *picture, int64_t pts, const PacketSink &sink) {
    AVFrame *frame = convert(picture);
    frame->pts = pts;
    // The decoder's picture type would otherwise force the source's key frames on the encoder.
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    drain(frame, sink);
}

void FfmpegVideoEncoder::flush(const PacketSink &sink) {
    drain(nullptr, sink);
}

void FfmpegVideoEncoder::drain(const AVFrame *frame, const PacketSink &sink) {
    int result = avcodec_send_frame(m_context.get(), frame);
    if (result < 0 && result != AVERROR_EOF)
        throw FfmpegError(QStringLiteral("Erreur de l'encodeur MPEG-2 (%1)").arg(ffmpegErrorText(result)));
    while ((result = avcodec_receive_packet(m_context.get(), m_packet.get())) >= 0) {
        sink(m_packet.get());
        av_packet_unref(m_packet.get());
    }
    if (result != AVERROR(EAGAIN) && result != AVERROR_EOF)
        throw FfmpegError(QStringLiteral("Erreur de l'encodeur MPEG-2 (%1)").arg(ffmpegErrorText(result)));
}
