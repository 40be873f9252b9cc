#include "player/pipeline/TopField.h"

#include <gst/base/gstbasetransform.h>
#include <gst/video/video.h>

#include <algorithm>

namespace {

struct HalcyonTopField {
    GstBaseTransform parent;
    GstVideoInfo picture;
    GstVideoInfo field;
    // The next element reads GstVideoMeta: the field can be the picture's own memory.
    gboolean shareable;
};

struct HalcyonTopFieldClass {
    GstBaseTransformClass parent;
};

G_DEFINE_TYPE(HalcyonTopField, halcyon_top_field, GST_TYPE_BASE_TRANSFORM)

// Whether pictures with these caps carry two fields woven line by line. A field of its own per
// buffer ("alternate") is already what this element makes.
bool woven(const GstStructure *structure) {
    const char *mode = gst_structure_get_string(structure, "interlace-mode");
    return mode && (g_str_equal(mode, "interleaved") || g_str_equal(mode, "mixed"));
}

GstStructure *asField(const GstStructure *picture) {
    GstStructure *field = gst_structure_copy(picture);
    gst_structure_set(field, "interlace-mode", G_TYPE_STRING, "progressive", nullptr);
    gst_structure_remove_field(field, "field-order");
    int height = 0;
    if (gst_structure_get_int(picture, "height", &height))
        gst_structure_set(field, "height", G_TYPE_INT, (height + 1) / 2, nullptr);
    else
        gst_structure_remove_field(field, "height");
    // A field's pixels are twice as tall as the picture's, and the picture keeps its proportions.
    int n = 1, d = 1;
    if (gst_structure_has_field(picture, "pixel-aspect-ratio") &&
        !gst_structure_get_fraction(picture, "pixel-aspect-ratio", &n, &d)) {
        gst_structure_remove_field(field, "pixel-aspect-ratio");
    } else {
        gst_util_fraction_multiply(n, d, 1, 2, &n, &d);
        gst_structure_set(field, "pixel-aspect-ratio", GST_TYPE_FRACTION, n, d, nullptr);
    }
    return field;
}

GstCaps *transformCaps(GstBaseTransform *, GstPadDirection direction, GstCaps *caps, GstCaps *filter) {
    GstCaps *result = gst_caps_new_empty();
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure *structure = gst_caps_get_structure(caps, i);
        GstCapsFeatures *features = gst_caps_features_copy(gst_caps_get_features(caps, i));
        GstStructure *other = nullptr;
        if (direction == GST_PAD_SINK) {
            const char *mode = gst_structure_get_string(structure, "interlace-mode");
            other = (!gst_structure_has_field(structure, "interlace-mode") || (mode && !woven(structure)))
                        ? gst_structure_copy(structure)
                        : asField(structure);
        } else {
            // Any picture upstream: a woven one of twice the height or a progressive one as it is.
            other = gst_structure_copy(structure);
            gst_structure_remove_fields(other, "height", "pixel-aspect-ratio", "interlace-mode",
                                        "field-order", nullptr);
        }
        gst_caps_append_structure_full(result, other, features);
    }
    if (filter) {
        GstCaps *filtered = gst_caps_intersect_full(filter, result, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(result);
        result = filtered;
    }
    return result;
}

gboolean setCaps(GstBaseTransform *transform, GstCaps *in, GstCaps *out) {
    auto *self = reinterpret_cast<HalcyonTopField *>(transform);
    if (!gst_video_info_from_caps(&self->picture, in) || !gst_video_info_from_caps(&self->field, out))
        return FALSE;
    const bool pick = woven(gst_caps_get_structure(in, 0));
    // Tiles hold lines of both fields together: no stride shows one field alone.
    if (pick && GST_VIDEO_FORMAT_INFO_IS_TILED(self->picture.finfo))
        return FALSE;
    gst_base_transform_set_passthrough(transform, !pick);
    return TRUE;
}

gboolean decideAllocation(GstBaseTransform *transform, GstQuery *query) {
    auto *self = reinterpret_cast<HalcyonTopField *>(transform);
    self->shareable = gst_query_find_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
    return GST_BASE_TRANSFORM_CLASS(halcyon_top_field_parent_class)->decide_allocation(transform, query);
}

gboolean proposeAllocation(GstBaseTransform *transform, GstQuery *decided, GstQuery *query) {
    if (!decided)
        return GST_BASE_TRANSFORM_CLASS(halcyon_top_field_parent_class)
            ->propose_allocation(transform, decided, query);
    // Any line stride and plane offset is welcome: the decoder need not copy into a tight layout.
    gst_query_add_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
    return TRUE;
}

GstBuffer *sharedField(HalcyonTopField *self, GstBuffer *input) {
    const GstVideoMeta *meta = gst_buffer_get_video_meta(input);
    gsize offsets[GST_VIDEO_MAX_PLANES] = {};
    gint strides[GST_VIDEO_MAX_PLANES] = {};
    const guint planes = GST_VIDEO_INFO_N_PLANES(&self->picture);
    for (guint p = 0; p < planes; ++p) {
        offsets[p] = meta ? meta->offset[p] : GST_VIDEO_INFO_PLANE_OFFSET(&self->picture, p);
        strides[p] = 2 * (meta ? meta->stride[p] : GST_VIDEO_INFO_PLANE_STRIDE(&self->picture, p));
    }
    GstBuffer *field = gst_buffer_new();
    gst_buffer_copy_into(
        field, input,
        GstBufferCopyFlags(GST_BUFFER_COPY_FLAGS | GST_BUFFER_COPY_TIMESTAMPS | GST_BUFFER_COPY_MEMORY), 0,
        -1);
    gst_buffer_add_video_meta_full(field, GST_VIDEO_FRAME_FLAG_NONE, GST_VIDEO_INFO_FORMAT(&self->field),
                                   GST_VIDEO_INFO_WIDTH(&self->field), GST_VIDEO_INFO_HEIGHT(&self->field),
                                   planes, offsets, strides);
    return field;
}

// For an element after this one that only reads tightly laid out pictures.
GstBuffer *copiedField(HalcyonTopField *self, GstBuffer *input) {
    GstBuffer *field = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&self->field), nullptr);
    gst_buffer_copy_into(field, input, GstBufferCopyFlags(GST_BUFFER_COPY_FLAGS | GST_BUFFER_COPY_TIMESTAMPS),
                         0, -1);
    GstVideoFrame from, to;
    if (!gst_video_frame_map(&from, &self->picture, input, GST_MAP_READ)) {
        gst_buffer_unref(field);
        return nullptr;
    }
    if (!gst_video_frame_map(&to, &self->field, field, GST_MAP_WRITE)) {
        gst_video_frame_unmap(&from);
        gst_buffer_unref(field);
        return nullptr;
    }
    for (guint p = 0; p < GST_VIDEO_FRAME_N_PLANES(&to); ++p) {
        gint components[GST_VIDEO_MAX_COMPONENTS];
        gst_video_format_info_component(self->field.finfo, p, components);
        const int rows = GST_VIDEO_FRAME_COMP_HEIGHT(&to, components[0]);
        const int fromStride = GST_VIDEO_FRAME_PLANE_STRIDE(&from, p);
        const int toStride = GST_VIDEO_FRAME_PLANE_STRIDE(&to, p);
        const auto *source = static_cast<const guint8 *>(GST_VIDEO_FRAME_PLANE_DATA(&from, p));
        auto *target = static_cast<guint8 *>(GST_VIDEO_FRAME_PLANE_DATA(&to, p));
        for (int row = 0; row < rows; ++row)
            std::copy_n(source + gsize(2 * row) * fromStride, std::min(fromStride, toStride),
                        target + gsize(row) * toStride);
    }
    gst_video_frame_unmap(&to);
    gst_video_frame_unmap(&from);
    return field;
}

