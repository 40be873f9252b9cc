#pragma once

#include <QObject>
#include <QString>

class MediaControls;

// The program as the desktop's media controls and media keys see it: an MPRIS 2 player on the
// session bus, named org.mpris.MediaPlayer2.halcyontv (with an instance suffix when another copy
// of the program holds that name).
class MprisService : public QObject {
    Q_OBJECT
public:
    // desktopEntry: the id of the program's desktop entry, without ".desktop".
    MprisService(MediaControls &controls, const QString &desktopEntry, QObject *parent = nullptr);
    ~MprisService() override;

    // False, with the reason logged, when there is no session bus or no name to be had.
    bool registerOnSessionBus();
    QString serviceName() const { return m_serviceName; }

private:
    QString m_serviceName;
};
