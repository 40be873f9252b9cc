#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QWidget;

// Turns every outside request to end the program into one signal on the main thread, so that it
// ends as the Exit command ends it (recordings finished, the web engine's processes gone, status 0):
// SIGTERM, SIGINT and SIGHUP (a shutdown, kill, Ctrl+C, a closed terminal), and the main window
// being destroyed by another program, after which the user would have no way left to stop it.
class ShutdownRequests : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit ShutdownRequests(QObject *parent = nullptr);
    ~ShutdownRequests() override;

    // The window whose disappearance ends the program.
    void watchWindow(const QWidget *window);

    // For the very end, once the windows are gone (recordings finished, the box's sessions closed):
    // what remains is the libraries tearing down, and should any of it wait on an outside call (a
    // name lookup left under way by the guide's download, say), the process ends with status after
    // ms all the same.
    static void endWithin(int ms, int status);
    static constexpr int kTeardownDeadlineMs = 2000;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    void requested();

private:
    void readSignals();

    QSocketNotifier *m_notifier = nullptr;
    QPointer<const QWidget> m_window;
};
