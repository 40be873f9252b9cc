#pragma once

#include <QFile>
#include <memory>

// A file with no name, for bytes too many to keep in memory: made in the user's cache folder
// (O_TMPFILE, or a name removed as soon as it is opened where that is not supported), so that
// nothing of it is left once it is closed, or the process ends however it ends.
class AnonymousFile {
public:
    // Open for reading and writing; null with the reason in why when no such file can be made.
    static std::unique_ptr<QFile> create(QString *why);
    // Where it is made: the user's cache folder, or the temporary folder when there is none.
    static QString folder();
};
