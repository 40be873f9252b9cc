#include "settopbox/StreamProfile.h"

#include "settopbox/ChannelColors.h"
#include "settopbox/TrackProfile.h"
#include "settopbox/TrackStreams.h"

#include <cmath>
#include <cstdio>

namespace halcyon::settopbox {

namespace {

const StreamProfile kProfiles[] = {
    // name, transportStream, outputs, movingNumber, switchesAspect, mpeg2Bridge, encodedLoop
    {"broadcast", true, 1, false, false, false},
    {"sd-h264", true, 1, false, false, false},
    {"sd-mpeg2", true, 1, true, false, true},
    {"hd-h264i", true, 1, true, false, false, true},
    {"two-audio", true, 1, false, false, false},
    {"aspect-switch", true, 1, false, true, false},
    {"radio", true, 1, false, false, false},
    {"elementary", false, 2, false, false, false},
    {kAudioTracksProfile},
    {kSubtitlesProfile},
    {kTracksProfile},
    {kTracksQadProfile},
};

struct Picture {
    int width = 720;
    int height = 576;
    // Interlaced pictures are drawn at 50 per second and woven two by two into 25 frames whose
    // fields show two moments, as a camera does.
    bool interlaced = false;
    const char *pixelAspect = "16/15";
    int fontPoints = 150;
    // Pictures drawn as fast as they can be, then an end, instead of live for ever.
    int count = 0;
};

std::string colourOf(int number) {
    const ChannelColour c = channelColour(number);
    char colour[16];
    std::snprintf(colour, sizeof colour, "0xff%02x%02x%02x", c.r, c.g, c.b);
    return colour;
}

// The channel's colour, its number in the middle and a small clock in the corner that keeps the
// picture live without covering the background colour.
std::string picture(int number, const Picture &p) {
    const std::string raw =
        "video/x-raw,format=I420,width=" + std::to_string(p.width) + ",height=" + std::to_string(p.height) +
        ",framerate=" + (p.interlaced ? "50/1" : "25/1") + ",pixel-aspect-ratio=" + p.pixelAspect;
    const std::string source = p.count > 0
                                   ? "videotestsrc is-live=false num-buffers=" + std::to_string(p.count)
                                   : std::string("videotestsrc is-live=true");
    std::string line = source + " pattern=solid-color foreground-color=" + colourOf(number) +
                       " ! capsfilter name=shape caps=\"" + raw +
                       "\" ! textoverlay name=number text=" + std::to_string(number) +
                       " font-desc=\"DejaVu Sans Bold " + std::to_string(p.fontPoints) +
                       "\" auto-resize=false valignment=center halignment=center"
                       " ! timeoverlay font-desc=\"DejaVu Sans Mono " +
                       std::to_string(p.fontPoints / 10) +
                       "\" auto-resize=false valignment=bottom halignment=left";
    // The overlays must draw into the picture itself, not hand a description downstream.
    if (p.interlaced)
        line += " ! video/x-raw ! interlace field-pattern=1:1 top-field-first=true";
    return line;
}

// A different pitch per channel lets a listener tell channels apart too.
int pitchOf(int number) {
    return 330 + (number % 16) * 40;
}

std::string toneAt(int hz) {
    return "audiotestsrc is-live=true wave=sine volume=0.2 samplesperbuffer=1152 freq=" + std::to_string(hz) +
           " ! audio/x-raw,rate=48000,channels=2 ! audioconvert ! avenc_mp2 bitrate=128000 ! mpegaudioparse";
}

std::string mp2(int number, int pitchOffset = 0) {
    return toneAt(pitchOf(number) + pitchOffset);
}

// x264 as a broadcaster runs it: B-frames and look-ahead, no zero-latency tuning, a key frame a second.
std::string broadcastH264(int bitrateKbps, bool interlaced, const std::string &extra = std::string()) {
    return std::string(" ! x264enc speed-preset=") + (interlaced ? "superfast interlaced=true" : "veryfast") +
           " bframes=3 b-adapt=false key-int-max=25 bitrate=" + std::to_string(bitrateKbps) + extra +
           " ! video/x-h264,profile=high ! h264parse config-interval=-1";
}

std::string muxToOut(const std::string &muxOptions = std::string()) {
    return "mpegtsmux name=mux alignment=7" + muxOptions +
           " ! appsink name=out0 sync=false max-buffers=64 drop=true";
}

std::string sdH264(int number) {
    return picture(number, {}) +
           " ! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=12 bitrate=1500"
           " ! video/x-h264,profile=constrained-baseline ! h264parse config-interval=-1 ! queue ! mux. " +
           mp2(number) + " ! queue ! mux. " + muxToOut();
}

std::string broadcast(int number) {
    return picture(number, {}) + broadcastH264(2500, false) + " ! queue ! mux. " + mp2(number) +
           " ! queue ! mux. " + muxToOut();
}

std::string sdMpeg2(int number) {
    return "appsrc name=mpeg2 is-live=true format=time ! mpegvideoparse ! queue ! mux. " + mp2(number) +
           " ! queue ! mux. " + muxToOut();
}

// Sent from EncodedLoop: the encode runs once, ahead, by encodedLoopLaunch(); clocksync paces
// each round out at the stream's own rate.
std::string hdH264i() {
    return "appsrc name=loop0 is-live=true format=time ! clocksync ! queue ! mux. "
           "appsrc name=loop1 is-live=true format=time ! clocksync ! queue ! mux. " +
           muxToOut();
}

std::string twoAudio(int number) {
    // Subtitles change once a second; the encoder sends a page only when the picture changes.
    const std::string subtitles =
        "videotestsrc is-live=true pattern=solid-color foreground-color=0x00000000"
        " ! video/x-raw,format=AYUV,width=720,height=576,framerate=1/1 ! timeoverlay text=\"Sous-titres " +
        std::to_string(number) + "\" font-desc=\"DejaVu Sans 20\" valignment=bottom halignment=center" +
        " ! dvbsubenc ! taginject tags=\"language-code=fra\" ! queue ! mux.sink_68 ";
    // The multiplexer lists streams in its table in the order their formats reach it unless told
    // otherwise: the order is fixed here by PID, so French is always the first sound track.
    return picture(number, {}) + broadcastH264(2500, false) + " ! queue ! mux.sink_65 " + mp2(number) +
           " ! taginject tags=\"language-code=fra\" ! queue ! mux.sink_66 " + mp2(number, 200) +
           " ! taginject tags=\"language-code=eng\" ! queue ! mux.sink_67 " + subtitles +
           muxToOut(" prog-map=\"program-map,PMT_65=(int)0,PMT_66=(int)1,PMT_67=(int)2,PMT_68=(int)3\"");
}

// A subtitle page rendered once a second, named so that TrackTiming can set its line and hold it
// back between showings. The text stays centred: the encoder looks for it on both sides of the
// middle of the page.
std::string subtitlePage(const BoxTrack &track, int pid) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "%u", track.colour);
    return "videotestsrc is-live=true pattern=solid-color foreground-color=0x00000000"
           " ! video/x-raw,format=AYUV,width=720,height=576,framerate=1/1 ! textoverlay name=" +
           subtitleTextName(pid) +
           " font-desc=\"DejaVu Sans Bold 28\" auto-resize=false valignment=bottom"
           " halignment=center ypad=40 color=" +
           colour + " ! dvbsubenc name=" + subtitleEncoderName(pid);
}

