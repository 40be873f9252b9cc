#pragma once

#include "player/timeshift/ShiftControl.h"

#include <QStringList>

#include <algorithm>

// A kept channel the test plays the part of: it records the commands ("pause", "seekBy -10000")
// and moves as an engine would, within keptMs, telling changed() and wentLive(). refuseWith makes
// every command refused with that reason.
class FakeShiftControl : public ShiftControl {
    Q_OBJECT
public:
    QStringList calls;
    Position at{600000, 0, false};
    QString refuseWith;

    Position position() const override { return at; }
    void togglePause() override {
        calls << QStringLiteral("togglePause");
        if (!refused())
            setPaused(!at.paused);
    }
    void pause() override {
        calls << QStringLiteral("pause");
        if (!refused())
            setPaused(true);
    }
    void resume() override {
        calls << QStringLiteral("resume");
        if (!refused())
            setPaused(false);
    }
    void seekBy(qint64 deltaMs) override {
        calls << QStringLiteral("seekBy %1").arg(deltaMs);
        if (!refused())
            moveTo(at.behindMs - deltaMs, false);
    }
    void seekTo(qint64 fromOldestMs) override {
        calls << QStringLiteral("seekTo %1").arg(fromOldestMs);
        if (!refused())
            moveTo(at.keptMs - fromOldestMs, false);
    }
    void toOldest() override {
        calls << QStringLiteral("toOldest");
        if (!refused())
            moveTo(at.keptMs, false);
    }
    void toLive() override {
        calls << QStringLiteral("toLive");
        if (!refused())
            moveTo(0, true);
    }

private:
    bool refused() {
        if (refuseWith.isEmpty())
            return false;
        emit unavailable(refuseWith);
        return true;
    }
    void setPaused(bool paused) {
        at.paused = paused;
        emit changed();
    }
    // A move holds a pause, but for the one back to live.
    void moveTo(qint64 behindMs, bool endsPause) {
        const bool wasBehind = at.behindMs > 0;
        at.behindMs = std::clamp<qint64>(behindMs, 0, at.keptMs);
        if (endsPause)
            at.paused = false;
        emit changed();
        if (wasBehind && at.behindMs == 0)
            emit wentLive();
    }
};
