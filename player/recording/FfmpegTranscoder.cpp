#include "player/recording/FfmpegTranscoder.h"

#include "player/recording/FfmpegAudioEncoder.h"
#include "player/recording/FfmpegDecoder.h"
#include "player/recording/FfmpegError.h"
#include "player/recording/FfmpegInput.h"
#include "player/recording/FfmpegOutput.h"
#include "player/recording/FfmpegVideoEncoder.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

using namespace std::chrono_literals;

constexpr auto kProgressInterval = 250ms;
// A picture this far from the previous one means the source's clock jumped (the box restarted
// its stream, or the clock wrapped): the recording carries on straight after the last picture.
constexpr int64_t kClockJumpSeconds = 5;

// MPEG-2 video belongs in an MPEG-2 program stream, which the "vob" muxer writes.
const char *muxerName(const QString &mux) {
    return mux == u"ts" ? "mpegts" : "vob";
}

QString errorText(const FfmpegError &error) {
    return QString::fromUtf8(error.what());
}

} // namespace

FfmpegTranscoder::FfmpegTranscoder(const QString &inputUrl, const SoutChain &chain,
                                   const std::atomic<bool> &stopRequested, Progress progress)
    : m_inputUrl(inputUrl), m_chain(chain), m_stopRequested(stopRequested), m_progress(std::move(progress)) {}

// The box is left only here, once run() has given its outcome: saying goodbye may take a moment.
FfmpegTranscoder::~FfmpegTranscoder() = default;

FfmpegTranscoder::Outcome FfmpegTranscoder::run() {
    QString failure;
    QString lostReason;
    try {
        m_output = std::make_unique<FfmpegOutput>(m_chain.url, muxerName(m_chain.mux));
        lostReason = record();
    } catch (const FfmpegError &error) {
        failure = errorText(error);
    }
    try {
        finishFile();
    } catch (const FfmpegError &error) {
        if (failure.isEmpty())
            failure = errorText(error);
    }

    const bool written = m_output && m_output->headerWritten();
    if (written)
        reportProgress(true);
    if (!failure.isEmpty())
        return {false, failure, m_inputFailed};
    if (!lostReason.isEmpty() && written)
        return {false,
                QStringLiteral("Réception du flux interrompue (%1) : l'enregistrement « %2 » s'arrête là")
                    .arg(lostReason, m_chain.url),
                true};
    if (!lostReason.isEmpty())
        return {false,
                QStringLiteral("Réception du flux « %1 » interrompue avant la première image (%2) : "
                               "aucun fichier écrit")
                    .arg(m_inputUrl, lostReason),
                true};
    if (!written)
        return {true, QStringLiteral("Enregistrement arrêté avant la première image : aucun fichier écrit")};
    return {true, QStringLiteral("Enregistrement terminé : « %1 »").arg(m_chain.url)};
}

QString FfmpegTranscoder::record() {
    m_input = std::make_unique<FfmpegInput>(m_stopRequested);
    try {
        if (!m_input->open(m_inputUrl))
            return {};
    } catch (const FfmpegError &) {
        m_inputFailed = true;
        throw;
    }
    m_videoDecoder = std::make_unique<FfmpegDecoder>(m_input->videoStream());
    for (AVStream *stream : m_input->audioStreams()) {
        SoundTrack track;
        track.source = stream;
        track.decoder = std::make_unique<FfmpegDecoder>(stream);
        m_sounds.push_back(std::move(track));
    }

    const AvPacketPtr packet(av_packet_alloc());
    if (!packet)
        throw FfmpegError(QStringLiteral("Mémoire insuffisante pour lire le flux"));
    for (;;) {
        switch (m_input->read(packet.get())) {
        case FfmpegInput::Read::Stopped:
            return {};
        case FfmpegInput::Read::Lost:
            return m_input->lostReason();
        case FfmpegInput::Read::Packet:
            break;
        }
        handlePacket(packet.get());
        av_packet_unref(packet.get());
        reportProgress(false);
    }
}

void FfmpegTranscoder::handlePacket(AVPacket *packet) {
    const AVStream *stream = m_input->context()->streams[packet->stream_index];
    if (stream == m_input->videoStream()) {
        // Joining mid-way, everything before the first key frame refers to pictures never received.
        if (!m_seenKeyFrame && !(packet->flags & AV_PKT_FLAG_KEY))
            return;
        m_seenKeyFrame = true;
        m_videoDecoder->decode(packet, [this](AVFrame *picture) { writeVideo(picture); });
    } else {
        for (SoundTrack &track : m_sounds)
            if (track.source == stream)
                track.decoder->decode(packet, [this, &track](AVFrame *sound) { writeAudio(track, sound); });
    }
}

