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

bool ScreenSaverInhibitor::wanted() const {
    return m_playing && windowSeen();
}

void ScreenSaverInhibitor::update() {
    // An answer still to come settles it then.
    if (isAsking() || wanted() == isHeld())
        return;
    if (isHeld()) {
        qCDebug(lcDesktop) << "screen saver let go through" << m_holding->name();
        std::exchange(m_holding, nullptr)->release();
        return;
    }
    ask(0);
}

void ScreenSaverInhibitor::ask(int place) {
    if (place >= int(m_ways.size())) {
        if (!std::exchange(m_warned, true))
            qCWarning(lcDesktop)
                << "no way to hold the screen saver off: the screen may blank while a channel plays";
        return;
    }
    m_asking = place;
    m_ways[place]->hold([this, place](bool held) { answered(place, held); });
}

void ScreenSaverInhibitor::answered(int place, bool held) {
    m_asking = -1;
    if (held) {
        m_holding = m_ways[place].get();
        qCDebug(lcDesktop) << "screen saver held off through" << m_holding->name();
    } else if (wanted()) {
        ask(place + 1);
        return;
    }
    // Let go at once if the picture stopped while the way was asked.
    update();
}
