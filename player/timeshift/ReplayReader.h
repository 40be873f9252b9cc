#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

typedef struct _GstAppSrc GstAppSrc;
class ShiftStore;

// Feeds an appsrc with what is kept of the watched channel, from an offset on: the programme
// tables first, then the packets as appsrc asks for them. At the end of what is kept it waits for
// appended(). Shared with the writer, so a late appended() after the pipeline went is harmless.
class ReplayReader {
public:
    // Called on GStreamer's or the writer's threads: the reader caught up with what is kept (it
    // waits for more), or what it was to read next was overwritten (it stops).
    struct Events {
        std::function<void()> caughtUp;
        std::function<void()> overtaken;
    };

    ReplayReader(std::shared_ptr<ShiftStore> store, qint64 offset, Events events);

    // Sets appsrc up (caps, callbacks) and feeds it until detach().
    void attach(GstAppSrc *appsrc);
    void detach();
    // More was kept: a reader waiting at the end goes on. Any thread.
    void appended();

private:
    // Pushes what is kept from the cursor while appsrc wants it; under m_mutex.
    void feed();
    static void onNeedData(GstAppSrc *source, unsigned length, void *self);
    static void onEnoughData(GstAppSrc *source, void *self);

    const std::shared_ptr<ShiftStore> m_store;
    const Events m_events;
    std::mutex m_mutex;
    GstAppSrc *m_appsrc = nullptr;
    qint64 m_cursor = 0;
    bool m_tablesSent = false;
    bool m_waiting = false;
    bool m_overtaken = false;
    // Set from within a push, while m_mutex is held.
    std::atomic<bool> m_wanted{false};
};
