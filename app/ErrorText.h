#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <exception>

// Texts of the application's error boxes.

// The message as the box shows it: a "." is added when the last byte sorts after '.', so
// "... playlist.m3u" ends with a period and "... (3)" or "Fini." are left alone.
QByteArray withFinalPeriod(QByteArrayView message);

// The application title: the program file's name without its folder and without everything
// from its first "." on, every character after the first in lower case.
QString applicationTitle(const QString &programFilePath);

// "Exception <kind> dans le module <module> à <address>." then the message on the next line.
QString startupFailureText(const QString &kind, const QString &module, const void *address,
                           QByteArrayView message);

// The class name of an exception, demangled, without its namespaces.
QString exceptionKind(const std::exception &e);
