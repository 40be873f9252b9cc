#include "player/engine/GstPlugins.h"

#include "player/EOleException.h"
#include "player/StartupTrace.h"
#include "player/pipeline/SoundOutput.h"

#include <QByteArray>
#include <gst/gst.h>

namespace {

struct Element {
    const char *name;
    // Without it nothing plays; the others only serve some streams.
    bool required;
};

// In the order a stream needs them, the picture's first: the first tune waits for none of these
// while its connection is being set up.
const Element kElements[] = {
    {"playbin", true},         {"rtspsrc", true},         {"rtpjitterbuffer", false},
    {"udpsrc", false},         {"rtpmp2tdepay", true},    {"typefind", false},
    {"tsdemux", true},         {"multiqueue", false},     {"h264parse", true},
    {"avdec_h264", true},      {"videoscale", true},      {"videoconvert", true},
    {"capsfilter", true},      {"appsink", true},         {"mpegaudioparse", false},
    {"avdec_mp2float", false}, {"audioconvert", false},   {"audioresample", false},
    {"autoaudiosink", false},  {"mpegvideoparse", false}, {"avdec_mpeg2video", false},
};
// The sound output is looked for once the picture's elements are in, before the others, unless it
// already was: the start-up channel's sound waits for it.
constexpr const char *kFirstAfterPicture = "mpegaudioparse";
// The first of the decoders, which come with FFmpeg's libraries.
constexpr const char *kFirstDecoder = "avdec_h264";

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

namespace {

// Loads kElements from first up to (not including) end, or to the last; the sound output is looked
// for on the way.
void loadElements(const char *first, const char *end) {
    bool loading = first == nullptr;
    for (const Element &element : kElements) {
        if (end && qstrcmp(element.name, end) == 0)
            return;
        loading = loading || qstrcmp(element.name, first) == 0;
        if (!loading)
            continue;
        if (qstrcmp(element.name, kFirstAfterPicture) == 0)
            SoundOutput::ensureProbed();
        GstElementFactory *factory = gst_element_factory_find(element.name);
        if (!factory)
            continue;
        if (GstPluginFeature *loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory)))
            gst_object_unref(loaded);
        gst_object_unref(factory);
        if (StartupTrace::enabled())
            StartupTrace::mark(QByteArray("loaded ").append(element.name).constData());
    }
}

} // namespace

void GstPlugins::preload() {
    loadElements(nullptr, nullptr);
}

void GstPlugins::preloadForConnection() {
    loadElements(nullptr, kFirstDecoder);
}

void GstPlugins::preloadForPictures() {
    loadElements(kFirstDecoder, nullptr);
}
