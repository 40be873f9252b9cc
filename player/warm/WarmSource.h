#pragma once

#include "player/pipeline/PictureSink.h"
#include "player/ring/TsRing.h"
#include "player/warm/WarmFailure.h"

#include <QString>
#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// One channel received but not decoded: its RTSP session open (WarmPipeline: one MPEG-TS, whether
// the server sends it so or as elementary streams), the stream since its newest key frame held in
// a TsRing. A decoder pipeline may attach an appsrc:
// it gets the held packets, then every live one from the same session, stamped in this pipeline's
// running time, so the decoder shares its clock and no second handshake is needed. Each key frame
// held whole is announced, so a decoder of its own may keep its picture here, to paint at once.
// open() and close() block on the network: call them from a pipeline thread, never the window's. A
// close may run on another thread than the open, before it or during it: the session is then
// never opened, or ended once it is.
class TapLine;

class WarmSource {
public:
    WarmSource(const QString &address, int latencyMs, const TsRing::Limits &limits = {});
    ~WarmSource();
    WarmSource(const WarmSource &) = delete;
    WarmSource &operator=(const WarmSource &) = delete;

    QString address() const { return m_address; }
    // Called once, from a GStreamer thread, when the session is refused or breaks, with why.
    void setFailureHandler(std::function<void(WarmFailure)> handler) { m_onFailure = std::move(handler); }
    // Called from a GStreamer thread each time a new key frame is held whole, before open().
    void setKeyFrameHandler(std::function<void()> handler) { m_onKeyFrame = std::move(handler); }

    void open();
    void close();

    // A decoder can start from here: a key frame is held, data came within maxSilenceMs, no error.
    bool isReady(int maxSilenceMs) const;
    bool hasFailed() const { return m_failed; }
    bool isSilentFor(int ms) const;
    // The picture of a recent key frame, null unless one was decoded and the channel still comes
    // in (data within maxSilenceMs, no error).
    PictureSink::Picture keyFramePicture(int maxSilenceMs) const;
    // For the decoder of key frames: true when no picture is on its way already.
    bool claimPictureRequest() { return !m_pictureRequested.exchange(true); }
    TsRing::KeyFrame heldKeyFrame() const;
    // Keeps picture (unless null) in place of the last one, and takes requests again.
    void setKeyFramePicture(const PictureSink::Picture &picture);
    qsizetype bytesHeld() const;
    qint64 bytesReceived() const { return m_bytesReceived; }
    // The packets the session's receiver counted as lost; -1 before it opened.
    qint64 lostPackets() const;

    // Feeds appsrc with the held stream, then the live one until detach(appsrc). beforeFeeding
    // learns how many pictures the held stream starts, before any of it goes out. The pipeline of
    // appsrc must run on clock() with baseTime() for the stamps to mean the same.
    void attach(GstAppSrc *appsrc, const std::function<void(int held)> &beforeFeeding);
    // Does nothing when another appsrc has been attached since.
    void detach(GstAppSrc *appsrc);
    // From now on every packet received goes to line too, after what is held from the key frame
    // when withHeld; null stops it. The line given already goes on as it is, nothing sent twice.
    void tapInto(std::shared_ptr<TapLine> line, bool withHeld);
    // A new reference, or null before open().
    GstClock *clock() const;
    GstClockTime baseTime() const;

private:
    static GstFlowReturn onNewSample(GstAppSink *sink, gpointer self);
    void take(const QByteArray &packets, qint64 runningTimeNs, bool discontinuous);
    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer self);
    void fail(WarmFailure failure);

    const QString m_address;
    const int m_latencyMs;
    // Guards m_pipeline and m_closed between the thread that opens and the one that closes.
    mutable std::mutex m_lifecycle;
    bool m_closed = false;
    GstElement *m_pipeline = nullptr;
    mutable std::mutex m_mutex;
    TsRing m_ring;
    GstAppSrc *m_consumer = nullptr;
    std::shared_ptr<TapLine> m_tap;
    std::atomic<qint64> m_lastDataMs{-1};
    std::atomic<qint64> m_bytesReceived{0};
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_pictureRequested{false};
    PictureSink::Picture m_keyFramePicture;
    std::function<void(WarmFailure)> m_onFailure;
    std::function<void()> m_onKeyFrame;
};