// The picture on PID 65, then each track on the next PID, listed in the program table in that order.
std::string withTracks(int number, const std::vector<BoxTrack> &tracks) {
    std::string line = picture(number, {}) + broadcastH264(2500, false) + " ! queue ! mux.sink_" +
                       std::to_string(kTrackVideoPid) + " ";
    std::string order = "program-map,PMT_" + std::to_string(kTrackVideoPid) + "=(int)0";
    int pid = kFirstTrackPid;
    for (const BoxTrack &track : tracks) {
        const std::string stream =
            track.kind == TrackKind::Sound ? toneAt(track.toneHz) : subtitlePage(track, pid);
        line += stream + " ! taginject tags=\"language-code=" + track.language + "\" ! queue ! mux.sink_" +
                std::to_string(pid) + " ";
        order += ",PMT_" + std::to_string(pid) + "=(int)" + std::to_string(pid - kTrackVideoPid);
        ++pid;
    }
    return line + muxToOut(" prog-map=\"" + order + "\"");
}

std::string radio(int number) {
    return mp2(number) + " ! queue ! mux. " + muxToOut();
}

std::string elementary(int number) {
    return picture(number, {}) + broadcastH264(2500, false) +
           " ! video/x-h264,stream-format=byte-stream,alignment=au"
           " ! appsink name=out0 sync=false max-buffers=64 drop=true " +
           mp2(number) + " ! appsink name=out1 sync=false max-buffers=64 drop=true";
}

