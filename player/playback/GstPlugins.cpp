#include "player/playback/GstPlugins.h"

#include "player/EOleException.h"
#include "player/playback/SoundOutput.h"

#include <gst/gst.h>

namespace {

struct Element {
    const char *name;
    // Without it nothing plays; the others only serve some streams.
    bool required;
};

const Element kElements[] = {
    {"playbin", true},         {"appsink", true},           {"videoconvert", true},
    {"videoscale", true},      {"capsfilter", true},        {"rtspsrc", true},
    {"rtpmp2tdepay", true},    {"tsdemux", true},           {"h264parse", true},
    {"avdec_h264", true},      {"mpegaudioparse", false},   {"avdec_mp2float", false},
    {"mpegvideoparse", false}, {"avdec_mpeg2video", false}, {"audioconvert", false},
    {"audioresample", false},  {"autoaudiosink", false},    {"rtpjitterbuffer", false},
    {"multiqueue", false},     {"typefind", false},
};

EOleException missing(const QString &text) {
    return EOleException(EOleException::kClassNotRegistered, text, QStringLiteral("TVLCPlugin"));
}

} // namespace

void GstPlugins::ensureAvailable() {
    GError *error = nullptr;
    // Called even when GStreamer says it is initialised: it says so while another thread (the
    // early tune) is still building the plugin registry, and this waits for that to end.
    if (!gst_init_check(nullptr, nullptr, &error)) {
        const QString reason = error ? QString::fromUtf8(error->message) : QString();
        g_clear_error(&error);
        throw missing(QStringLiteral("GStreamer ne démarre pas : %1").arg(reason));
    }
    for (const Element &element : kElements) {
        if (!element.required)
            continue;
        GstElementFactory *factory = gst_element_factory_find(element.name);
        if (!factory)
            throw missing(QStringLiteral("Classe non enregistrée : élément GStreamer « %1 » introuvable")
                              .arg(QString::fromLatin1(element.name)));
        gst_object_unref(factory);
    }
}

void GstPlugins::preload() {
    for (const Element &element : kElements) {
        GstElementFactory *factory = gst_element_factory_find(element.name);
        if (!factory)
            continue;
        if (GstPluginFeature *loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory)))
            gst_object_unref(loaded);
        gst_object_unref(factory);
    }
    SoundOutput::probe();
}
