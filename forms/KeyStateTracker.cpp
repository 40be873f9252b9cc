#include "forms/KeyStateTracker.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

KeyStateTracker::KeyStateTracker(QObject *parent) : QObject(parent) {
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

bool KeyStateTracker::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        m_down.insert(static_cast<QKeyEvent *>(event)->key());
        break;
    case QEvent::KeyRelease: {
        // X reports a held key as release/press pairs; only a release that is not part of the
        // repeat lets the key go.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!key->isAutoRepeat())
            m_down.remove(key->key());
        break;
    }
    case QEvent::ApplicationStateChange:
        // A key released while another program has the focus is never seen here.
        if (static_cast<QApplicationStateChangeEvent *>(event)->applicationState() != Qt::ApplicationActive)
            m_down.clear();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
