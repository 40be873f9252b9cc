#include "forms/FolderCreation.h"

#include <QDir>
#include <QFileInfo>

EFolderCreationError::EFolderCreationError() : std::runtime_error("Impossible de créer le répertoire") {}

bool folderExists(const QString &path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

void createFolderWithParents(const QString &path) {
    if (path.isEmpty())
        throw EFolderCreationError();
    // mkpath also answers true when the name already exists; make sure it is a folder.
    if (!QDir().mkpath(path) || !folderExists(path))
        throw EFolderCreationError();
}
