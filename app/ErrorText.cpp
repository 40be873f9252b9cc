#include "app/ErrorText.h"

#include <QFileInfo>

#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

QByteArray withFinalPeriod(QByteArrayView message) {
    QByteArray text = message.toByteArray();
    if (!text.isEmpty() && static_cast<unsigned char>(text.back()) > '.')
        text.append('.');
    return text;
}

QString applicationTitle(const QString &programFilePath) {
    QString name = QFileInfo(programFilePath).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

QString startupFailureText(const QString &kind, const QString &module, const void *address,
                           QByteArrayView message) {
    const QString place =
        QStringLiteral("%1").arg(quintptr(address), int(2 * sizeof(void *)), 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("Exception %1 dans le module %2 à %3.\n").arg(kind, module, place) +
           QString::fromUtf8(withFinalPeriod(message));
}

QString exceptionKind(const std::exception &e) {
    const char *mangled = typeid(e).name();
    int status = 0;
    char *demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    QString name = QString::fromLatin1(status == 0 && demangled ? demangled : mangled);
    std::free(demangled);
    // Drop namespaces, but not the "::" inside template arguments.
    const qsizetype open = name.indexOf(QLatin1Char('<'));
    const qsizetype scope = (open < 0 ? name : name.left(open)).lastIndexOf(QLatin1String("::"));
    return scope < 0 ? name : name.mid(scope + 2);
}
