#pragma once

#include <QPoint>

class QWidget;

// Drags a window by a press anywhere in it, for windows without a caption bar. The window
// manager's own move is used where it offers one; otherwise the window follows the pointer
// until the left button is released.
class WindowDrag {
public:
    // Call from the left press; globalPressPos is where the press happened on screen.
    static void start(QWidget *window, const QPoint &globalPressPos);
};
