#include "app/ShutdownRequests.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#if __has_include(<xcb/xcb.h>)
#include <xcb/xcb.h>
#define HALCYON_HAS_XCB 1
#endif

namespace {

// The handler may only write to a descriptor: Qt is called from the main thread once the byte is
// read there. [0] is written by the handler, [1] read by the notifier.
int g_signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const int saved = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
    errno = saved;
}

constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

} // namespace

ShutdownRequests::ShutdownRequests(QObject *parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownRequests::readSignals);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kEndingSignals)
        ::sigaction(number, &action, nullptr);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

// The handlers stay: a second signal during the shutdown must not cut it short. The pipe stays open
// for them, and goes with the process.
ShutdownRequests::~ShutdownRequests() {
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

void ShutdownRequests::watchWindow(const QWidget *window) {
    m_window = window;
}

void ShutdownRequests::endWithin(int ms, int status) {
    std::thread([ms, status] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        ::_exit(status);
    }).detach();
}

void ShutdownRequests::readSignals() {
    char bytes[16];
    bool any = false;
    while (::read(g_signalPipe[1], bytes, sizeof bytes) > 0)
        any = true;
    if (any)
        emit requested();
}

bool ShutdownRequests::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) {
#ifdef HALCYON_HAS_XCB
    // Qt does not notice its window being destroyed by another client: X says so only to whoever
    // listens for the window's structure, which Qt does for its own top-level windows.
    if (!m_window || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY)
        return false;
    const auto *destroyed = static_cast<const xcb_destroy_notify_event_t *>(message);
    const WId gone = destroyed->window;
    // Qt destroys windows too, when it recreates one: only a window it still thinks it has is gone.
    QMetaObject::invokeMethod(
        this,
        [this, gone] {
            if (m_window && m_window->internalWinId() == gone)
                emit requested();
        },
        Qt::QueuedConnection);
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}
