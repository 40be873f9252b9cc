#include "desktop/MprisService.h"

#include "desktop/DesktopLog.h"
#include "desktop/MprisPlayerAdaptor.h"
#include "desktop/MprisRootAdaptor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kName = QStringLiteral("org.mpris.MediaPlayer2.halcyontv");

} // namespace

MprisService::MprisService(MediaControls &controls, const QString &desktopEntry, QObject *parent)
    : QObject(parent) {
    new MprisRootAdaptor(this, desktopEntry);
    new MprisPlayerAdaptor(this, controls);
}

MprisService::~MprisService() {
    if (m_serviceName.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(kObjectPath);
    bus.unregisterService(m_serviceName);
}

bool MprisService::registerOnSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCInfo(lcDesktop) << "no session bus: no media controls" << bus.lastError().message();
        return false;
    }
    if (!bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) {
        qCWarning(lcDesktop) << "media controls not offered:" << bus.lastError().message();
        return false;
    }
    // A second copy of the program is told apart by its process id, as the desktop expects.
    for (const QString &name :
         {kName, kName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid())}) {
        if (bus.registerService(name)) {
            m_serviceName = name;
            return true;
        }
    }
    qCWarning(lcDesktop) << "media controls not offered:" << bus.lastError().message();
    bus.unregisterObject(kObjectPath);
    return false;
}
