#pragma once

#include <gst/gst.h>

#include <atomic>
#include <memory>

namespace halcyon::settopbox {

// The imperfect network between one channel and its viewers, made by the box itself since loopback
// has no traffic shaping here: RTP packets lost at random and packets held back then released in
// a burst. Acts on each viewer's payloaders, so it applies over UDP and interleaved TCP alike.
class LinkFaults {
public:
    // Loss in percent of RTP packets, 0 to 100; jitter as the longest hold in milliseconds.
    void setLoss(double percent) { m_lossPer10000 = int(percent * 100.0 + 0.5); }
    void setJitter(int ms) { m_jitterMs = ms; }
    double loss() const { return m_lossPer10000 / 100.0; }
    int jitter() const { return m_jitterMs; }

    // Adds the faults to what the payloader sends; the payloader keeps the faults alive.
    static void install(const std::shared_ptr<LinkFaults> &faults, GstElement *payloader);

private:
    static GstPadProbeReturn onPackets(GstPad *, GstPadProbeInfo *info, gpointer shared);
    bool lose() const;
    void holdNow() const;

    std::atomic<int> m_lossPer10000{0};
    std::atomic<int> m_jitterMs{0};
};

} // namespace halcyon::settopbox
