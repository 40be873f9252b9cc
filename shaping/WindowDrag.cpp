#include "shaping/WindowDrag.h"

#include "shaping/ManualWindowMove.h"

#include <QWidget>

void WindowDrag::start(QWidget *window, const QPoint &globalPressPos, Qt::MouseButton button) {
    // The move begins once the pointer has really moved with the button held: a window manager
    // handed the move on a quick click gets the release before it grabs the pointer, and then
    // drags the window about until the next click.
    new ManualWindowMove(window->window(), globalPressPos, button);
}
