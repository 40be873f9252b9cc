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
    m_started = true;
    return true;
}

void PrivateSessionBus::stop() {
    if (m_daemon > 0)
        childprocess::stop(m_daemon);
    m_daemon = -1;
}

PrivateSessionBus::~PrivateSessionBus() {
    if (!m_started)
        return;
    if (m_hadAddress)
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_savedAddress);
    else
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    stop();
}
