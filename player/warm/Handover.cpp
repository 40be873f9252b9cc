#include "player/warm/Handover.h"

#include "player/pipeline/PlaybackPipeline.h"
#include "player/warm/WarmSource.h"

WatchRoute::Warm Handover::warmth(int maxSilenceMs) const {
    using WatchRoute::Warm;
    if (!m_source)
        return Warm::None;
    if (m_source->isReady(maxSilenceMs))
        return Warm::Ready;
    if (m_source->hasFailed())
        return Warm::Failed;
    if (m_source->bytesReceived() > 0 && m_source->isSilentFor(maxSilenceMs))
        return Warm::Silent;
    return Warm::Waiting;
}

void Handover::start(const PlayerOptions &options, const PipelineSettings &settings,
                     HandoverPipeline::Events events) {
    m_decoder = std::make_shared<HandoverPipeline>(m_source, options, std::move(events));
    m_starts.post([decoder = m_decoder, settings] { decoder->start(settings); });
}

void Handover::drop() {
    if (std::shared_ptr<HandoverPipeline> decoder = std::exchange(m_decoder, nullptr))
        m_teardowns.post([decoder] { decoder->teardown(); });
}

void Handover::apply(const PipelineSettings &settings) {
    if (m_decoder)
        m_starts.post([decoder = m_decoder, settings] { decoder->apply(settings); });
}

void Handover::selectTracks(const QString &soundId, const QString &subtitlesId) {
    if (m_decoder)
        m_starts.post(
            [decoder = m_decoder, soundId, subtitlesId] { decoder->selectTracks(soundId, subtitlesId); });
}

StreamFacts Handover::facts() const {
    StreamFacts facts = m_decoder ? m_decoder->pipeline().facts() : StreamFacts();
    if (m_source)
        facts.lostPackets = m_source->lostPackets();
    return facts;
}
