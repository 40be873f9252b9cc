#include "player/timeshift/ReplayReader.h"

#include "player/PlayerLog.h"
#include "player/timeshift/ShiftStore.h"

#include <QByteArray>
#include <gst/app/gstappsrc.h>

namespace {

// Read from the store at most this much at a time, in whole packets.
constexpr qint64 kReadBytes = 348 * 188;
// What appsrc may hold ahead of the demultiplexer: a few seconds of a channel, so a pause does not
// read far past the point held.
constexpr guint64 kQueuedBytes = 1024 * 1024;

GstBuffer *bufferOf(QByteArray bytes) {
    auto *held = new QByteArray(std::move(bytes));
    return gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, held->data(), held->size(), 0, held->size(),
                                       held, [](gpointer data) { delete static_cast<QByteArray *>(data); });
}

} // namespace

ReplayReader::ReplayReader(std::shared_ptr<ShiftStore> store, qint64 offset, Events events)
    : m_store(std::move(store)), m_events(std::move(events)), m_cursor(offset) {}

void ReplayReader::attach(GstAppSrc *appsrc) {
    GstCaps *caps = gst_caps_from_string("video/mpegts,systemstream=(boolean)true,packetsize=(int)188");
    gst_app_src_set_caps(appsrc, caps);
    gst_caps_unref(caps);
    g_object_set(appsrc, "is-live", FALSE, "max-bytes", kQueuedBytes, "block", FALSE, nullptr);
    GstAppSrcCallbacks callbacks{};
    callbacks.need_data = &ReplayReader::onNeedData;
    callbacks.enough_data = &ReplayReader::onEnoughData;
    std::lock_guard lock(m_mutex);
    m_appsrc = appsrc;
    gst_app_src_set_callbacks(appsrc, &callbacks, this, nullptr);
}

void ReplayReader::detach() {
    std::lock_guard lock(m_mutex);
    m_appsrc = nullptr;
}

void ReplayReader::onNeedData(GstAppSrc *, unsigned, void *self) {
    auto *reader = static_cast<ReplayReader *>(self);
    std::lock_guard lock(reader->m_mutex);
    reader->m_wanted = true;
    reader->feed();
}

void ReplayReader::onEnoughData(GstAppSrc *, void *self) {
    static_cast<ReplayReader *>(self)->m_wanted = false;
}

void ReplayReader::appended() {
    std::lock_guard lock(m_mutex);
    if (m_waiting)
        feed();
}

void ReplayReader::feed() {
    bool caughtUp = false;
    bool overtaken = false;
    m_waiting = false;
    while (m_appsrc && m_wanted && !m_overtaken) {
        if (!m_tablesSent) {
            m_tablesSent = true;
            const QByteArray tables = m_store->tables();
            if (!tables.isEmpty())
                gst_app_src_push_buffer(m_appsrc, bufferOf(tables));
        }
        QByteArray chunk(kReadBytes, Qt::Uninitialized);
        const qint64 read = m_store->read(m_cursor, chunk.data(), chunk.size());
        if (read < 0) {
            m_overtaken = overtaken = true;
            break;
        }
        if (read == 0) {
            m_waiting = caughtUp = true;
            break;
        }
        chunk.truncate(read);
        m_cursor += read;
        gst_app_src_push_buffer(m_appsrc, bufferOf(std::move(chunk)));
    }
    // Told under the lock: the handlers only post to the engine's thread.
    if (overtaken) {
        qCInfo(lcPlayer) << "replay: what was to be read next is no longer kept";
        if (m_events.overtaken)
            m_events.overtaken();
    } else if (caughtUp && m_events.caughtUp) {
        m_events.caughtUp();
    }
}