void FfmpegTranscoder::startFile(const AVFrame *firstPicture) {
    const bool globalHeader = m_output->needsGlobalHeader();
    const AVRational frameRate = av_guess_frame_rate(m_input->context(), m_input->videoStream(), nullptr);
    m_videoEncoder =
        std::make_unique<FfmpegVideoEncoder>(firstPicture, frameRate, m_chain.videoBitrateKbps, globalHeader);
    m_videoIndex = m_output->addStream(m_videoEncoder->context());
    for (SoundTrack &track : m_sounds) {
        track.encoder = std::make_unique<FfmpegAudioEncoder>(track.decoder->context()->sample_rate,
                                                             m_chain.audioBitrateKbps, globalHeader);
        track.index = m_output->addStream(track.encoder->context());
    }
    m_output->writeHeader();
}

void FfmpegTranscoder::writeVideo(AVFrame *picture) {
    const int64_t time = picture->best_effort_timestamp;
    if (!m_output->headerWritten()) {
        if (time == AV_NOPTS_VALUE)
            return;
        startFile(picture);
        m_startTime = time;
    }
    const AVRational sourceBase = m_input->videoStream()->time_base;
    const AVRational frameBase = m_videoEncoder->context()->time_base;
    int64_t pts = time == AV_NOPTS_VALUE
                      ? m_lastVideoPts + 1
                      : av_rescale_q_rnd(time - m_startTime, sourceBase, frameBase,
                                         AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    const int64_t maxJump = kClockJumpSeconds * frameBase.den / frameBase.num;
    if (m_lastVideoPts >= 0 && (pts < m_lastVideoPts - maxJump || pts > m_lastVideoPts + maxJump)) {
        pts = m_lastVideoPts + 1;
        m_startTime = time - av_rescale_q(pts, frameBase, sourceBase);
    }
    if (pts <= m_lastVideoPts)
        return; // the same instant twice
    m_lastVideoPts = pts;
    m_videoEncoder->encode(picture, pts, [this, frameBase](AVPacket *packet) {
        m_output->write(packet, m_videoIndex, frameBase);
    });
}

void FfmpegTranscoder::writeAudio(SoundTrack &track, AVFrame *sound) {
    if (!track.encoder || !m_output->headerWritten())
        return; // sound from before the first picture
    const AVRational sampleBase{1, track.encoder->context()->sample_rate};
    if (track.firstPts < 0) {
        const int64_t time = sound->best_effort_timestamp;
        if (time == AV_NOPTS_VALUE || time < m_startTime)
            return;
        track.firstPts = av_rescale_q(time - m_startTime, track.source->time_base, sampleBase);
    }
    track.encoder->encode(sound, track.firstPts, [this, &track, sampleBase](AVPacket *packet) {
        m_output->write(packet, track.index, sampleBase);
    });
}

void FfmpegTranscoder::finishFile() {
    if (!m_output)
        return;
    if (!m_output->headerWritten()) {
        m_output->discard();
        return;
    }
    QString failure;
    try {
        // What the decoders and encoders still hold was received before the stop: it belongs in the file.
        m_videoDecoder->decode(nullptr, [this](AVFrame *picture) { writeVideo(picture); });
        for (SoundTrack &track : m_sounds)
            track.decoder->decode(nullptr, [this, &track](AVFrame *sound) { writeAudio(track, sound); });
        const AVRational frameBase = m_videoEncoder->context()->time_base;
        m_videoEncoder->flush(
            [this, frameBase](AVPacket *packet) { m_output->write(packet, m_videoIndex, frameBase); });
        for (SoundTrack &track : m_sounds) {
            if (!track.encoder)
                continue;
            const AVRational sampleBase{1, track.encoder->context()->sample_rate};
            track.encoder->flush([this, &track, sampleBase](AVPacket *packet) {
                m_output->write(packet, track.index, sampleBase);
            });
        }
    } catch (const FfmpegError &error) {
        failure = errorText(error);
    }
    // Whatever went wrong above, the trailer still closes what was written.
    m_output->finish();
    if (!failure.isEmpty())
        throw FfmpegError(failure);
}

void FfmpegTranscoder::reportProgress(bool now) {
    if (!m_progress || !m_output || !m_output->headerWritten())
        return;
    const auto time = std::chrono::steady_clock::now();
    if (!now && time - m_lastReport < kProgressInterval)
        return;
    m_lastReport = time;
    m_progress(elapsedMs(), m_output->bytesWritten());
}

qint64 FfmpegTranscoder::elapsedMs() const {
    if (m_lastVideoPts < 0)
        return 0;
    return av_rescale_q(m_lastVideoPts + 1, m_videoEncoder->context()->time_base, {1, 1000});
}
