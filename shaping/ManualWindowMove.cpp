#include "shaping/ManualWindowMove.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace {
// Pixels the pointer travels before a press becomes a drag; small, so the window keeps up.
constexpr int kStartDistance = 3;
} // namespace

ManualWindowMove::ManualWindowMove(QWidget *window, const QPoint &globalPressPos, Qt::MouseButton button)
    : QObject(window), m_window(window), m_pressPos(globalPressPos), m_windowPos(window->pos()),
      m_button(button) {
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
        if (mouse->button() == m_button)
            finish();
        return false;
    }
    if (!(mouse->buttons() & m_button)) {
        finish();
        return false;
    }
    const QPoint offset = mouse->globalPosition().toPoint() - m_pressPos;
    if (!m_moving) {
        if (offset.manhattanLength() < kStartDistance)
            return true;
        m_moving = true;
        // Without a window manager the platform refuses the system move. It is asked for the left
        // button only: the window manager's move ends at that button's release.
        QWindow *handle = m_window->windowHandle();
        if (m_button == Qt::LeftButton && handle && handle->startSystemMove()) {
            finish();
            return true;
        }
    }
    m_window->move(m_windowPos + offset);
    return true;
}

void ManualWindowMove::finish() {
    m_finished = true;
    QCoreApplication::instance()->removeEventFilter(this);
    deleteLater();
}
