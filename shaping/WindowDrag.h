#pragma once

#include <QPoint>
#include <Qt>

class QWidget;

// Drags a window by a press anywhere in it, for windows without a caption bar. The window
// manager's own move is used for the left button where it offers one; otherwise the window
// follows the pointer until the button is released.
class WindowDrag {
public:
    // Call from the press of button; globalPressPos is where the press happened on screen.
    static void start(QWidget *window, const QPoint &globalPressPos, Qt::MouseButton button = Qt::LeftButton);
};
