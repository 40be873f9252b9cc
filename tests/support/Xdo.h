#pragma once

#include <QList>
#include <QRect>
#include <QString>

// The pointer, the keys and the windows as xdotool sees them on the test display: input arrives
// through the X server, as a person's would. Window ids are X window ids; 0 means none.
namespace xdo {

using WindowId = unsigned long;

// Windows whose title matches exactly (searchWindows takes a POSIX regular expression).
QList<WindowId> searchWindows(const QString &titlePattern, bool visibleOnly = true);
// Waits until a window with exactly this title exists; 0 when none appeared in time.
WindowId waitForWindow(const QString &title, int timeoutMs = 15000);

// Position and size of the window's client area on the screen.
QRect windowGeometry(WindowId window);
QString windowTitle(WindowId window);
WindowId activeWindow();
bool activate(WindowId window);

bool mouseMove(int x, int y);
bool mouseDown(int button = 1);
bool mouseUp(int button = 1);
bool click(int button = 1);
// Two clicks in quick succession, as a person double-clicks.
bool doubleClick(int button = 1);
// Key names are X keysyms: "Up", "Down", "Return", "Escape", "a".
bool keyDown(const QString &keysym);
bool keyUp(const QString &keysym);
bool key(const QString &keysym);

} // namespace xdo
