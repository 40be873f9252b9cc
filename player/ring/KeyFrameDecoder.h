#pragma once

#include "player/BackgroundQueue.h"
#include "player/ring/KeyFrameChain.h"
#include "player/ring/TsRing.h"

#include <QSize>
#include <atomic>
#include <memory>

class WarmSource;

// Turns the newest key frame of each warm channel into the picture a step to that channel paints
// at once, before its decoder has started. One thread at low priority decodes for every channel,
// one key frame at a time, through one decoder kept for their coding and picture size: pictures
// never take a core from the watched channel, and nothing but the last picture of each channel is
// kept beside that one decoder.
class KeyFrameDecoder {
public:
    KeyFrameDecoder();
    ~KeyFrameDecoder();
    KeyFrameDecoder(const KeyFrameDecoder &) = delete;
    KeyFrameDecoder &operator=(const KeyFrameDecoder &) = delete;

    // Any thread: decodes source's held key frame later and gives it the picture; a request for a
    // source whose last one is still waiting is dropped, so a slow machine never builds a backlog.
    void request(const std::weak_ptr<WarmSource> &source);
    // The largest picture worth keeping, as the window shows it. Any thread.
    void setBound(QSize bound);
    // Blocks until every request so far is done.
    void drain() { m_queue.drain(); }

private:
    PictureSink::Picture decode(const TsRing::KeyFrame &key);

    std::atomic<int> m_width{0};
    std::atomic<int> m_height{0};
    // Used on the queue's thread only.
    std::unique_ptr<KeyFrameChain> m_chain;
    BackgroundQueue m_queue;
};
