#include "app/DesktopIdentity.h"

#include <QGuiApplication>
#include <QIcon>

void applyDesktopIdentity() {
    // The X11 platform takes the class half of WM_CLASS from the application name, and the
    // desktop matches it against the entry's file name. Nothing else of the program reads it: the
    // application title comes from the program file's name.
    QGuiApplication::setApplicationName(QStringLiteral(HALCYON_APP_ID));
    QGuiApplication::setDesktopFileName(QStringLiteral(HALCYON_APP_ID));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/mainicon.png")));
}
