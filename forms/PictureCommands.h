#pragma once

#include "forms/ChannelNumberEntry.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class FullScreenView;
class QKeyEvent;
class QMenu;
class QWidget;
class TForm2;
class TVLCPlugin;

// What the user does on the picture, in the window and in full screen, besides what the skin
// offers: a double-click, F or F11 switch full screen (Escape leaves it), the wheel and + and −
// step the volume, M mutes, digits choose a channel by its number. Watches the picture and the
// windows it is shown in; keys typed in other windows (the list's own typing) are left alone.
class PictureCommands : public QObject {
    Q_OBJECT
public:
    // menu opens on a right click on the picture in full screen, as it does on the skin.
    PictureCommands(TVLCPlugin *picture, QWidget *window, QMenu *menu, QObject *parent = nullptr);

    void setListWindow(TForm2 *list) { m_list = list; }
    FullScreenView *fullScreen() const { return m_fullScreen; }
    bool isFullScreen() const;
    void setFullScreen(bool on);
    // The banner of the list's current row, if a row is chosen.
    void showCurrentBanner();
    // The channel chosen by its row text, as the list shows it.
    void showBanner(const QString &rowText);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPressed(QKeyEvent *event);
    void stepVolume(int steps);
    void toggleMute();
    void typeDigit(QChar digit);
    void chooseTypedNumber();

    TVLCPlugin *m_picture;
    QWidget *m_window;
    QMenu *m_menu;
    QPointer<TForm2> m_list;
    FullScreenView *m_fullScreen;
    ChannelNumberEntry m_entry;
    QElapsedTimer m_clock;
    QTimer m_entryTimer;
    // Wheel turns finer than a notch add up to one.
    int m_wheelAngle = 0;
};
