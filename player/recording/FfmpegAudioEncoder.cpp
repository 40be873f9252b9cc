#include "player/recording/FfmpegAudioEncoder.h"

#include "player/recording/FfmpegError.h"

#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace {

// Layer II's full rates: the low ones belong to MPEG-2's half-rate variant, with other bit rates.
int supportedRate(int sourceRate) {
    for (int rate : {32000, 44100, 48000}) {
        if (rate == sourceRate)
            return rate;
    }
    return 48000;
}

[[noreturn]] void encoderFailed(int code) {
    throw FfmpegError(QStringLiteral("Erreur de l'encodeur audio MPEG (%1)").arg(ffmpegErrorText(code)));
}

} // namespace

FfmpegAudioEncoder::FfmpegAudioEncoder(int sourceRate, int bitrateKbps, bool globalHeader)
    : m_frame(av_frame_alloc()), m_packet(av_packet_alloc()) {
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MP2);
    if (!codec)
        throw FfmpegError(QStringLiteral("Encodeur audio MPEG absent de cette installation"));
    m_context.reset(avcodec_alloc_context3(codec));
    if (!m_context || !m_frame || !m_packet)
        throw FfmpegError(QStringLiteral("Mémoire insuffisante pour encoder le son"));

    AVCodecContext *c = m_context.get();
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    c->sample_rate = supportedRate(sourceRate);
    c->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    c->time_base = {1, c->sample_rate};
    c->bit_rate = int64_t(bitrateKbps) * 1000;
    if (globalHeader)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int result = avcodec_open2(c, codec, nullptr);
    if (result < 0)
        throw FfmpegError(
            QStringLiteral("Impossible d'encoder le son en MPEG audio (%1)").arg(ffmpegErrorText(result)));

    m_fifo.reset(av_audio_fifo_alloc(c->sample_fmt, c->ch_layout.nb_channels, c->frame_size * 4));
    m_frame->format = c->sample_fmt;
    m_frame->sample_rate = c->sample_rate;
    m_frame->nb_samples = c->frame_size;
    result = av_channel_layout_copy(&m_frame->ch_layout, &c->ch_layout);
    if (!m_fifo || result < 0 || av_frame_get_buffer(m_frame.get(), 0) < 0)
        throw FfmpegError(QStringLiteral("Mémoire insuffisante pour encoder le son"));
}

FfmpegAudioEncoder::~FfmpegAudioEncoder() {
    av_channel_layout_uninit(&m_sourceLayout);
}

void FfmpegAudioEncoder::follow(const AVFrame *sound) {
    // A stream may change its sound mid-way (another programme): the resampler follows.
    if (m_resampler && sound->format == m_sourceFormat && sound->sample_rate == m_sourceRate &&
        av_channel_layout_compare(&sound->ch_layout, &m_sourceLayout) == 0)
        return;
    av_channel_layout_uninit(&m_sourceLayout);
    av_channel_layout_copy(&m_sourceLayout, &sound->ch_layout);
    m_sourceFormat = sound->format;
    m_sourceRate = sound->sample_rate;

    AVChannelLayout layout{};
    if (sound->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&layout, sound->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&layout, &sound->ch_layout);
    AVCodecContext *c = m_context.get();
    SwrContext *resampler = nullptr;
    int result = swr_alloc_set_opts2(&resampler, &c->ch_layout, c->sample_fmt, c->sample_rate, &layout,
                                     AVSampleFormat(sound->format), sound->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    m_resampler.reset(resampler);
    if (result >= 0)
        result = swr_init(resampler);
    if (result < 0)
        throw FfmpegError(QStringLiteral("Impossible de convertir le son pour l'encoder (%1)")
                              .arg(ffmpegErrorText(result)));
}

void FfmpegAudioEncoder::resample(const uint8_t **samples, int count) {
    const AVCodecContext *c = m_context.get();
    const int room = swr_get_out_samples(m_resampler.get(), count);
    if (room <= 0)
        return;
    uint8_t **planes = nullptr;
    if (av_samples_alloc_array_and_samples(&planes, nullptr, c->ch_layout.nb_channels, room, c->sample_fmt,
                                           0) < 0)
        throw FfmpegError(QStringLiteral("Mémoire insuffisante pour encoder le son"));
    const int converted = swr_convert(m_resampler.get(), planes, room, samples, count);
    if (converted > 0)
        av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void **>(planes), converted);
    av_freep(&planes[0]);
    av_freep(&planes);
}

void FfmpegAudioEncoder::encode(const AVFrame *sound, int64_t firstPts, const PacketSink &sink) {
    if (m_nextPts < 0)
        m_nextPts = std::max<int64_t>(firstPts, 0);
    follow(sound);
    resample(const_cast<const uint8_t **>(sound->extended_data), sound->nb_samples);
    encodeFifo(false, sink);
}

void FfmpegAudioEncoder::flush(const PacketSink &sink) {
    if (m_resampler) {
        // What the resampler still holds, then the last part frame padded with silence.
        resample(nullptr, 0);
        encodeFifo(true, sink);
    }
    drain(nullptr, sink);
}

void FfmpegAudioEncoder::encodeFifo(bool padLastFrame, const PacketSink &sink) {
    const int frameSize = m_context->frame_size;
    while (av_audio_fifo_size(m_fifo.get()) >= frameSize ||
           (padLastFrame && av_audio_fifo_size(m_fifo.get()) > 0)) {
        if (av_frame_make_writable(m_frame.get()) < 0)
            throw FfmpegError(QStringLiteral("Mémoire insuffisante pour encoder le son"));
        const int read =
            av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void **>(m_frame->data), frameSize);
        if (read < frameSize)
            av_samples_set_silence(m_frame->data, read, frameSize - read, m_context->ch_layout.nb_channels,
                                   m_context->sample_fmt);
        m_frame->pts = m_nextPts;
        m_nextPts += frameSize;
        drain(m_frame.get(), sink);
    }
}

void FfmpegAudioEncoder::drain(const AVFrame *frame, const PacketSink &sink) {
    int result = avcodec_send_frame(m_context.get(), frame);
    if (result < 0 && result != AVERROR_EOF)
        encoderFailed(result);
    while ((result = avcodec_receive_packet(m_context.get(), m_packet.get())) >= 0) {
        sink(m_packet.get());
        av_packet_unref(m_packet.get());
    }
    if (result != AVERROR(EAGAIN) && result != AVERROR_EOF)
        encoderFailed(result);
}
