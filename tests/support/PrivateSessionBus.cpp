#include "support/PrivateSessionBus.h"

#include "support/ChildProcess.h"

bool PrivateSessionBus::start() {
    m_address = childprocess::spawnAndReadAnnouncement(
        {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3"}, 10000, &m_daemon);
    if (m_address.isEmpty())
        return false;
    m_hadAddress = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
    m_savedAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address);
    return true;
}

PrivateSessionBus::~PrivateSessionBus() {
    if (m_daemon <= 0)
        return;
    if (m_hadAddress)
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_savedAddress);
    else
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    childprocess::stop(m_daemon);
}
