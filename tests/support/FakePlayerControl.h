#pragma once

#include "player/EOleException.h"
#include "player/PlayerControl.h"

#include <QString>
#include <QStringList>

// A player control that records each call as text ("stop", "addTarget(address, [a, b], 1, 0)", "play")
// and can be told to fail a given call the way the real control does.
class FakePlayerControl : public PlayerControl {
public:
    QStringList calls;
    // Name of the call that throws ("stop", "addTarget" or "play"); empty for none.
    QString failOn;
    QString failureDescription = QStringLiteral("Échec simulé");
    // What the last addTarget received, for checks on exact values.
    QString lastAddress;
    QStringList lastOptions;
    // What the last setNeighbours received; kept apart from calls, which list the tune sequence.
    QStringList neighbours;

    void stop() override { record(QStringLiteral("stop"), QStringLiteral("stop")); }
    void addTarget(const QString &address, const QStringList &options, int mode, int position) override {
        record(QStringLiteral("addTarget"), QStringLiteral("addTarget(%1, [%2], %3, %4)")
                                                .arg(address, options.join(QStringLiteral(", ")))
                                                .arg(mode)
                                                .arg(position));
        lastAddress = address;
        lastOptions = options;
    }
    void play() override { record(QStringLiteral("play"), QStringLiteral("play")); }
    void setNeighbours(const QStringList &addresses) override { neighbours = addresses; }

private:
    void record(const QString &name, const QString &text) {
        if (failOn == name)
            throw EOleException(EOleException::kFail, failureDescription);
        calls.append(text);
    }
};
