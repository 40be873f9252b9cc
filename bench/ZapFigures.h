#pragma once

#include <QList>
#include <QString>

// What the channel-change bench found on one server, for the table that sets the servers side by side.
struct ZapFigures {
    QString name;
    QList<double> warm, warmLive, cold;
    // For each cold tune, the time to the first key frame whole out of a parser watching the same
    // channel (the soonest a picture can come), and the tune's time past that.
    QList<double> keyFloor, pastFloor;
    double cpuCold = 0, cpuWarm = 0;
    // Bytes per second of one channel, and of every session together.
    double channelRate = 0, restRate = 0, heldRate = 0;
    int restSessions = 0, heldSessions = 0;
    int wrong = 0, checked = 0;

    // One row a figure, one column a server.
    static void printTable(const QList<ZapFigures> &all);
};
