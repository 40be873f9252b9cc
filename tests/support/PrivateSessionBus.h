#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// A session bus of the test's own (as dbus-run-session gives one): started with start(), its
// address exported as DBUS_SESSION_BUS_ADDRESS for the programs the test starts, both undone when
// the object goes.
class PrivateSessionBus {
public:
    PrivateSessionBus() = default;
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    bool start();
    // Ends the bus, as when the desktop's session bus goes away; the address stays exported.
    void stop();
    QString address() const { return QString::fromLatin1(m_address); }

private:
    pid_t m_daemon = -1;
    QByteArray m_address;
    QByteArray m_savedAddress;
    bool m_hadAddress = false;
    bool m_started = false;
};
