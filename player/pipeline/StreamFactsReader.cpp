#include "player/pipeline/StreamFactsReader.h"

#include <algorithm>
#include <functional>

namespace StreamFactsReader {

namespace {

// Calls visit on every element inside bin, at any depth.
void forEachElement(GstElement *bin, const std::function<void(GstElement *)> &visit) {
    if (!GST_IS_BIN(bin))
        return;
    GstIterator *it = gst_bin_iterate_recurse(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    bool done = false;
    while (!done) {
        switch (gst_iterator_next(it, &item)) {
        case GST_ITERATOR_OK:
            visit(GST_ELEMENT(g_value_get_object(&item)));
            g_value_reset(&item);
            break;
        case GST_ITERATOR_RESYNC:
            gst_iterator_resync(it);
            break;
        default:
            done = true;
            break;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(it);
}

// The caps flowing through the element's pad now; null before any did.
GstCaps *capsOf(GstElement *element, const char *pad) {
    GstPad *found = gst_element_get_static_pad(element, pad);
    if (!found)
        return nullptr;
    GstCaps *caps = gst_pad_get_current_caps(found);
    gst_object_unref(found);
    return caps;
}

int intField(const GstStructure *s, const char *name) {
    int value = 0;
    return gst_structure_get_int(s, name, &value) ? value : 0;
}

StreamFacts::Codec codecOf(const GstStructure *s) {
    return {QString::fromUtf8(gst_structure_get_name(s)), intField(s, "mpegversion"), intField(s, "layer")};
}

void readVideo(GstElement *decoder, StreamFacts &facts) {
    if (GstCaps *in = capsOf(decoder, "sink")) {
        facts.video = codecOf(gst_caps_get_structure(in, 0));
        gst_caps_unref(in);
    }
    GstCaps *out = capsOf(decoder, "src");
    if (!out)
        return;
    const GstStructure *s = gst_caps_get_structure(out, 0);
    facts.size = QSize(intField(s, "width"), intField(s, "height"));
    int num = 0, den = 1;
    if (gst_structure_get_fraction(s, "framerate", &num, &den) && den > 0)
        facts.frameRate = double(num) / den;
    const char *interlace = gst_structure_get_string(s, "interlace-mode");
    facts.interlaced = interlace && g_strcmp0(interlace, "progressive") != 0;
    gst_caps_unref(out);
}

void readSound(GstElement *decoder, StreamFacts &facts) {
    if (GstCaps *in = capsOf(decoder, "sink")) {
        facts.sound = codecOf(gst_caps_get_structure(in, 0));
        gst_caps_unref(in);
    }
    if (GstCaps *out = capsOf(decoder, "src")) {
        const GstStructure *s = gst_caps_get_structure(out, 0);
        facts.soundChannels = intField(s, "channels");
        facts.sampleRate = intField(s, "rate");
        gst_caps_unref(out);
    }
}

} // namespace

void readDecoders(GstElement *pipeline, StreamFacts &facts) {
    forEachElement(pipeline, [&](GstElement *element) {
        GstElementFactory *factory = gst_element_get_factory(element);
        const char *klass =
            factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
        if (!klass || !g_strrstr(klass, "Decoder"))
            return;
        // Of several sound decoders (one per track), the first one that has seen its stream.
        if (g_strrstr(klass, "Video") && facts.video.media.isEmpty())
            readVideo(element, facts);
        else if (g_strrstr(klass, "Audio") && facts.sound.media.isEmpty())
            readSound(element, facts);
    });
}

qint64 lostPackets(GstElement *pipeline) {
    qint64 lost = -1;
    forEachElement(pipeline, [&](GstElement *element) {
        GstElementFactory *factory = gst_element_get_factory(element);
        if (!factory ||
            g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "rtpjitterbuffer") != 0)
            return;
        GstStructure *stats = nullptr;
        g_object_get(element, "stats", &stats, nullptr);
        guint64 count = 0;
        if (stats && gst_structure_get_uint64(stats, "num-lost", &count))
            lost = std::max<qint64>(lost, 0) + qint64(count);
        if (stats)
            gst_structure_free(stats);
    });
    return lost;
}

} // namespace StreamFactsReader
