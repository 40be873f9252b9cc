#pragma once

#include <QObject>
#include <QString>

class MediaControls;

// The program as the desktop's media controls and media keys see it: an MPRIS 2 player on the
// session bus, named org.mpris.MediaPlayer2.halcyontv (with an instance suffix when another copy
// of the program holds that name). Nothing waits for the bus's answers.
class MprisService : public QObject {
    Q_OBJECT
public:
    // desktopEntry: the id of the program's desktop entry, without ".desktop".
    MprisService(MediaControls &controls, const QString &desktopEntry, QObject *parent = nullptr);
    ~MprisService() override;

    // Asks the bus for the name; false, with the reason logged, when there is no session bus.
    bool registerOnSessionBus();
    // Empty until the bus gave a name.
    QString serviceName() const { return m_serviceName; }

private:
    // Asks for the name at place in the list of names to try, the next one if it is taken.
    void requestName(int place);

    QString m_serviceName;
    bool m_onBus = false;
};
