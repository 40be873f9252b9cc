#pragma once

#include <QObject>

#include <memory>

class ChannelLineup;
class MprisService;
class PlayerMediaControls;
class ScreenSaverInhibitor;
class TForm1;
class TForm2;

// The desktop's services for the player window, for as long as it lives: the screen kept from
// blanking while a channel plays in it, and the media keys and the desktop's media controls.
class DesktopServices : public QObject {
    Q_OBJECT
public:
    DesktopServices(TForm1 &player, TForm2 &list, const ChannelLineup &lineup, QObject *parent = nullptr);
    ~DesktopServices() override;

private:
    // In this order, so that the bus's service goes before the controls it calls.
    std::unique_ptr<ScreenSaverInhibitor> m_screenSaver;
    std::unique_ptr<PlayerMediaControls> m_controls;
    std::unique_ptr<MprisService> m_mpris;
    bool m_offered = false;
};
