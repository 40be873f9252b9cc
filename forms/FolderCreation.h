#pragma once

#include <QString>

#include <stdexcept>

// A recording folder that could not be made; what() holds the French text shown to the user.
class EFolderCreationError : public std::runtime_error {
public:
    EFolderCreationError();
};

// True when path names a folder that exists now (a plain file of that name does not count).
bool folderExists(const QString &path);

// Makes the folder and any missing parents. An empty name, a name under a plain file or a
// parent without write permission throws EFolderCreationError; an existing folder is fine.
void createFolderWithParents(const QString &path);
