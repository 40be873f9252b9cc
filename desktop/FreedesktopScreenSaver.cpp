#include "desktop/FreedesktopScreenSaver.h"

#include "desktop/DesktopLog.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

QDBusPendingCall callScreenSaver(const QString &method, const QVariantList &arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                                       QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                       QStringLiteral("org.freedesktop.ScreenSaver"), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().asyncCall(call, FreedesktopScreenSaver::kCallTimeoutMs);
}

} // namespace

void FreedesktopScreenSaver::hold(Answer answer) {
    if (!QDBusConnection::sessionBus().isConnected()) {
        answer(false);
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(
        callScreenSaver(QStringLiteral("Inhibit"),
                        {QStringLiteral("Halcyon TV"), QStringLiteral("Lecture d'une chaîne")}),
        &m_calls);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &m_calls,
                     [this, answer = std::move(answer)](QDBusPendingCallWatcher *call) {
                         call->deleteLater();
                         const QDBusPendingReply<quint32> reply = *call;
                         if (reply.isError()) {
                             qCDebug(lcDesktop)
                                 << "no screen-saver service on the session bus:" << reply.error().message();
                             answer(false);
                             return;
                         }
                         m_cookie = reply.value();
                         answer(true);
                     });
}

void FreedesktopScreenSaver::release() {
    if (!QDBusConnection::sessionBus().isConnected()) {
        // The service lets go by itself of what a client that left the bus held.
        qCDebug(lcDesktop) << "the session bus is gone: nothing to let go of";
        return;
    }
    auto *watcher =
        new QDBusPendingCallWatcher(callScreenSaver(QStringLiteral("UnInhibit"), {m_cookie}), &m_calls);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, &m_calls, [](QDBusPendingCallWatcher *call) {
            call->deleteLater();
            if (call->isError())
                qCWarning(lcDesktop) << "the screen-saver service did not let go:" << call->error().message();
        });
}
