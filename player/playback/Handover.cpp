#include "player/playback/Handover.h"

#include "player/PlayerLog.h"
#include "player/playback/HandoverPipeline.h"
#include "player/playback/WarmSource.h"

Handover::Handover(QObject *parent) : QObject(parent) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { emit timedOut(m_state); });
}

QString Handover::address() const {
    return m_source && m_state != HandoverState::FallingBack ? m_source->address() : QString();
}

void Handover::hold(std::shared_ptr<WarmSource> source, int delayMs) {
    m_source = std::move(source);
    enter(HandoverState::HeldKey, "a held key rests here", delayMs);
}

void Handover::awaitKeyFrame(std::shared_ptr<WarmSource> source, int deadlineMs) {
    m_source = std::move(source);
    enter(HandoverState::AwaitingKeyFrame, "no whole key frame held yet", deadlineMs);
}

void Handover::start(std::shared_ptr<WarmSource> source, std::shared_ptr<HandoverPipeline> pipeline,
                     int graceMs) {
    m_source = std::move(source);
    m_pipeline = std::move(pipeline);
    enter(HandoverState::Starting, "a decoder takes the held stream", graceMs);
}

void Handover::goLive() {
    if (m_state == HandoverState::Starting)
        enter(HandoverState::Live, "first decoded picture");
}

std::shared_ptr<WarmSource> Handover::fallBack(const char *why) {
    enter(HandoverState::FallingBack, why);
    return m_source;
}

std::shared_ptr<HandoverPipeline> Handover::reset() {
    if (m_state != HandoverState::Idle)
        enter(HandoverState::Idle, "next play");
    m_source.reset();
    return std::move(m_pipeline);
}

void Handover::enter(HandoverState next, const char *why, int deadlineMs) {
    qCDebug(lcPlayer).nospace() << "hand-over " << (m_source ? m_source->address() : QString()) << ": "
                                << name(m_state) << " -> " << name(next) << " (" << why << ")";
    m_state = next;
    if (deadlineMs >= 0)
        m_deadline.start(deadlineMs);
    else
        m_deadline.stop();
}

const char *Handover::name(HandoverState state) {
    switch (state) {
    case HandoverState::Idle:
        return "idle";
    case HandoverState::HeldKey:
        return "held key";
    case HandoverState::AwaitingKeyFrame:
        return "awaiting key frame";
    case HandoverState::Starting:
        return "starting";
    case HandoverState::Live:
        return "live";
    case HandoverState::FallingBack:
        return "falling back";
    }
    return "";
}
