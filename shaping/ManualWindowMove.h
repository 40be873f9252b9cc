#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Moves a window with the pointer until the left button is released, for when no window
// manager takes the move over. Owned by the window; deletes itself when the drag ends.
class ManualWindowMove : public QObject {
    Q_OBJECT
public:
    ManualWindowMove(QWidget *window, const QPoint &globalPressPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void finish();

    QWidget *m_window;
    QPoint m_pressPos;
    QPoint m_windowPos;
    bool m_finished = false;
};
