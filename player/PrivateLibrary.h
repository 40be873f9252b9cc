#pragma once

#include <QFunctionPointer>
#include <QString>
#include <QStringList>

// The program's own libraries that it loads when first needed rather than at start-up, so that
// what they link (FFmpeg, the web engine) costs nothing before the first picture. Beside the
// program in the build tree, in its private library folder once installed. A library once loaded
// stays loaded for the life of the process: its classes are registered with Qt.
namespace PrivateLibrary {

// The function symbol of library name (without prefix or suffix), loading it the first time; null
// when it cannot be had, with the reason in error.
QFunctionPointer resolve(const char *name, const char *symbol, QString *error);

// Where the libraries are looked for from now on, instead of the program's own folders: a test
// gives a folder without them to see what the program does when they cannot be loaded.
void setFolders(const QStringList &folders);

} // namespace PrivateLibrary
