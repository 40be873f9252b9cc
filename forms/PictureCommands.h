#pragma once

#include "forms/ChannelNumberEntry.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class ChannelLineup;
class ProgrammeMarks;
class FullScreenView;
class QKeyEvent;
class QMenu;
class QWidget;
class TForm2;
class TVLCPlugin;

// What the user does on the picture, in the window and in full screen, besides what the skin
// offers: a double-click, F or F11 switch full screen (Escape leaves it), the wheel and + and −
// step the volume, M mutes, digits choose a channel by its number (Backspace takes one back; Escape,
// the arrow keys or a click drop them), Backspace otherwise goes back to the channel watched
// before. While the channel is kept, Space pauses and resumes, Left and Right move 10 s (a minute
// with Shift), Home goes to the oldest moment kept and End back to live. G asks for the programme
// grid; I shows the stream's facts (formats, rate, lost packets, the box) for a few seconds.
// Watches the picture and the windows it is shown in; keys typed in other windows (the list's own
// typing) are left alone. A held F, F11, M, Space, G, I or Backspace acts once.
class PictureCommands : public QObject {
    Q_OBJECT
public:
    // menu opens on a right click on the picture in full screen, as it does on the skin. The
    // banner and the typed numbers read lineup's channels.
    PictureCommands(TVLCPlugin *picture, QWidget *window, QMenu *menu, const ChannelLineup &lineup,
                    QObject *parent = nullptr);

    // The window a typed number is chosen in, as a click on its row.
    void setListWindow(TForm2 *list) { m_list = list; }
    FullScreenView *fullScreen() const { return m_fullScreen; }
    bool isFullScreen() const;
    void setFullScreen(bool on);
    // The banner of the channel playing, if one of the list's was chosen.
    void showCurrentBanner();
    // The marks the banner shows before the titles of programmes set to be recorded; not owned.
    void setMarks(const ProgrammeMarks *marks) { m_marks = marks; }
    // True while digits typed wait to count as a channel number.
    bool isTypingNumber() const { return !m_entry.isEmpty(); }

signals:
    // G: the programme grid is asked for.
    void gridRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A channel's tune started, chosen any way: the number being typed goes, its banner comes up.
    void channelWatched();
    bool keyPressed(QKeyEvent *event);
    // Pausing and moving through the kept channel; false when the key is not one of those or
    // nothing is kept.
    bool shiftKeyPressed(QKeyEvent *event);
    void stepVolume(int steps);
    void toggleMute();
    void typeDigit(QChar digit);
    void takeBackDigit();
    // Forgets the digits typed, choosing nothing.
    void cancelTypedNumber();
    void chooseTypedNumber();
    // The channel watched before, chosen as a click on its row.
    void watchPrevious();
    void showTypedDigits();
    // Another way of choosing a channel drops the number being typed: watched only while one is.
    void watchOtherChoices(bool watch);
    bool cancelsTypedNumber(QObject *watched, QEvent *event) const;

    TVLCPlugin *m_picture;
    QWidget *m_window;
    QMenu *m_menu;
    const ChannelLineup &m_lineup;
    const ProgrammeMarks *m_marks = nullptr;
    QPointer<TForm2> m_list;
    FullScreenView *m_fullScreen;
    ChannelNumberEntry m_entry;
    QObject *m_otherChoices;
    bool m_watchingOtherChoices = false;
    QElapsedTimer m_clock;
    QTimer m_entryTimer;
    // Wheel turns finer than a notch add up to one.
    int m_wheelAngle = 0;
};
