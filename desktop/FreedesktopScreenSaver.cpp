#include "desktop/FreedesktopScreenSaver.h"

#include "desktop/DesktopLog.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

// A service that hangs must not hold the picture up for long.
constexpr int kCallTimeoutMs = 1000;

QDBusMessage callScreenSaver(const QString &method, const QVariantList &arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                                       QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                       QStringLiteral("org.freedesktop.ScreenSaver"), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
}

} // namespace

bool FreedesktopScreenSaver::hold() {
    if (!QDBusConnection::sessionBus().isConnected())
        return false;
    const QDBusMessage reply = callScreenSaver(
        QStringLiteral("Inhibit"), {QStringLiteral("Halcyon TV"), QStringLiteral("Lecture d'une chaîne")});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCDebug(lcDesktop) << "no screen-saver service on the session bus:" << reply.errorMessage();
        return false;
    }
    m_cookie = reply.arguments().constFirst().toUInt();
    return true;
}

void FreedesktopScreenSaver::release() {
    const QDBusMessage reply = callScreenSaver(QStringLiteral("UnInhibit"), {m_cookie});
    if (reply.type() != QDBusMessage::ReplyMessage)
        qCWarning(lcDesktop) << "the screen-saver service did not let go:" << reply.errorMessage();
}