// Sliding the number left and right, a full sweep a second, moves its edges some 13 pixels
// between the two fields of an SD frame: plain combing on any picture shown without deinterlacing.
int numberShift(GstClockTime pts, int amplitude) {
    const double phase = std::fmod(double(pts) / double(GST_SECOND), 1.0);
    const double triangle = phase < 0.5 ? phase * 4.0 - 1.0 : 3.0 - phase * 4.0;
    return int(triangle * amplitude);
}

GstPadProbeReturn onNumberPicture(GstPad *pad, GstPadProbeInfo *info, gpointer number) {
    GstCaps *caps = gst_pad_get_current_caps(pad);
    int width = 720;
    if (caps) {
        gst_structure_get_int(gst_caps_get_structure(caps, 0), "width", &width);
        gst_caps_unref(caps);
    }
    const GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (GST_BUFFER_PTS_IS_VALID(buffer))
        g_object_set(number, "deltax", numberShift(GST_BUFFER_PTS(buffer), width * 2 / 9), nullptr);
    return GST_PAD_PROBE_OK;
}

} // namespace

void slideNumber(GstElement *pipeline) {
    GstElement *number = gst_bin_get_by_name(GST_BIN(pipeline), "number");
    if (!number)
        return;
    GstPad *pad = gst_element_get_static_pad(number, "video_sink");
    // The pipeline keeps the overlay alive as long as the probe can run.
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &onNumberPicture, number, nullptr);
    gst_object_unref(pad);
    gst_object_unref(number);
}

std::string mpeg2PictureLaunch(int number) {
    Picture p;
    p.interlaced = true;
    return picture(number, p) + " ! appsink name=raw sync=false max-buffers=8 drop=true";
}

std::string encodedLoopLaunch(int number) {
    // One second: one group of pictures and one sweep of the sliding number, so a round joins the
    // next without a jump, and the encode stays short on a loaded machine.
    Picture p;
    p.width = 1920;
    p.height = 1080;
    p.interlaced = true;
    p.pixelAspect = "1/1";
    p.fontPoints = 400;
    p.count = 50; // fields
    // AC-3 frames hold 1536 samples: 31 of them fill a second but 8 ms.
    const std::string sound = "audiotestsrc is-live=false num-buffers=31 samplesperbuffer=1536 wave=sine "
                              "volume=0.2 freq=" +
                              std::to_string(pitchOf(number)) +
                              " ! audio/x-raw,rate=48000,channels=2 ! audioconvert"
                              " ! avenc_ac3 bitrate=192000 ! ac3parse";
    // Constant bit rate with filler, so the network carries what a real HD channel costs. The
    // appsinks keep every buffer and must say they reached the end before anyone takes them.
    return picture(number, p) +
           broadcastH264(8000, true, " vbv-buf-capacity=1000 option-string=nal-hrd=cbr") +
           " ! video/x-h264,stream-format=byte-stream,alignment=au ! appsink name=loop0 sync=false "
           "wait-on-eos=false " +
           sound + " ! appsink name=loop1 sync=false wait-on-eos=false";
}

const StreamProfile *findProfile(const std::string &name) {
    for (const StreamProfile &profile : kProfiles) {
        if (profile.name == name)
            return &profile;
    }
    return nullptr;
}

std::vector<std::string> profileNames() {
    std::vector<std::string> names;
    for (const StreamProfile &profile : kProfiles)
        names.push_back(profile.name);
    return names;
}

std::string encoderLaunch(const StreamProfile &profile, int number) {
    if (profile.name == "sd-h264")
        return sdH264(number);
    if (profile.name == "sd-mpeg2")
        return sdMpeg2(number);
    if (profile.name == "hd-h264i")
        return hdH264i();
    if (profile.name == "two-audio")
        return twoAudio(number);
    if (profile.name == "radio")
        return radio(number);
    if (profile.name == "elementary")
        return elementary(number);
    if (const std::vector<BoxTrack> tracks = boxTracks(profile.name); !tracks.empty())
        return withTracks(number, tracks);
    // broadcast and aspect-switch share one picture; the switch acts on its capsfilter.
    return broadcast(number);
}

std::string viewerLaunch(const StreamProfile &profile) {
    // Each viewer gets its own tiny pipeline; the expensive encoding is shared in ChannelEncoder.
    if (profile.transportStream)
        return "( appsrc name=src0 is-live=true format=time ! rtpmp2tpay name=pay0 pt=33 )";
    return "( appsrc name=src0 is-live=true format=time ! h264parse ! rtph264pay name=pay0 pt=96 "
           "config-interval=-1"
           "  appsrc name=src1 is-live=true format=time ! mpegaudioparse ! rtpmpapay name=pay1 pt=14 )";
}

} // namespace halcyon::settopbox
