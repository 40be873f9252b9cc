#include "player/PrivateLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

#include <optional>

namespace {

std::optional<QStringList> s_folders;

QStringList folders() {
    if (s_folders)
        return *s_folders;
    const QString here = QCoreApplication::applicationDirPath();
    // The test and bench programs sit one folder below the build tree's.
    return {here, here + QStringLiteral("/" HALCYON_PRIVATE_LIB_DIR), here + QStringLiteral("/..")};
}

} // namespace

QFunctionPointer PrivateLibrary::resolve(const char *name, const char *symbol, QString *error) {
    QStringList reasons;
    for (const QString &folder : folders()) {
        QLibrary library(QDir(folder).filePath(QLatin1String(name)));
        if (!library.load()) {
            reasons << library.errorString();
            continue;
        }
        if (QFunctionPointer function = library.resolve(symbol))
            return function;
        reasons << library.errorString();
    }
    if (error)
        *error = reasons.value(0);
    return nullptr;
}

void PrivateLibrary::setFolders(const QStringList &folders) {
    s_folders = folders;
}
