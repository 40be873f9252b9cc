#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class HandoverPipeline;
class WarmSource;

enum class HandoverState {
    Idle,             // nothing is handed over: the channel plays cold, or nothing plays
    HeldKey,          // a held key rests on a warm channel: its still shows, nothing is tuned yet
    AwaitingKeyFrame, // the channel's warm session is open but holds no whole key frame yet
    Starting,         // a decoder takes the warm session's stream; no picture of it yet
    Live,             // the decoder's pictures show
    FallingBack,      // given up: the session closes and the channel is tuned cold once it has
};

// The watched channel's way from its warm session to the screen, one named state at a time:
// Idle → HeldKey → (AwaitingKeyFrame →) Starting → Live, or to FallingBack from any of the middle
// ones, and back to Idle with the next play. HeldKey, AwaitingKeyFrame and Starting end by a
// deadline if nothing else ends them first: timedOut() says which. Every change is logged.
class Handover : public QObject {
    Q_OBJECT
public:
    explicit Handover(QObject *parent = nullptr);

    HandoverState state() const { return m_state; }
    const std::shared_ptr<WarmSource> &source() const { return m_source; }
    const std::shared_ptr<HandoverPipeline> &pipeline() const { return m_pipeline; }
    // The address of the warm session in use, empty when Idle or falling back.
    QString address() const;

    void hold(std::shared_ptr<WarmSource> source, int delayMs);
    void awaitKeyFrame(std::shared_ptr<WarmSource> source, int deadlineMs);
    void start(std::shared_ptr<WarmSource> source, std::shared_ptr<HandoverPipeline> pipeline, int graceMs);
    void goLive();
    // Gives the session up; returns it, for the caller to close.
    std::shared_ptr<WarmSource> fallBack(const char *why);
    // The decoder, if one was started, for the caller to tear down; the state stays.
    std::shared_ptr<HandoverPipeline> takePipeline() { return std::move(m_pipeline); }
    // Back to Idle; returns the decoder, if one was started, for the caller to tear down.
    std::shared_ptr<HandoverPipeline> reset();

    static const char *name(HandoverState state);

signals:
    void timedOut(HandoverState state);

private:
    void enter(HandoverState next, const char *why, int deadlineMs = -1);

    HandoverState m_state = HandoverState::Idle;
    std::shared_ptr<WarmSource> m_source;
    std::shared_ptr<HandoverPipeline> m_pipeline;
    QTimer m_deadline;
};
