#include "shaping/ManualWindowMove.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

ManualWindowMove::ManualWindowMove(QWidget *window, const QPoint &globalPressPos)
    : QObject(window), m_window(window), m_pressPos(globalPressPos), m_windowPos(window->pos()) {
    // The press's implicit grab keeps the moves coming to this window however fast the
    // pointer leaves it, so watching the application's events is enough.
    QCoreApplication::instance()->installEventFilter(this);
}

bool ManualWindowMove::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (m_finished || (type != QEvent::MouseMove && type != QEvent::MouseButtonRelease))
        return false;
    // Each mouse event passes the filter once for the window handle and once for the widget:
    // act on the widget's copy only, whose delivery also keeps Qt's own press state right.
    if (!watched->isWidgetType())
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (type == QEvent::MouseButtonRelease) {
        if (mouse->button() == Qt::LeftButton)
            finish();
        return false;
    }
    if (!(mouse->buttons() & Qt::LeftButton)) {
        finish();
        return false;
    }
    m_window->move(m_windowPos + mouse->globalPosition().toPoint() - m_pressPos);
    return true;
}

void ManualWindowMove::finish() {
    m_finished = true;
    QCoreApplication::instance()->removeEventFilter(this);
    deleteLater();
}
