#include "settopbox/LinkFaults.h"

#include <chrono>
#include <random>

namespace halcyon::settopbox {

namespace {

using Clock = std::chrono::steady_clock;

std::minstd_rand &randomness() {
    // Each payloader runs in its own streaming thread, so each draws from its own sequence.
    thread_local std::minstd_rand generator(std::random_device{}());
    return generator;
}

int between(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(randomness());
}

void releaseShared(gpointer shared) {
    delete static_cast<std::shared_ptr<LinkFaults> *>(shared);
}

} // namespace

void LinkFaults::install(const std::shared_ptr<LinkFaults> &faults, GstElement *payloader) {
    GstPad *pad = gst_element_get_static_pad(payloader, "src");
    if (!pad)
        return;
    gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                      &LinkFaults::onPackets, new std::shared_ptr<LinkFaults>(faults), &releaseShared);
    gst_object_unref(pad);
}

bool LinkFaults::lose() const {
    const int loss = m_lossPer10000;
    return loss > 0 && between(0, 9999) < loss;
}

// Blocks this viewer's streaming thread now and then: what the encoder sends meanwhile waits in the
// viewer's queue and leaves in one burst, as packets do behind a congested link.
void LinkFaults::holdNow() const {
    const int jitter = m_jitterMs;
    thread_local Clock::time_point nextHold{};
    if (jitter <= 0)
        return;
    const Clock::time_point now = Clock::now();
    if (nextHold == Clock::time_point{} || now < nextHold) {
        if (nextHold == Clock::time_point{})
            nextHold = now + std::chrono::milliseconds(between(100, 500));
        return;
    }
    g_usleep(gulong(between(jitter / 4, jitter)) * 1000);
    nextHold = Clock::now() + std::chrono::milliseconds(between(100, 500));
}

GstPadProbeReturn LinkFaults::onPackets(GstPad *, GstPadProbeInfo *info, gpointer shared) {
    const LinkFaults &faults = **static_cast<std::shared_ptr<LinkFaults> *>(shared);
    faults.holdNow();
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER)
        return faults.lose() ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
    if (faults.m_lossPer10000 == 0)
        return GST_PAD_PROBE_OK;
    GstBufferList *list = gst_buffer_list_make_writable(GST_PAD_PROBE_INFO_BUFFER_LIST(info));
    for (guint i = gst_buffer_list_length(list); i-- > 0;) {
        if (faults.lose())
            gst_buffer_list_remove(list, i, 1);
    }
    GST_PAD_PROBE_INFO_DATA(info) = list;
    return gst_buffer_list_length(list) == 0 ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

} // namespace halcyon::settopbox
