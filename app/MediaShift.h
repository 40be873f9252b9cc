#pragma once

#include "desktop/MediaControls.h"

#include <QObject>
#include <QPointer>

#include <functional>

class ShiftControl;

// The watched channel's pausing and moving as the desktop's media controls see it: plain values
// read from the player's ShiftControl, and the commands passed on to it. The control is looked up
// anew on watch(), as an engine may begin keeping a channel only once it plays one.
class MediaShift : public QObject {
    Q_OBJECT
public:
    using Lookup = std::function<ShiftControl *()>;
    explicit MediaShift(Lookup lookup, QObject *parent = nullptr);

    // Follows the control the lookup gives now; changed() when it is another one.
    void watch();
    MediaControls::Shift state() const;
    void pause();
    void resume();
    void seekBy(qint64 deltaMs);
    void seekTo(qint64 fromOldestMs);

signals:
    void changed();

private:
    Lookup m_lookup;
    QPointer<ShiftControl> m_control;
};
