#include "app/DesktopServices.h"

#include "app/PlayerMediaControls.h"
#include "desktop/GlibSessionBus.h"
#include "desktop/MprisService.h"
#include "desktop/ScreenSaverInhibitor.h"
#include "desktop/SessionBus.h"
#include "forms/Unit1.h"
#include "player/TVLCPlugin.h"

#include <QGuiApplication>
#include <QTimer>

#include <utility>

namespace {
constexpr int kLongestWaitForPictureMs = 2000;
} // namespace

DesktopServices::DesktopServices(TForm1 &player, TForm2 &list, const ChannelLineup &lineup, QObject *parent)
    : QObject(parent) {
    const bool withSessionBus = sessionBusExpected();
    // The bus may go away while the program runs: the program goes on without what it offered there.
    if (withSessionBus)
        keepGlibFromEndingWithSessionBus();
    m_screenSaver = ScreenSaverInhibitor::forDesktop(withSessionBus);
    m_screenSaver->watchWindow(&player);
    // Queued: the call to the desktop's service waits until the picture that started it is painted.
    connect(player.vlc, &TVLCPlugin::playingChanged, m_screenSaver.get(), &ScreenSaverInhibitor::setPlaying,
            Qt::QueuedConnection);
    m_screenSaver->setPlaying(player.vlc->isPlaying());

    m_controls = std::make_unique<PlayerMediaControls>(player, list, lineup);
    m_mpris = std::make_unique<MprisService>(*m_controls, QGuiApplication::desktopFileName());
    if (!withSessionBus)
        return;
    // Joining the bus holds this thread a few milliseconds: once the first picture is on screen,
    // or after a while at most.
    const auto offer = [this] {
        if (!std::exchange(m_offered, true))
            m_mpris->registerOnSessionBus();
    };
    connect(player.vlc, &TVLCPlugin::framePainted, this, offer,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    QTimer::singleShot(kLongestWaitForPictureMs, this, offer);
}

DesktopServices::~DesktopServices() = default;
