#include "player/pipeline/PictureSink.h"

#include "player/StartupTrace.h"
#include "player/pipeline/TopField.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

namespace {

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char *kFormat = "BGRx"; // QImage::Format_RGB32 in memory
#else
constexpr const char *kFormat = "xRGB";
#endif

// A picture this late is still shown: on a starved machine a late picture beats none, and the
// watchdog would take a run of dropped ones for a dead stream. Later ones (the backlog a stalled
// network releases at once) are dropped.
constexpr qint64 kMaxLatenessMs = 500;

GstElement *make(const char *factory) {
    return gst_element_factory_make(factory, nullptr);
}

} // namespace

// Square pixels at most the shown size: videoscale keeps the picture's display aspect within the
// bound, so 720x576 at 16:15 and 1920x1080 at 1:1 both arrive ready to paint.
GstCaps *PictureSink::capsFor(QSize bound) {
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, kFormat, "pixel-aspect-ratio",
                                        GST_TYPE_FRACTION, 1, 1, nullptr);
    if (bound.isValid() && !bound.isEmpty())
        gst_caps_set_simple(caps, "width", GST_TYPE_INT_RANGE, 1, bound.width(), "height", GST_TYPE_INT_RANGE,
                            1, bound.height(), nullptr);
    return caps;
}

PictureSink::PictureSink(std::function<void()> pictureWaiting)
    : m_pictureWaiting(std::move(pictureWaiting)) {}

PictureSink::Conversion PictureSink::addConversion(GstBin *bin, QSize bound, Deinterlacing deinterlacing) {
    // Scaling first, converting after: the conversion then runs on the small picture.
    GstElement *scale = make("videoscale");
    GstElement *convert = make("videoconvert");
    GstElement *filter = make("capsfilter");
    GstCaps *caps = capsFor(bound);
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(bin, scale, convert, filter, nullptr);
    gst_element_link_many(scale, convert, filter, nullptr);
    if (deinterlacing == Deinterlacing::Off)
        return {scale, filter};
    // Interlaced pictures are shown as their top field, read in place by the scaler: the window
    // shows far fewer lines than a field has, so nothing is lost, and no pass over the full picture
    // is spent on deinterlacing. Progressive pictures pass untouched.
    GstElement *field = TopField::create();
    gst_bin_add(bin, field);
    gst_element_link(field, scale);
    return {field, filter};
}

PictureSink::Picture PictureSink::pictureOf(GstBuffer *buffer, GstCaps *caps) {
    Picture picture;
    GstVideoInfo info;
    if (!buffer || !caps || !gst_video_info_from_caps(&info, caps))
        return picture;
    auto *frame = new GstVideoFrame;
    if (!gst_video_frame_map(frame, &info, buffer, GST_MAP_READ)) {
        delete frame;
        return picture;
    }
    picture.image = QImage(
        static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0)), info.width, info.height,
        GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0), QImage::Format_RGB32,
        [](void *data) {
            auto *done = static_cast<GstVideoFrame *>(data);
            gst_video_frame_unmap(done);
            delete done;
        },
        frame);
    if (info.par_n > 0 && info.par_d > 0)
        picture.pixelAspectRatio = qreal(info.par_n) / info.par_d;
    return picture;
}

GstCaps *PictureSink::capsFor(const PipelineSettings &settings) {
    return capsFor(settings.pictureBound);
}

GstElement *PictureSink::createBin(const PipelineSettings &settings) {
    GstElement *bin = gst_bin_new("pictures");
    const Conversion conversion = addConversion(GST_BIN(bin), settings.pictureBound, settings.deinterlacing);
    GstCaps *caps = capsFor(settings);
    g_object_set(conversion.filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    m_filter = conversion.filter;
    GstElement *sink = make("appsink");
    // Very late pictures are dropped here, so under load the picture keeps up with the sound instead
    // of falling ever further behind. Not reported upstream (qos): after a network stall the first
    // pictures come late once, and the decoder would then skip the next second or two as well.
    g_object_set(sink, "max-buffers", 1u, "drop", TRUE, "sync", TRUE, "qos", FALSE, "max-lateness",
                 gint64(kMaxLatenessMs * GST_MSECOND), "enable-last-sample", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample =
        reinterpret_cast<GstFlowReturn (*)(GstAppSink *, gpointer)>(&PictureSink::onNewSample);
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);

    gst_bin_add(GST_BIN(bin), sink);
    gst_element_link(m_filter, sink);
    GstPad *input = gst_element_get_static_pad(conversion.input, "sink");
    GstPad *ghost = gst_ghost_pad_new("sink", input);
    m_gate.install(ghost);
    gst_element_add_pad(bin, ghost);
    gst_object_unref(input);
    return bin;
}

void PictureSink::apply(const PipelineSettings &settings) {
    if (!m_filter)
        return;
    GstCaps *wanted = capsFor(settings);
    GstCaps *current = nullptr;
    g_object_get(m_filter, "caps", &current, nullptr);
    // capsfilter asks upstream to renegotiate; the next picture comes as asked.
    if (!current || !gst_caps_is_equal(current, wanted))
        g_object_set(m_filter, "caps", wanted, nullptr);
    if (current)
        gst_caps_unref(current);
    gst_caps_unref(wanted);
}

PictureSink::Picture PictureSink::take() {
    std::lock_guard lock(m_mutex);
    m_delivering = false;
    return std::exchange(m_waiting, Picture());
}

int PictureSink::onNewSample(GstAppSink *sink, void *self) {
    auto *pictures = static_cast<PictureSink *>(self);
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_OK;
    StartupTrace::mark("first picture at the sink");
    // The frame map holds its own reference on the buffer.
    Picture picture = pictureOf(gst_sample_get_buffer(sample), gst_sample_get_caps(sample));
    gst_sample_unref(sample);
    if (picture.image.isNull())
        return GST_FLOW_OK;
    pictures->offer(std::move(picture));
    return GST_FLOW_OK;
}

void PictureSink::offer(Picture picture) {
    bool notify = false;
    {
        std::lock_guard lock(m_mutex);
        m_waiting = std::move(picture);
        notify = !std::exchange(m_delivering, true);
    }
    if (notify)
        m_pictureWaiting();
}
