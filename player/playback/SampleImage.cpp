#include "player/playback/SampleImage.h"

#include <gst/video/video.h>

#include <cstring>

QImage imageOfSample(GstSample *sample, qreal *pixelAspectRatio) {
    *pixelAspectRatio = 1.0;
    GstVideoInfo info;
    GstVideoFrame frame;
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
        !gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ))
        return QImage();
    QImage image(info.width, info.height, QImage::Format_RGB32);
    const auto *source = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    for (int y = 0; y < info.height; ++y)
        memcpy(image.scanLine(y), source + qsizetype(y) * stride, size_t(info.width) * 4);
    gst_video_frame_unmap(&frame);
    if (info.par_n > 0 && info.par_d > 0)
        *pixelAspectRatio = qreal(info.par_n) / info.par_d;
    return image;
}
