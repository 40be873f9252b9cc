#pragma once

#include "desktop/MediaControls.h"

#include <QTimer>

class ChannelLineup;
class MediaShift;
class TForm1;
class TForm2;
class TVLCPlugin;

// The desktop's media controls on the player window: Next and Previous step as the skin's ▲ and ▼
// do, Play plays the channel playing again (the start-up channel before one is chosen), Stop stops
// as the player control's stop does; while the channel is kept, Pause holds it and Play resumes. A step that
// fails shows its error box as a click would; while an error box is open, the commands that tune do nothing,
// as the keys do. A radio channel counts as playing. The title names the channel that plays and, when the
// guide knows it, the programme on now: "201 - Une — Journal"; it changes when the programme does.
class PlayerMediaControls : public MediaControls {
    Q_OBJECT
public:
    // The title and Play read the channel watched in lineup; Play tunes it again through list.
    PlayerMediaControls(TForm1 &player, TForm2 &list, const ChannelLineup &lineup, QObject *parent = nullptr);

    void next() override;
    void previous() override;
    void play() override;
    void stop() override;
    bool isPlaying() const override;
    QString title() const override;
    int volume() const override;
    void setVolume(int percent) override;
    Shift shift() const override;
    void pause() override;
    void resume() override;
    void seekBy(qint64 deltaMs) override;
    void seekTo(qint64 fromOldestMs) override;

private:
    // Runs a command that tunes as the user's click would, its failure shown in the error box;
    // nothing while an error box is open.
    template <typename Command> void tune(Command command);
    // Says the title changed and waits for the end of the programme now to say it again.
    void followProgramme();
    // Tells the desktop when the picture or a radio channel's sound starts or stops.
    void updatePlaying();

    TForm1 &m_player;
    TForm2 &m_list;
    TVLCPlugin &m_control;
    const ChannelLineup &m_lineup;
    MediaShift *m_shift;
    QTimer m_programmeEnd;
    bool m_wasPlaying = false;
};
