#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Moves a window with the pointer until the pressed button is released. Once the pointer has
// moved a few pixels the window manager is asked to take a left-button move over; where there is
// none, and for the other buttons, the window follows the pointer by hand. A press released in place moves
// nothing. Owned by the window; deletes itself when the drag ends.
class ManualWindowMove : public QObject {
    Q_OBJECT
public:
    ManualWindowMove(QWidget *window, const QPoint &globalPressPos, Qt::MouseButton button = Qt::LeftButton);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void finish();

    QWidget *m_window;
    QPoint m_pressPos;
    QPoint m_windowPos;
    Qt::MouseButton m_button;
    bool m_finished = false;
    bool m_moving = false;
};
