#pragma once

#include "player/warm/Box.h"

#include <QHash>
#include <QString>
#include <QStringList>

// Every box the player has met, one per host and port of the addresses played or warmed: a
// playlist mixing channels of two boxes has two, each with its own limit and its own lending.
class Boxes {
public:
    // "host:port" of address, the host in lower case and the port its scheme's default when it
    // names none (554 for rtsp); an address without a host gives an empty key.
    static QString keyOf(const QString &address);
    static bool sameBox(const QString &address, const QString &other) {
        return keyOf(address) == keyOf(other);
    }
    // addresses with those on the box of address left empty, so that each keeps its place (the
    // neighbours' order says which way each lies); nothing at all when none is left.
    static QStringList besides(const QStringList &addresses, const QString &address);

    // The box of address, met now if it was not before.
    Box &of(const QString &address) { return m_boxes[keyOf(address)]; }
    // The box of address as known; a box never met has no limit and is not lent.
    Box known(const QString &address) const { return m_boxes.value(keyOf(address)); }
    bool anyLent() const;

private:
    QHash<QString, Box> m_boxes;
};
