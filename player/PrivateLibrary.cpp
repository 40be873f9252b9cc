#include "player/PrivateLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QStringList>

QFunctionPointer PrivateLibrary::resolve(const char *name, const char *symbol, QString *error) {
    const QString here = QCoreApplication::applicationDirPath();
    // The test and bench programs sit one folder below the build tree's.
    const QStringList folders{here, here + QStringLiteral("/" HALCYON_PRIVATE_LIB_DIR),
                              here + QStringLiteral("/..")};
    QStringList reasons;
    for (const QString &folder : folders) {
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
