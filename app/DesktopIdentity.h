#pragma once

// How the desktop knows the program: the application icon on every window without one of its
// own (message boxes and the folder picker included), and one id shared by the desktop entry, the
// window class the window manager sees (WM_CLASS) and the software-centre metadata, so that the
// desktop groups the windows under the entry's icon. Window captions are left as they are.
// Call once the application object exists.
void applyDesktopIdentity();
