#pragma once

#include <QImage>
#include <gst/gst.h>

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
inline constexpr const char *kSampleImageCaps = "video/x-raw,format=BGRx"; // QImage::Format_RGB32 in memory
#else
inline constexpr const char *kSampleImageCaps = "video/x-raw,format=xRGB";
#endif

// The picture of an appsink sample negotiated with kSampleImageCaps, copied into a QImage, and
// the width of one of its pixels over its height. A null image when the sample holds none.
QImage imageOfSample(GstSample *sample, qreal *pixelAspectRatio);
