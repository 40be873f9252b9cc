#include "player/recording/FfmpegInput.h"

#include "player/PlayerLog.h"
#include "player/recording/FfmpegError.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

using namespace std::chrono_literals;

// Long enough for a box that is slow to answer, short enough that a dead one is noticed.
constexpr auto kOpenTimeout = 10s;
// The box sends 25 pictures a second: this long without one means it froze.
constexpr auto kSilenceTimeout = 5s;
// Time left to say goodbye to the box once the file is finished.
constexpr auto kCloseTimeout = 200ms;

} // namespace

FfmpegInput::FfmpegInput(const std::atomic<bool> &stopRequested) : m_stopRequested(stopRequested) {}

FfmpegInput::~FfmpegInput() {
    if (!m_context)
        return;
    m_closing = true;
    m_deadline = Clock::now() + kCloseTimeout;
    avformat_close_input(&m_context);
}

int FfmpegInput::interrupted(void *self) {
    auto *input = static_cast<FfmpegInput *>(self);
    if (input->m_stopRequested.load() && !input->m_closing)
        return 1;
    if (Clock::now() < input->m_deadline)
        return 0;
    input->m_timedOut = true;
    return 1;
}

bool FfmpegInput::open(const QString &url) {
    // Joined mid-way, the decoders complain about every picture before the first key frame; the
    // recorder's own messages say what matters to the user.
    av_log_set_level(AV_LOG_FATAL);
    // Over TCP no packet is lost to a busy network, which a file would keep for good; but many
    // servers send RTP over UDP only and answer an interleaved SETUP with 461, or even 400.
    int result = openOver("tcp", url);
    const bool refused = result == AVERROR(EPROTONOSUPPORT) || result == AVERROR_HTTP_BAD_REQUEST;
    if (refused && !m_stopRequested.load() && !m_timedOut) {
        qCWarning(lcRecording).noquote() << url << "refuses RTP over TCP, recording over UDP";
        result = openOver("udp", url);
    }
    if (m_stopRequested.load() && !m_timedOut)
        return false;
    if (result < 0) {
        const QString reason = m_timedOut ? QStringLiteral("pas de réponse") : ffmpegErrorText(result);
        qCWarning(lcRecording).noquote() << "cannot receive" << url << ":" << ffmpegErrorText(result);
        throw FfmpegError(QStringLiteral("Impossible de recevoir le flux « %1 » (%2)").arg(url, reason));
    }

    const int video = av_find_best_stream(m_context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0)
        throw FfmpegError(QStringLiteral("Le flux « %1 » ne contient pas d'image").arg(url));
    m_video = m_context->streams[video];
    m_deadline = Clock::now() + kSilenceTimeout;
    // Every sound track is kept, the viewer's choice being the player's, not the file's: a file
    // holds the original language and the audio description alike, and any player picks one.
    const int best = av_find_best_stream(m_context, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    m_audio.clear();
    if (best >= 0)
        m_audio << m_context->streams[best];
    for (unsigned i = 0; i < m_context->nb_streams; ++i) {
        AVStream *stream = m_context->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && int(i) != best &&
            stream->codecpar->sample_rate > 0)
            m_audio << stream;
        else if (stream != m_video && !m_audio.contains(stream))
            stream->discard = AVDISCARD_ALL;
    }
    return true;
}

int FfmpegInput::openOver(const char *transport, const QString &url) {
    if (m_context)
        avformat_close_input(&m_context);
    m_context = avformat_alloc_context();
    if (!m_context)
        throw FfmpegError(QStringLiteral("Mémoire insuffisante pour lire le flux"));
    m_context->interrupt_callback = {&FfmpegInput::interrupted, this};
    m_deadline = Clock::now() + kOpenTimeout;

    AVDictionary *options = nullptr;
    if (url.startsWith(QLatin1String("rtsp"), Qt::CaseInsensitive))
        av_dict_set(&options, "rtsp_transport", transport, 0);
    // A silent socket is given up too, but only after our own watchdog: FFmpeg gets over a socket
    // timeout by handing out the last picture it held, which looks like the stream going on.
    av_dict_set(&options, "timeout", "10000000", 0); // microseconds
    const QByteArray address = url.toUtf8();
    // How long the box took to answer, then to send enough to record: a stream that never came
    // and a box that never answered end alike in "pas de réponse", the log tells them apart.
    const Clock::time_point asked = Clock::now();
    const auto sinceAsked = [asked] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count();
    };
    // On failure the context is freed and set to null, ready for another try.
    int result = avformat_open_input(&m_context, address.constData(), nullptr, &options);
    av_dict_free(&options);
    qCDebug(lcRecording).noquote() << url << "over" << transport << "answered after" << sinceAsked()
                                   << "ms:" << result;
    if (result >= 0) {
        // The box repeats its parameters with every key frame, twice a second: a second and a
        // half finds them all. What is read meanwhile comes out again from read().
        m_context->max_analyze_duration = 1'500'000;
        // Not twenty pictures to guess the frame rate: the stream states it, and every picture
        // held back here would reach the file late, all at once.
        m_context->fps_probe_size = 0;
        result = avformat_find_stream_info(m_context, nullptr);
        qCDebug(lcRecording).noquote() << url << "streams found after" << sinceAsked() << "ms:" << result;
    }
    return result;
}

FfmpegInput::Read FfmpegInput::read(AVPacket *packet) {
    for (;;) {
        const int result = av_read_frame(m_context, packet);
        if (m_stopRequested.load())
            return result >= 0 ? Read::Packet : Read::Stopped;
        if (result < 0) {
            m_lostReason = m_timedOut ? QStringLiteral("plus aucune image depuis %1 s")
                                            .arg(std::chrono::seconds(kSilenceTimeout).count())
                                      : ffmpegErrorText(result);
            return Read::Lost;
        }
        const AVStream *stream = m_context->streams[packet->stream_index];
        // Only pictures keep the recording alive: a box whose picture froze may still send sound.
        if (stream == m_video)
            m_deadline = Clock::now() + kSilenceTimeout;
        if (stream == m_video || m_audio.contains(const_cast<AVStream *>(stream)))
            return Read::Packet;
        av_packet_unref(packet);
    }
}
