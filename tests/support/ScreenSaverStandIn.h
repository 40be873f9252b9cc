#pragma once

#include <QMutex>
#include <QSet>
#include <QString>
#include <QThread>

#include <memory>

class QObject;

// Stands in for the desktop's screen-saver service (org.freedesktop.ScreenSaver) on a bus, and
// keeps count of the inhibitions held. It answers from a thread of its own, so a test blocked in
// a command still lets the program's calls through.
class ScreenSaverStandIn {
public:
    ScreenSaverStandIn();
    ~ScreenSaverStandIn();

    // False when the name could not be had on the bus at that address.
    bool start(const QString &busAddress);

    // A service that hangs takes Inhibit calls and never answers them.
    void setHanging(bool hanging);
    bool isHanging() const;

    // Inhibitions taken and not yet let go of.
    int held() const;
    int taken() const;

    // Called by the service from its thread.
    quint32 inhibit();
    void unInhibit(quint32 cookie);

private:
    mutable QMutex m_mutex;
    QSet<quint32> m_held;
    quint32 m_nextCookie = 1;
    int m_taken = 0;
    bool m_hanging = false;
    QThread m_thread;
    QObject *m_service = nullptr;
    QString m_connectionName;
};
