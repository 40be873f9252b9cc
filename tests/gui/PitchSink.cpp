#include "PitchSink.h"

#include <gst/audio/audio.h>
#include <gst/base/gstbasesink.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace {

std::atomic<double> s_pitch{0.0};
std::atomic<double> s_firstPitch{0.0};
std::atomic<int> s_generation{0};

struct PitchSinkElement {
    GstBaseSink parent;
    int rate;
    int channels;
    qint64 samples;
    int crossings;
    bool below;
    int generation;
    // Samples in a row near silence now, and the longest such run in the window being counted.
    int quiet;
    int longestQuiet;
};
struct PitchSinkElementClass {
    GstBaseSinkClass parent;
};

G_DEFINE_TYPE(PitchSinkElement, pitch_sink_element, GST_TYPE_BASE_SINK)

gboolean setCaps(GstBaseSink *sink, GstCaps *caps) {
    auto *self = reinterpret_cast<PitchSinkElement *>(sink);
    GstAudioInfo info;
    if (!gst_audio_info_from_caps(&info, caps))
        return FALSE;
    self->rate = GST_AUDIO_INFO_RATE(&info);
    self->channels = GST_AUDIO_INFO_CHANNELS(&info);
    return TRUE;
}

// Rising zero crossings of the left channel, with some hysteresis against the coder's noise.
GstFlowReturn render(GstBaseSink *sink, GstBuffer *buffer) {
    auto *self = reinterpret_cast<PitchSinkElement *>(sink);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return GST_FLOW_OK;
    const auto *samples = reinterpret_cast<const qint16 *>(map.data);
    const gsize frames = map.size / sizeof(qint16) / std::max(1, self->channels);
    for (gsize i = 0; i < frames; ++i) {
        const qint16 left = samples[i * self->channels];
        self->quiet = std::abs(left) < 300 ? self->quiet + 1 : 0;
        self->longestQuiet = std::max(self->longestQuiet, self->quiet);
        if (left < -300)
            self->below = true;
        else if (left > 300 && self->below) {
            self->below = false;
            ++self->crossings;
        }
        if (++self->samples >= self->rate / 25) {
            s_pitch = double(self->crossings) * self->rate / double(self->samples);
            // A window the sound starts or stops in (a decoder's silent first samples) counts too few
            // crossings: the first pitch is the first window of sound throughout.
            double none = 0.0;
            if (self->generation == s_generation && self->longestQuiet < self->rate / 200)
                s_firstPitch.compare_exchange_strong(none, s_pitch.load());
            self->samples = 0;
            self->crossings = 0;
            self->longestQuiet = 0;
        }
    }
    gst_buffer_unmap(buffer, &map);
    return GST_FLOW_OK;
}

void pitch_sink_element_class_init(PitchSinkElementClass *klass) {
    GstElementClass *element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(element, "Pitch sink", "Sink/Audio", "Tells the pitch it hears",
                                          "tests");
    static GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
        "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
        GST_STATIC_CAPS("audio/x-raw,format=S16LE,layout=interleaved,rate=[8000,96000],channels=[1,8]"));
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    GST_BASE_SINK_CLASS(klass)->set_caps = setCaps;
    GST_BASE_SINK_CLASS(klass)->render = render;
}

void pitch_sink_element_init(PitchSinkElement *self) {
    self->rate = 48000;
    self->channels = 2;
    self->samples = 0;
    self->crossings = 0;
    self->below = false;
    self->generation = s_generation;
    gst_base_sink_set_sync(GST_BASE_SINK(self), TRUE);
}

} // namespace

namespace PitchSink {

void install() {
    gst_init(nullptr, nullptr);
    gst_element_register(nullptr, "halcyonpitchsink", GST_RANK_PRIMARY + 100, pitch_sink_element_get_type());
}

double pitch() {
    return s_pitch;
}

void reset() {
    s_firstPitch = 0.0;
    ++s_generation;
}

double firstPitch() {
    return s_firstPitch;
}

} // namespace PitchSink
