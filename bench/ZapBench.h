#pragma once

#include "ZapFigures.h"

#include <QByteArray>
#include <QStringList>

#include <functional>

class SetTopBox;

// The channels the bench steps through, 201 up.
extern QList<int> kChannels;

struct ZapSettings {
    int steps = 30;
    int tunes = 24;
    int cpuSeconds = 10;
    int limitedSeconds = 60;
    int heldSteps = 0;
    int channels = 3;
    QString profile = QStringLiteral("broadcast");
    QStringList servers = {QStringLiteral("box"), QStringLiteral("independent")};
    // More of the box's options: its link's loss and jitter.
    QStringList boxArguments;
    quint32 seed = 0;
    bool verbose = false;
};

// One server the bench tunes to.
struct ZapServer {
    QString name;
    std::function<QByteArray(int)> address;
    int port = -1;
    // Null for the independent server: it has no session limit to set.
    SetTopBox *box = nullptr;
    bool elementary = false;
};

// Drives one player control with warm neighbours as the channel list drives it, against server:
// every part the settings ask for, each printing its figures as it ends.
void runZapBench(const ZapServer &server, const ZapSettings &settings, ZapFigures &figures);
