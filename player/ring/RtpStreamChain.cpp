#include "player/ring/RtpStreamChain.h"

namespace {

struct Chain {
    const char *media;
    const char *encodingName;
    const char *description;
};

// The multiplexer takes H.264 and HEVC in access units with their parameter sets before every key
// frame: a decoder that starts from a warm channel's newest key frame must find them there, not in
// a description sent once at the start.
constexpr Chain kChains[] = {
    {"video", "H264",
     "rtph264depay ! h264parse config-interval=-1"
     " ! capsfilter caps=video/x-h264,stream-format=byte-stream,alignment=au"},
    {"video", "H265",
     "rtph265depay ! h265parse config-interval=-1"
     " ! capsfilter caps=video/x-h265,stream-format=byte-stream,alignment=au"},
    {"video", "MPV", "rtpmpvdepay ! mpegvideoparse"},
    {"audio", "MPA", "rtpmpadepay ! mpegaudioparse"},
    {"audio", "MP4A-LATM", "rtpmp4adepay ! aacparse ! capsfilter caps=audio/mpeg,stream-format=adts"},
    {"audio", "MPEG4-GENERIC", "rtpmp4gdepay ! aacparse ! capsfilter caps=audio/mpeg,stream-format=adts"},
    {"audio", "AC3", "rtpac3depay ! ac3parse"},
};

} // namespace

QByteArray RtpStreamChain::encodingName(const QByteArray &named, int payloadType) {
    if (!named.isEmpty())
        return named;
    // The static payload types of the RTP audio and video profile that carry MPEG.
    switch (payloadType) {
    case 14:
        return "MPA";
    case 32:
        return "MPV";
    case 33:
        return "MP2T";
    default:
        return {};
    }
}

bool RtpStreamChain::isTransportStream(const QByteArray &encodingName) {
    return encodingName.compare("MP2T", Qt::CaseInsensitive) == 0;
}

QByteArray RtpStreamChain::forStream(const QByteArray &media, const QByteArray &encodingName) {
    for (const Chain &chain : kChains) {
        if (media.compare(chain.media, Qt::CaseInsensitive) == 0 &&
            encodingName.compare(chain.encodingName, Qt::CaseInsensitive) == 0)
            return chain.description;
    }
    return {};
}
