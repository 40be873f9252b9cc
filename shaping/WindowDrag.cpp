#include "shaping/WindowDrag.h"

#include "shaping/ManualWindowMove.h"

#include <QWidget>
#include <QWindow>

void WindowDrag::start(QWidget *window, const QPoint &globalPressPos) {
    QWidget *topLevel = window->window();
    // Without a window manager the platform refuses the system move.
    if (QWindow *handle = topLevel->windowHandle(); handle && handle->startSystemMove())
        return;
    new ManualWindowMove(topLevel, globalPressPos);
}
