#include "player/recording/FfmpegOutput.h"

#include "player/recording/FfmpegError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

FfmpegOutput::FfmpegOutput(const QString &path, const char *formatName)
    : m_path(path), m_created(!QFileInfo::exists(path)) {
    const QByteArray fileName = QFile::encodeName(path);
    if (avformat_alloc_output_context2(&m_context, nullptr, formatName, fileName.constData()) < 0)
        throw FfmpegError(
            QStringLiteral("Format d'enregistrement « %1 » indisponible").arg(QString::fromUtf8(formatName)));
    // "file:" keeps a name with a colon in it from being taken for another protocol.
    const QByteArray url = "file:" + fileName;
    const int result = avio_open(&m_context->pb, url.constData(), AVIO_FLAG_WRITE);
    if (result < 0) {
        avformat_free_context(m_context);
        m_context = nullptr;
        throw FfmpegError(
            QStringLiteral("Impossible de créer le fichier « %1 » (%2)").arg(path, ffmpegErrorText(result)));
    }
}

FfmpegOutput::~FfmpegOutput() {
    if (!m_context)
        return;
    avio_closep(&m_context->pb);
    avformat_free_context(m_context);
}

bool FfmpegOutput::needsGlobalHeader() const {
    return m_context->oformat->flags & AVFMT_GLOBALHEADER;
}

int FfmpegOutput::addStream(const AVCodecContext *encoder) {
    AVStream *stream = avformat_new_stream(m_context, nullptr);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, encoder) < 0)
        throw FfmpegError(QStringLiteral("Mémoire insuffisante pour écrire le fichier"));
    stream->time_base = encoder->time_base;
    // The muxer sizes its buffers and its announced rate from the encoder's rate control.
    const AVPacketSideData *side = nullptr;
    for (int i = 0; i < encoder->nb_coded_side_data; ++i) {
        if (encoder->coded_side_data[i].type == AV_PKT_DATA_CPB_PROPERTIES)
            side = &encoder->coded_side_data[i];
    }
    if (side) {
        uint8_t *data = av_stream_new_side_data(stream, side->type, side->size);
        if (data)
            memcpy(data, side->data, side->size);
    }
    return stream->index;
}

void FfmpegOutput::writeHeader() {
    const int result = avformat_write_header(m_context, nullptr);
    if (result < 0)
        writeFailed(result);
    m_headerWritten = true;
}

void FfmpegOutput::write(AVPacket *packet, int streamIndex, AVRational encoderTimeBase) {
    if (m_failed)
        return;
    packet->stream_index = streamIndex;
    av_packet_rescale_ts(packet, encoderTimeBase, m_context->streams[streamIndex]->time_base);
    const int result = av_interleaved_write_frame(m_context, packet);
    if (result < 0)
        writeFailed(result);
}

void FfmpegOutput::finish() {
    if (!m_context)
        return;
    int result = 0;
    if (m_headerWritten && !m_failed)
        result = av_write_trailer(m_context);
    if (result >= 0)
        avio_flush(m_context->pb);
    if (result >= 0 && m_context->pb->error < 0)
        result = m_context->pb->error;
    m_finalSize = avio_tell(m_context->pb);
    const int closed = avio_closep(&m_context->pb);
    avformat_free_context(m_context);
    m_context = nullptr;
    if (result >= 0)
        result = closed;
    if (result < 0 && !m_failed)
        writeFailed(result);
}

void FfmpegOutput::discard() {
    if (!m_context)
        return;
    avio_closep(&m_context->pb);
    avformat_free_context(m_context);
    m_context = nullptr;
    // Only a file this recording made goes: a device such as /dev/full, written to by name, stays.
    if (m_created && QFileInfo(m_path).isFile())
        QFile::remove(m_path);
}

qint64 FfmpegOutput::bytesWritten() const {
    return m_context && m_context->pb ? avio_tell(m_context->pb) : m_finalSize;
}

void FfmpegOutput::writeFailed(int code) {
    m_failed = true;
    if (code == AVERROR(ENOSPC))
        throw FfmpegError(
            QStringLiteral("Disque plein : l'enregistrement dans « %1 » s'est arrêté").arg(m_path));
    throw FfmpegError(
        QStringLiteral("Erreur d'écriture dans « %1 » (%2)").arg(m_path, ffmpegErrorText(code)));
}
