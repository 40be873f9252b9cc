#include "support/Xdo.h"

#include "support/ChildProcess.h"
#include "support/Wait.h"

#include <QStringDecoder>

namespace xdo {

namespace {

bool run(const QStringList &args, QByteArray *out = nullptr) {
    bool ok = false;
    const QByteArray text = childprocess::runToEnd(QStringList{"xdotool"} + args, 10000, &ok);
    if (out)
        *out = text;
    return ok;
}

// xdotool matches titles with POSIX extended expressions.
QString exactPattern(const QString &title) {
    static const QString specials = QStringLiteral("\\.[]()*+?{}|^$");
    QString pattern;
    for (QChar c : title) {
        if (specials.contains(c))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    return QLatin1Char('^') + pattern + QLatin1Char('$');
}

} // namespace

QList<WindowId> searchWindows(const QString &titlePattern, bool visibleOnly) {
    QStringList args{"search"};
    if (visibleOnly)
        args << "--onlyvisible";
    args << "--name" << titlePattern;
    QByteArray out;
    run(args, &out); // no match is a failure exit with empty output
    QList<WindowId> windows;
    for (const QByteArray &line : out.split('\n')) {
        bool ok = false;
        const WindowId id = line.trimmed().toULong(&ok);
        if (ok)
            windows.append(id);
    }
    return windows;
}

WindowId waitForWindow(const QString &title, int timeoutMs) {
    WindowId found = 0;
    waitUntil(
        [&] {
            const QList<WindowId> windows = searchWindows(exactPattern(title));
            found = windows.isEmpty() ? 0 : windows.first();
            return found != 0;
        },
        timeoutMs, 100);
    return found;
}

QRect windowGeometry(WindowId window) {
    QByteArray out;
    if (!run({"getwindowgeometry", "--shell", QString::number(window)}, &out))
        return {};
    QRect r;
    for (const QByteArray &line : out.split('\n')) {
        const int eq = line.indexOf('=');
        const QByteArray name = line.left(eq);
        const int value = line.mid(eq + 1).toInt();
        if (name == "X")
            r.moveLeft(value);
        else if (name == "Y")
            r.moveTop(value);
        else if (name == "WIDTH")
            r.setWidth(value);
        else if (name == "HEIGHT")
            r.setHeight(value);
    }
    return r;
}

QString windowTitle(WindowId window) {
    QByteArray out;
    run({"getwindowname", QString::number(window)}, &out);
    // Qt sets titles in UTF-8; older toolkits in Latin-1.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString title = utf8(out.trimmed());
    return utf8.hasError() ? QString::fromLatin1(out.trimmed()) : title;
}

WindowId activeWindow() {
    QByteArray out;
    return run({"getactivewindow"}, &out) ? out.trimmed().toULong() : 0;
}

bool activate(WindowId window) {
    return run({"windowactivate", "--sync", QString::number(window)});
}

bool mouseMove(int x, int y) {
    // "--sync" waits for the pointer to move, so it would hang when the pointer is there already.
    QByteArray out;
    if (run({"getmouselocation", "--shell"}, &out) && out.contains("X=" + QByteArray::number(x) + "\n") &&
        out.contains("Y=" + QByteArray::number(y) + "\n"))
        return true;
    return run({"mousemove", "--sync", QString::number(x), QString::number(y)});
}
bool mouseDown(int button) {
    return run({"mousedown", QString::number(button)});
}
bool mouseUp(int button) {
    return run({"mouseup", QString::number(button)});
}
bool click(int button) {
    return run({"click", QString::number(button)});
}
bool doubleClick(int button) {
    return run({"click", "--repeat", "2", "--delay", "60", QString::number(button)});
}
bool keyDown(const QString &keysym) {
    return run({"keydown", keysym});
}
bool keyUp(const QString &keysym) {
    return run({"keyup", keysym});
}
bool key(const QString &keysym) {
    return run({"key", keysym});
}

} // namespace xdo
