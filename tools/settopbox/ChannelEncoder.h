#pragma once

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace halcyon::settopbox {

// One channel's live encoder: picture, tone, H.264 + MPEG audio in an MPEG-TS, running from
// start-up to exit whether anyone watches or not. Each viewer's media is a small appsrc pipeline
// fed from here, so a viewer joins the stream wherever it is, mid-GOP, as on a real box.
class ChannelEncoder {
public:
    explicit ChannelEncoder(int number);
    ~ChannelEncoder();
    ChannelEncoder(const ChannelEncoder &) = delete;
    ChannelEncoder &operator=(const ChannelEncoder &) = delete;

    bool start(std::string *error);
    // Stops encoding; viewers still attached get nothing more. Safe to call twice.
    void stop();
    int number() const { return m_number; }

    void attach(GstAppSrc *viewer);
    void detach(GstAppSrc *viewer);

    // A frozen channel keeps its viewers' connections open but sends them nothing.
    void setFrozen(bool frozen) { m_frozen = frozen; }

private:
    static GstFlowReturn onNewSample(GstAppSink *sink, gpointer self);
    void deliver(GstBuffer *buffer);

    int m_number;
    GstElement *m_pipeline = nullptr;
    std::atomic<bool> m_frozen{false};
    std::mutex m_mutex;
    std::vector<GstAppSrc *> m_viewers;
};

} // namespace halcyon::settopbox
