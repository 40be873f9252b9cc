#include "desktop/ScreenSaverInhibitor.h"

#include "desktop/DesktopLog.h"
#include "desktop/FreedesktopScreenSaver.h"
#include "desktop/X11ScreenSaver.h"

#include <QEvent>

ScreenSaverInhibitor::ScreenSaverInhibitor(std::vector<std::unique_ptr<ScreenSaverBackend>> ways,
                                           QObject *parent)
    : QObject(parent), m_ways(std::move(ways)) {}

std::unique_ptr<ScreenSaverInhibitor> ScreenSaverInhibitor::forDesktop(bool withSessionBus, QObject *parent) {
    std::vector<std::unique_ptr<ScreenSaverBackend>> ways;
    if (withSessionBus)
        ways.push_back(std::make_unique<FreedesktopScreenSaver>());
    ways.push_back(std::make_unique<X11ScreenSaver>());
    return std::make_unique<ScreenSaverInhibitor>(std::move(ways), parent);
}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    if (m_holding)
        m_holding->release();
}

void ScreenSaverInhibitor::setPlaying(bool playing) {
    m_playing = playing;
    update();
}

void ScreenSaverInhibitor::watchWindow(QWidget *window) {
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (window)
        window->installEventFilter(this);
    update();
}

bool ScreenSaverInhibitor::windowSeen() const {
    return !m_window || (m_window->isVisible() && !m_window->isMinimized());
}

bool ScreenSaverInhibitor::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
        update();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ScreenSaverInhibitor::update() {
    const bool wanted = m_playing && windowSeen();
    if (wanted == isHeld())
        return;
    if (!wanted) {
        qCDebug(lcDesktop) << "screen saver let go through" << m_holding->name();
        std::exchange(m_holding, nullptr)->release();
        return;
    }
    for (const std::unique_ptr<ScreenSaverBackend> &way : m_ways) {
        if (way->hold()) {
            m_holding = way.get();
            qCDebug(lcDesktop) << "screen saver held off through" << way->name();
            return;
        }
    }
    if (!std::exchange(m_warned, true))
        qCWarning(lcDesktop)
            << "no way to hold the screen saver off: the screen may blank while a channel plays";
}
