#pragma once

#include "settopbox/EncodedLoop.h"
#include "settopbox/LinkFaults.h"
#include "settopbox/Mpeg2Bridge.h"
#include "settopbox/StreamProfile.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace halcyon::settopbox {

// One channel's live encoder, running from start-up to exit whether anyone watches or not, as its
// profile says. Each viewer's media is a small appsrc pipeline fed from here, so a viewer joins the
// stream wherever it is, mid-GOP, as on a real box.
class ChannelEncoder {
public:
    ChannelEncoder(int number, const StreamProfile &profile);
    ~ChannelEncoder();
    ChannelEncoder(const ChannelEncoder &) = delete;
    ChannelEncoder &operator=(const ChannelEncoder &) = delete;

    bool start(std::string *error);
    // Stops encoding; viewers still attached get nothing more. Safe to call twice; start() again
    // begins a new stream, as a box does after a restart.
    void stop();
    int number() const { return m_number; }
    const StreamProfile &profile() const { return m_profile; }

    // The viewer's pipeline holds appsrcs src0... and payloaders pay0... as the profile's viewer
    // launch line names them.
    void attach(GstElement *viewer);
    void detach(GstElement *viewer);
    // The viewers attached now, and the most attached at once since the last call.
    int viewers();
    int takePeakViewers();

    // A frozen channel keeps its viewers' connections open but sends them nothing.
    void setFrozen(bool frozen) { m_frozen = frozen; }
    // Sends nothing for that long, then goes on live: what was encoded meanwhile is lost.
    void stall(int ms);
    LinkFaults &faults() { return *m_faults; }

private:
    struct Viewer {
        GstElement *bin;
        std::vector<GstAppSrc *> sources;
    };

    static GstFlowReturn onNewSample(GstAppSink *sink, gpointer self);
    static gboolean onAspectTick(gpointer self);
    bool connectOutputs(std::string *error);
    void deliver(int output, GstSample *sample);
    bool retime(GstBuffer *buffer, const GstSegment *segment, GstAppSrc *viewer) const;
    static bool stampArrival(GstBuffer *buffer, GstAppSrc *viewer);

    int m_number;
    const StreamProfile &m_profile;
    GstElement *m_pipeline = nullptr;
    std::unique_ptr<Mpeg2Bridge> m_mpeg2;
    // Kept from one start to the next: a restarted box sends the same loop without encoding it again.
    std::unique_ptr<EncodedLoop> m_loop;
    guint m_aspectTimer = 0;
    bool m_wide = false;
    std::shared_ptr<LinkFaults> m_faults = std::make_shared<LinkFaults>();
    std::atomic<bool> m_frozen{false};
    std::atomic<gint64> m_stalledUntil{0};
    std::mutex m_mutex;
    std::vector<Viewer> m_viewers;
    size_t m_peakViewers = 0;
    std::vector<GstCaps *> m_caps;
};

} // namespace halcyon::settopbox
