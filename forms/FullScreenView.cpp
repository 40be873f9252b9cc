#include "forms/FullScreenView.h"

#include <QCloseEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

FullScreenView::FullScreenView(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("FullScreenView"));
    setWindowTitle(QStringLiteral("Halcyon"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    setMouseTracking(true);
    m_pointerTimer.setSingleShot(true);
    m_pointerTimer.setInterval(kPointerHideMs);
    connect(&m_pointerTimer, &QTimer::timeout, this, &FullScreenView::hidePointer);
}

void FullScreenView::enter(QWidget *picture, QScreen *screen) {
    if (isActive() || !picture)
        return;
    m_picture = picture;
    m_home = picture->parentWidget();
    m_homePlace = picture->geometry();
    m_homeTracking = picture->hasMouseTracking();
    // Placed on the window's monitor before it is mapped, so the window manager fills that one.
    setGeometry(screen->geometry());
    if (!windowHandle())
        create();
    windowHandle()->setScreen(screen);
    picture->setParent(this);
    picture->setGeometry(rect());
    picture->setMouseTracking(true);
    picture->installEventFilter(this);
    picture->show();
    showFullScreen();
    raise();
    activateWindow();
    picture->setFocus();
    pointerMoved();
    emit activeChanged(true);
}

void FullScreenView::leave() {
    if (!isActive())
        return;
    QWidget *picture = m_picture;
    m_picture = nullptr;
    m_pointerTimer.stop();
    picture->removeEventFilter(this);
    picture->unsetCursor();
    picture->setMouseTracking(m_homeTracking);
    m_pointerHidden = false;
    picture->setParent(m_home);
    picture->setGeometry(m_homePlace);
    picture->show();
    hide();
    if (m_home) {
        QWidget *window = m_home->window();
        window->raise();
        window->activateWindow();
        picture->setFocus();
    }
    emit activeChanged(false);
}

bool FullScreenView::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_picture && event->type() == QEvent::MouseMove) {
        pointerMoved();
        emit pointerMovedTo(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
    }
    return false;
}

void FullScreenView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (m_picture)
        m_picture->setGeometry(rect());
}

// Closed by the window manager (its close key): back to the skinned window, not the end.
void FullScreenView::closeEvent(QCloseEvent *event) {
    event->ignore();
    leave();
}

void FullScreenView::pointerMoved() {
    if (m_pointerHidden && m_picture) {
        m_picture->unsetCursor();
        m_pointerHidden = false;
    }
    m_pointerTimer.start();
}

void FullScreenView::hidePointer() {
    if (!m_picture)
        return;
    m_picture->setCursor(Qt::BlankCursor);
    m_pointerHidden = true;
}
