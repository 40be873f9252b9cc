#pragma once

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace halcyon::settopbox {

// A channel encoded once, a second of it, and then sent over and over as a live
// stream: full-HD interlaced H.264 does not encode in real time on a small machine, but a viewer
// must still get it at its own rate, with time stamps that go on rising from one round to the next.
// Feeds the appsrcs "loop0" (pictures) and "loop1" (sound) of the channel's pipeline.
class EncodedLoop {
public:
    EncodedLoop() = default;
    ~EncodedLoop();
    EncodedLoop(const EncodedLoop &) = delete;
    EncodedLoop &operator=(const EncodedLoop &) = delete;

    // The first time, starts encoding the loop in the background: the stream begins once it is
    // ready, a few seconds later. The pipeline must be set playing after this.
    bool open(GstElement *pipeline, int number, std::string *error);
    // The stream in the pipeline last opened ends; the loop stays for the next one.
    void close();

private:
    struct Track {
        GstCaps *caps = nullptr;
        // Time stamps as running time from the loop's start.
        std::vector<GstBuffer *> buffers;
        GstAppSrc *source = nullptr;
        size_t next = 0;
        guint64 round = 0;
    };

    bool encode(int number, std::string *error);
    // Starts the stream where the pipeline's clock stands now. Holding the lock.
    void begin();
    static void onNeedData(GstAppSrc *source, guint length, gpointer self);
    void feed(Track &track);

    Track m_tracks[2];
    GstClockTime m_length = 0;
    std::thread m_encoder;
    std::mutex m_mutex;
    bool m_encoded = false;
    GstElement *m_pipeline = nullptr;
    // The running time of the pipeline the stream began at.
    GstClockTime m_origin = 0;
};

} // namespace halcyon::settopbox
