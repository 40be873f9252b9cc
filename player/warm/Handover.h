#pragma once

#include "player/BackgroundQueue.h"
#include "player/engine/StreamFacts.h"
#include "player/warm/HandoverPipeline.h"
#include "player/warm/WatchRoute.h"

#include <memory>
#include <utility>

// The watched channel's warm session and the decoder it is handed to, as the route has them: what
// they are for and when they change is the route's to say. Decoders start in order on one thread;
// one left is torn down on another, so the next one never waits for it. Settings changed while a
// decoder runs reach it on its starting thread, after its start.
class Handover {
public:
    Handover() = default;
    Handover(const Handover &) = delete;
    Handover &operator=(const Handover &) = delete;

    const std::shared_ptr<WarmSource> &source() const { return m_source; }
    void setSource(std::shared_ptr<WarmSource> source) { m_source = std::move(source); }
    // Forgets the session, for the caller to close.
    std::shared_ptr<WarmSource> takeSource() { return std::exchange(m_source, nullptr); }
    // How the session stands now; silent longer than maxSilenceMs, it is not ready.
    WatchRoute::Warm warmth(int maxSilenceMs) const;

    bool decoding() const { return bool(m_decoder); }
    void start(const PlayerOptions &options, const PipelineSettings &settings,
               HandoverPipeline::Events events);
    PictureSink::Picture takePicture() { return m_decoder->takePicture(); }
    void drop();
    // Waits for the decoders left to be torn down.
    void drain() { m_teardowns.drain(); }

    // The decoder running takes them at once.
    void apply(const PipelineSettings &settings);
    void selectTracks(const QString &soundId, const QString &subtitlesId);
    // The decoder's facts, with the packets the warm session lost.
    StreamFacts facts() const;

private:
    std::shared_ptr<WarmSource> m_source;
    std::shared_ptr<HandoverPipeline> m_decoder;
    BackgroundQueue m_starts;
    BackgroundQueue m_teardowns;
};
