#pragma once

#include "playlist/Playlist.h"
#include "programmes/ProgrammeGuide.h"

#include <QWidget>

class QLabel;
class QPushButton;
class ChannelListBox;
class PlayerControl;

// The floating, see-through channel list. Its selection is the only record of the current
// channel; it owns the step operations every other way of changing channel goes through.
class TForm2 : public QWidget {
    Q_OBJECT
public:
    // A channel picked in the list is tuned on player.
    explicit TForm2(PlayerControl &player, QWidget *parent = nullptr);
    ~TForm2() override;

    // Reads the playlist from the working folder and fills the list.
    void FormCreate();

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    ChannelListBox *ListBox1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

    const Playlist &PlaylistLines() const { return m_playlist; }
    // The selected row's stream address; throws when there is none (see Playlist::addressOfRow).
    QByteArray addressOfSelectedRow() const;
    // Keeps the list above window (its own window manager's rule for windows that belong to
    // another), or above none in particular with nullptr.
    void setAboveWindow(QWidget *window);
    // The guide the playlist names, fetched from FormCreate on; it knows nothing without one.
    ProgrammeGuide &programmeGuide() { return m_programmeGuide; }
    // The row's programmes in the guide (by its tvg-id); empty when unknown.
    ChannelProgrammes programmesOfRow(int row) const;

public slots:
    void ListBox1Click();
    void Button1Click();
    void Button2Click();

signals:
    // The picked channel's number, for the player window to show once its tune starts.
    void channelNumberChanged(const QString &number);
    // A row was chosen (its text as the list shows it), once its address was found.
    void channelChosen(const QString &rowText);
    void shown();
    void hidden();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void FormShow();
    void FormHide();
    void FormMouseDown(QMouseEvent *event);
    void setupDescription();
    void scheduleMaskUpdate();
    void updateMask();
    QStringList neighbourAddresses(int row) const;

    PlayerControl &m_player;
    Playlist m_playlist;
    ProgrammeGuide m_programmeGuide;
    bool m_maskPending = false;
    bool m_grabbing = false;
    // Hidden and shown again only to be stacked anew: not the user's hiding and showing.
    bool m_restacking = false;
};
