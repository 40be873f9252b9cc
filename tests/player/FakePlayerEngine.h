#pragma once

#include "player/engine/PlayerEngine.h"

#include <QStringList>

// An engine that records what it was asked ("play <address>", "stop", "volume 50") and lets the
// test play the part of the stream: frames, failures, the end.
class FakePlayerEngine : public PlayerEngine {
    Q_OBJECT
public:
    QStringList calls;
    PlayTarget lastTarget;

    void play(const PlayTarget &target) override {
        lastTarget = target;
        calls.append(QStringLiteral("play ") + target.address);
    }
    void stop() override { calls.append(QStringLiteral("stop")); }
    // The level heard, as one call, each time it changes: "volume 0" while muted.
    void setSettings(const PipelineSettings &settings) override {
        const int heard = settings.muted ? 0 : settings.volume;
        if (heard != (this->settings().muted ? 0 : this->settings().volume))
            calls.append(QStringLiteral("volume %1").arg(heard));
        PlayerEngine::setSettings(settings);
    }
    // Kept apart from calls, which tests compare whole.
    void setNeighbours(const QStringList &addresses) override { neighbours = addresses; }
    QStringList neighbours;
    // How often the box was said to be this engine's again.
    int boxReturns = 0;
    void boxReturned(const QString &) override { ++boxReturns; }
    // What the engine keeps of the channel, if the test gives it a control.
    ShiftControl *shift = nullptr;
    ShiftControl *shiftControl() override { return shift; }

    void sendFrame(QColor colour, QSize size = QSize(720, 576), qreal pixelAspectRatio = 1.0) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(colour);
        emit frameReady(frame, pixelAspectRatio);
    }
    void sendStill(QColor colour, QSize size = QSize(720, 576)) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(colour);
        emit stillReady(frame, 1.0);
    }
    void sendFailure(PlayerFailure failure, const QString &detail = QString()) {
        emit failed(failure, detail);
    }
    void sendEndOfStream() { emit endOfStream(); }
    // What the play under way receives, to whoever taps it.
    void sendPackets(const QByteArray &packets, qint64 arrivalNs) {
        if (streamTap())
            streamTap()(packets, arrivalNs);
    }
    int playCount() const { return calls.filter(QStringLiteral("play ")).size(); }
};
