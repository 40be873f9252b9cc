#include "forms/KeyStateTracker.h"

#include "forms/GuideGridView.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <utility>

KeyStateTracker::KeyStateTracker(QObject *parent) : QObject(parent) {
    m_clock.start();
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

qint64 KeyStateTracker::heldForMs(int key) const {
    const Key state = m_keys.value(key);
    return state.down && state.repeats ? m_clock.elapsed() - state.downSinceMs : -1;
}

void KeyStateTracker::endRepeats() {
    for (Key &state : m_keys)
        state.repeats = false;
}

int KeyStateTracker::takePresses(int key) {
    const auto it = m_keys.find(key);
    if (it == m_keys.end())
        return 0;
    return std::exchange(it->presses, 0);
}

bool KeyStateTracker::usesArrowKeys(const QWidget *widget) {
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (qobject_cast<const QAbstractItemView *>(w) || qobject_cast<const QLineEdit *>(w) ||
            qobject_cast<const QTextEdit *>(w) || qobject_cast<const QPlainTextEdit *>(w) ||
            qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QComboBox *>(w) ||
            qobject_cast<const GuideGridView *>(w) ||
            // The guide's browser comes from a library of its own: known by its class's name.
            w->inherits("QWebEngineView"))
            return true;
        if (w->isWindow())
            break;
    }
    return false;
}

void KeyStateTracker::pressed(QObject *watched, const QKeyEvent *event) {
    Key &state = m_keys[event->key()];
    if (state.delivering == event)
        return;
    state.delivering = event;
    // The first delivery names the widget the key is meant for (the window's first: its focus).
    const QWidget *target =
        watched->isWidgetType() ? static_cast<QWidget *>(watched) : QApplication::focusWidget();
    // An open pop-up menu takes every key: its arrows walk the menu, never the channels.
    if (QApplication::activePopupWidget() || usesArrowKeys(target))
        return;
    // Behind an error box a press would either step unseen or wait to step once the box is closed.
    if (qApp->property("errorBoxOpen").toBool())
        return;
    // X repeats a held key as release/press pairs: a repeat is no new press, and it keeps the key
    // held across a release Xvfb sometimes reports between repeats without marking it as one.
    if (event->isAutoRepeat()) {
        state.down = true;
        return;
    }
    if (!state.down) {
        state.downSinceMs = m_clock.elapsed();
        state.repeats = true;
    }
    state.down = true;
    ++state.presses;
}

bool KeyStateTracker::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        pressed(watched, static_cast<QKeyEvent *>(event));
        break;
    case QEvent::KeyRelease: {
        // Only a release that is not part of the repeat lets the key go.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!key->isAutoRepeat()) {
            const auto it = m_keys.find(key->key());
            if (it != m_keys.end()) {
                it->down = false;
                it->delivering = nullptr;
            }
        }
        break;
    }
    case QEvent::ApplicationStateChange:
        // A key released while another program has the focus is never seen here.
        if (static_cast<QApplicationStateChangeEvent *>(event)->applicationState() != Qt::ApplicationActive)
            m_keys.clear();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
