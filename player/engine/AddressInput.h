#pragma once

#include "player/PlayerOptions.h"
#include "player/pipeline/PlaybackInput.h"

#include <QString>

typedef struct _GstRTSPMessage GstRTSPMessage;

// A stream the pipeline connects to itself: the box's RTSP address, any other URI, or a file.
// Sets the RTSP source's latency as the settings ask, its transports as the options do, and its
// requests' paths right.
class AddressInput : public PlaybackInput {
public:
    AddressInput(QByteArray uri, const PlayerOptions &options);

    // What GStreamer plays for an address: a URI as given, a file path as a file URI.
    static QByteArray uriFor(const QString &address);

    QByteArray uri() const override { return m_uri; }
    void setUpSource(GstElement *source, PictureSink &pictures, const PipelineSettings &settings) override;
    bool showsFirstKeyFrameEarly() const override { return true; }

private:
    static void onDescription(GstElement *source, void *sdp, void *);
    static int onBeforeSend(GstElement *source, GstRTSPMessage *message, AddressInput *self);

    const QByteArray m_uri;
    const PlayerOptions m_options;
};
