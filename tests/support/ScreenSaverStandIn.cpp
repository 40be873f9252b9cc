#include "support/ScreenSaverStandIn.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QMetaObject>

namespace {

class ScreenSaverService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    explicit ScreenSaverService(ScreenSaverStandIn &standIn) : m_standIn(standIn) {}

public slots:
    uint Inhibit(const QString &, const QString &) {
        if (m_standIn.isHanging()) {
            setDelayedReply(true);
            return 0;
        }
        return m_standIn.inhibit();
    }
    void UnInhibit(uint cookie) { m_standIn.unInhibit(cookie); }

private:
    ScreenSaverStandIn &m_standIn;
};

} // namespace

ScreenSaverStandIn::ScreenSaverStandIn() {
    m_thread.start();
}

ScreenSaverStandIn::~ScreenSaverStandIn() {
    if (!m_connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_connectionName);
    if (m_service)
        QMetaObject::invokeMethod(m_service, &QObject::deleteLater);
    m_thread.quit();
    m_thread.wait();
}

bool ScreenSaverStandIn::start(const QString &busAddress) {
    m_connectionName = QStringLiteral("screen-saver-stand-in");
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, m_connectionName);
    if (!bus.isConnected())
        return false;
    auto *service = new ScreenSaverService(*this);
    service->moveToThread(&m_thread);
    m_service = service;
    return bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), service,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
}

void ScreenSaverStandIn::setHanging(bool hanging) {
    const QMutexLocker lock(&m_mutex);
    m_hanging = hanging;
}

bool ScreenSaverStandIn::isHanging() const {
    const QMutexLocker lock(&m_mutex);
    return m_hanging;
}

int ScreenSaverStandIn::held() const {
    const QMutexLocker lock(&m_mutex);
    return int(m_held.size());
}

int ScreenSaverStandIn::taken() const {
    const QMutexLocker lock(&m_mutex);
    return m_taken;
}

quint32 ScreenSaverStandIn::inhibit() {
    const QMutexLocker lock(&m_mutex);
    ++m_taken;
    m_held.insert(m_nextCookie);
    return m_nextCookie++;
}

void ScreenSaverStandIn::unInhibit(quint32 cookie) {
    const QMutexLocker lock(&m_mutex);
    m_held.remove(cookie);
}

#include "ScreenSaverStandIn.moc"
