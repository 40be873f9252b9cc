#pragma once

#include <atomic>

typedef struct _GstPad GstPad;

// Decides, ahead of deinterlacing, scaling and conversion, how a new pipeline's first pictures are
// shown. A live stream's pictures are due some time after they arrive (their PTS leads the clock
// reference by the sender's buffering, plus the pipeline's latency), so the first one would wait
// that long, 0.2 s and more, on a picture already decoded: the gate lets it through at once, and
// the ones after it at their time. Before that it may drop a number of pictures unconverted, the
// ones a hand-over decodes only to reach the newest.
class PictureGate {
public:
    // On the sink pad of the pictures' bin, before the pipeline plays.
    void install(GstPad *pad);
    // Any thread, before the pictures to drop are decoded.
    void drop(int pictures) { m_toDrop = pictures; }

private:
    static int onPicture(GstPad *pad, void *info, void *self);

    std::atomic<int> m_toDrop{0};
    std::atomic<bool> m_firstShown{false};
};
