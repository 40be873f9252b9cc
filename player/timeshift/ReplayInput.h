#pragma once

#include "player/pipeline/PlaybackInput.h"

#include <QtGlobal>

#include <atomic>
#include <memory>

typedef struct _GstPad GstPad;
typedef struct _GstPadProbeInfo GstPadProbeInfo;
class ReplayReader;

// A PlaybackPipeline's stream read from what is kept of the watched channel (by a ReplayReader)
// from a start point (a key frame) on: its pictures and sound before the moment asked for are
// decoded but not shown, so the first picture shown is that moment's. Not live: the pipeline
// prerolls there, and may be held.
class ReplayInput : public PlaybackInput {
public:
    struct Start {
        // The logical offset of the start point and when it arrived, and the moment to show first;
        // all in the store's arrival time.
        qint64 offset = 0;
        qint64 pointNs = 0;
        qint64 targetNs = 0;
        bool paused = false;
        // The stream has pictures: they set the time; otherwise its sound does.
        bool pictures = true;
    };

    ReplayInput(std::shared_ptr<ReplayReader> reader, const Start &start);
    ~ReplayInput() override;

    QByteArray uri() const override { return QByteArrayLiteral("appsrc://"); }
    void setUpSource(GstElement *source, PictureSink &pictures, const PipelineSettings &settings) override;
    void release() override;
    bool showsFirstKeyFrameEarly() const override { return false; }
    void elementAdded(GstElement *element, const QByteArray &name) override;
    bool prerolls() const override { return true; }
    quint64 startTime() const override;
    bool staysPaused() const override { return m_start.paused; }

private:
    static void onDemuxedPad(GstElement *demuxer, GstPad *pad, void *self);
    static int onDemuxed(GstPad *pad, GstPadProbeInfo *info, void *self);
    static int onDecoded(GstPad *pad, GstPadProbeInfo *info, void *self);

    const std::shared_ptr<ReplayReader> m_reader;
    const Start m_start;
    // The first timestamp of the timing stream out of the demultiplexer (-1 until known), and the
    // running time of the first picture (or sound) shown.
    std::atomic<qint64> m_firstPts{-1};
    std::atomic<quint64> m_startTime{0};
    std::atomic<bool> m_startKnown{false};
};
