#include "player/recording/FfmpegDecoder.h"

#include "player/recording/FfmpegError.h"

extern "C" {
#include <libavformat/avformat.h>
}

FfmpegDecoder::FfmpegDecoder(const AVStream *stream) : m_frame(av_frame_alloc()) {
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        throw FfmpegError(QStringLiteral("Aucun décodeur pour le format « %1 » du flux")
                              .arg(QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id))));
    m_context.reset(avcodec_alloc_context3(codec));
    if (!m_context || !m_frame || avcodec_parameters_to_context(m_context.get(), stream->codecpar) < 0)
        throw FfmpegError(QStringLiteral("Mémoire insuffisante pour décoder le flux"));
    m_context->pkt_timebase = stream->time_base;
    // Pictures decoded from a stream joined mid-way are grey smears until the next key frame:
    // only whole pictures go into the file.
    m_context->flags &= ~AV_CODEC_FLAG_OUTPUT_CORRUPT;
    // One thread: frame threads would hold pictures back, and one SD stream needs little.
    m_context->thread_count = 1;
    const int result = avcodec_open2(m_context.get(), codec, nullptr);
    if (result < 0)
        throw FfmpegError(QStringLiteral("Impossible de décoder le flux (%1)").arg(ffmpegErrorText(result)));
}

void FfmpegDecoder::decode(const AVPacket *packet, const FrameSink &sink) {
    // A damaged packet is refused here and simply left out.
    avcodec_send_packet(m_context.get(), packet);
    while (avcodec_receive_frame(m_context.get(), m_frame.get()) >= 0) {
        sink(m_frame.get());
        av_frame_unref(m_frame.get());
    }
}
