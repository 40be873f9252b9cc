#include "desktop/MprisService.h"

#include "desktop/DesktopLog.h"
#include "desktop/MprisPlayerAdaptor.h"
#include "desktop/MprisRootAdaptor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kName = QStringLiteral("org.mpris.MediaPlayer2.halcyontv");
// The bus's own answers come at once; a bus that hangs gets this long.
constexpr int kCallTimeoutMs = 5000;

// RequestName's flag and answers.
constexpr uint kDoNotQueue = 4;
constexpr uint kPrimaryOwner = 1;
constexpr uint kAlreadyOwner = 4;

QDBusMessage busCall(const QString &method, const QVariantList &arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), method);
    call.setArguments(arguments);
    return call;
}

// A second copy of the program is told apart by its process id, as the desktop expects.
QString nameToTry(int place) {
    return place == 0 ? kName : kName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
}

} // namespace

MprisService::MprisService(MediaControls &controls, const QString &desktopEntry, QObject *parent)
    : QObject(parent) {
    new MprisRootAdaptor(this, desktopEntry);
    new MprisPlayerAdaptor(this, controls);
}

MprisService::~MprisService() {
    // Without a bus, asking for it here would start one.
    if (!m_onBus)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(kObjectPath);
    // Not waited for: the bus lets go of a name by itself when the program leaves it.
    if (!m_serviceName.isEmpty() && bus.isConnected())
        bus.send(busCall(QStringLiteral("ReleaseName"), {m_serviceName}));
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
    m_onBus = true;
    requestName(0);
    return true;
}

void MprisService::requestName(int place) {
    const QString name = nameToTry(place);
    auto *watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(busCall(QStringLiteral("RequestName"), {name, kDoNotQueue}),
                                                kCallTimeoutMs),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, name, place](QDBusPendingCallWatcher *call) {
                call->deleteLater();
                const QDBusPendingReply<uint> reply = *call;
                if (!reply.isError() && (reply.value() == kPrimaryOwner || reply.value() == kAlreadyOwner)) {
                    m_serviceName = name;
                    return;
                }
                if (place == 0 && !reply.isError()) {
                    requestName(place + 1);
                    return;
                }
                qCWarning(lcDesktop) << "media controls not offered:"
                                     << (reply.isError() ? reply.error().message()
                                                         : QStringLiteral("name taken"));
                QDBusConnection::sessionBus().unregisterObject(kObjectPath);
            });
}
