#include "player/engine/PipelineSettings.h"

PipelineSettings PipelineSettings::forStream(const PlayerOptions &options) const {
    PipelineSettings settings = *this;
    if (options.networkCachingMs)
        settings.latencyMs = options.networkCachingMs;
    return settings;
}
