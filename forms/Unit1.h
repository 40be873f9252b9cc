#pragma once

#include "channels/ProgrammeMarks.h"

#include <QByteArray>
#include <QPointer>
#include <QWidget>

class ChannelLineup;
class QLabel;
class QMenu;
class QAction;
class QTimer;
class QScreen;
class TImage;
class EarlyTune;
class TVLCPlugin;
class TSkTranspaMoveForm;
class KeyStateTracker;
class PictureCommands;
class TForm2;
class TForm4;
class TForm5;
class TrackMenus;
class GuideGridWindow;

// The player window: the skin, its buttons, the picture and the right-click menu.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    // FormCreate plays startupStream (earlyTune's pipeline, when one was begun for it); the record
    // command takes recordFallbackStream before a channel of lineup is watched. The banner, typed
    // numbers and recordings read lineup.
    TForm1(const QByteArray &startupStream, const QByteArray &recordFallbackStream, ChannelLineup &lineup,
           EarlyTune *earlyTune = nullptr, QWidget *parent = nullptr);
    ~TForm1() override;

    // The windows this one steps, shows and records through, as the main block creates them.
    void setListWindow(TForm2 *list);
    void setAboutWindow(QWidget *about);
    void setDestinationWindow(TForm4 *destination);
    void setGuideWindow(TForm5 *guide);

    // Run by the main block once the window's description is in place.
    void FormCreate();
    // The options FormCreate plays the start-up stream with, and the size of the picture.
    static QList<QByteArray> startupOptions();
    static QSize pictureSize();

    TImage *Image1 = nullptr;
    TImage *Image2 = nullptr;
    TImage *Image3 = nullptr;
    TImage *Image4 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    TImage *Image5 = nullptr;
    TImage *Image6 = nullptr;
    TVLCPlugin *vlc = nullptr;
    TSkTranspaMoveForm *SkTranspaMoveForm1 = nullptr;
    QTimer *Timer1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *ListeDesChaines1 = nullptr;
    QAction *ChaineSuivante1 = nullptr;
    QAction *ChainePrecedente1 = nullptr;
    QAction *ProgrammeTV1 = nullptr;
    QAction *APropos1 = nullptr;
    QAction *Enregistrer1 = nullptr;
    QAction *optiondenregistrement1 = nullptr;
    QAction *Exit1 = nullptr;
    // After the track menus, shown while the playlist names a guide.
    QAction *GuideDesProgrammes1 = nullptr;

    // Sets the channel number under the picture; the label grows to the right.
    void setChannelNumber(const QString &number);
    // Full screen, the volume keys and the channel number typed on the picture.
    PictureCommands *pictureCommands() const { return m_pictureCommands; }
    // The programme grid, once it has been opened.
    GuideGridWindow *guideGrid() const { return m_grid; }
    // The programmes marked for recording, which the banner shows and the guide's grid sets; not
    // owned, null until given.
    void setProgrammeMarks(ProgrammeMarks *marks);
    ProgrammeMarks *programmeMarks() const { return m_marks; }

public slots:
    void Image2Click();
    void Image3Click();
    void Image4Click();
    void Image5Click();
    void Image6Click();
    void Image1MouseMove(const QPoint &pos);
    void Timer1Timer();
    void UtilisationGetKeyState();
    void ListeDesChaines1Click();
    void ChaineSuivante1Click();
    void ChainePrecedente1Click();
    void ProgrammeTV1Click();
    void APropos1Click();
    void Enregistrer1Click();
    void optiondenregistrement1Click();
    void Exit1Click();
    // G on the picture, or the menu: the programme grid.
    void GuideDesProgrammes1Click();
    // The list window came up (it sits to the right of the picture) or went away.
    void listWindowShown();
    void listWindowHidden();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setupDescription(EarlyTune *earlyTune);
    void setupMenu();
    // The channel steps a key asks for on this tick.
    int stepsOfKey(int key);
    // Where the list goes when it is shown: beside the picture, or at the screen's right edge.
    void placeListWindow();
    // Shows the list window, brings it to the front and activates it, shown or not.
    void showListWindow();
    // The pointer moved to globalPos over the picture or the skin, shown on screen.
    void pointerMovedOver(const QPoint &globalPos, const QScreen *screen);
    void fullScreenChanged(bool active);
    PictureCommands *m_pictureCommands = nullptr;
    TrackMenus *m_trackMenus = nullptr;
    KeyStateTracker *m_keys = nullptr;
    QByteArray m_startupStream;
    QByteArray m_recordFallbackStream;
    ChannelLineup &m_lineup;
    QPointer<TForm2> m_list;
    QPointer<QWidget> m_about;
    QPointer<TForm4> m_destination;
    QPointer<TForm5> m_guide;
    GuideGridWindow *m_grid = nullptr;
    QPointer<ProgrammeMarks> m_marks;
    TImage *addButtonImage(const char *name, const QRect &place, const char *bitmap, const QString &hint);
};