GstFlowReturn prepareOutput(GstBaseTransform *transform, GstBuffer *input, GstBuffer **output) {
    auto *self = reinterpret_cast<HalcyonTopField *>(transform);
    if (gst_base_transform_is_passthrough(transform)) {
        *output = input;
        return GST_FLOW_OK;
    }
    *output = self->shareable ? sharedField(self, input) : copiedField(self, input);
    if (!*output)
        return GST_FLOW_ERROR;
    GST_BUFFER_FLAG_UNSET(*output, GST_VIDEO_BUFFER_FLAG_INTERLACED | GST_VIDEO_BUFFER_FLAG_TFF |
                                       GST_VIDEO_BUFFER_FLAG_RFF | GST_VIDEO_BUFFER_FLAG_ONEFIELD);
    return GST_FLOW_OK;
}

GstFlowReturn transformBuffer(GstBaseTransform *, GstBuffer *, GstBuffer *) {
    return GST_FLOW_OK; // prepareOutput made the field already
}

void halcyon_top_field_class_init(HalcyonTopFieldClass *klass) {
    auto *element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(element, "Top field", "Filter/Effect/Video/Deinterlace",
                                          "Shows an interlaced picture as its top field", "Halcyon TV");
    for (GstPadDirection direction : {GST_PAD_SINK, GST_PAD_SRC}) {
        GstCaps *any = gst_caps_from_string("video/x-raw");
        gst_element_class_add_pad_template(
            element,
            gst_pad_template_new(direction == GST_PAD_SINK ? "sink" : "src", direction, GST_PAD_ALWAYS, any));
        gst_caps_unref(any);
    }
    auto *base = GST_BASE_TRANSFORM_CLASS(klass);
    base->transform_caps = &transformCaps;
    base->set_caps = &setCaps;
    base->decide_allocation = &decideAllocation;
    base->propose_allocation = &proposeAllocation;
    base->prepare_output_buffer = &prepareOutput;
    base->transform = &transformBuffer;
    base->passthrough_on_same_caps = FALSE;
}

void halcyon_top_field_init(HalcyonTopField *self) {
    gst_video_info_init(&self->picture);
    gst_video_info_init(&self->field);
    self->shareable = FALSE;
}

} // namespace

GstElement *TopField::create() {
    return GST_ELEMENT(g_object_new(halcyon_top_field_get_type(), nullptr));
}
