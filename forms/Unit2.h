#pragma once

#include <QWidget>

class ChannelLineup;
class QLabel;
class QPushButton;
class ChannelListBox;
class PlayerControl;

// The floating, see-through channel list: it shows the lineup's channels and owns the step
// operations, which go from the row it highlights. Every way of changing channel ends in its
// ListBox1Click, which tunes the row and tells the lineup it is the one watched. The highlight may
// rest on a row that failed (one without an address) while the channel before goes on playing.
class TForm2 : public QWidget {
    Q_OBJECT
public:
    // A channel picked in the list is tuned on player; lineup is read and told what is watched.
    TForm2(PlayerControl &player, ChannelLineup &lineup, QWidget *parent = nullptr);
    ~TForm2() override;

    // Reads the playlist from the working folder into the lineup and fills the list.
    void FormCreate();

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    ChannelListBox *ListBox1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

    // As a click on the row: the list's selection, then ListBox1Click.
    void chooseRow(int row);
    // What ListBox1Click does for a row, the highlight left where it is: the row's address (a
    // failing lookup changes nothing), its number under the picture, the lineup told, the tune.
    void tuneRow(int row);
    // Keeps the list above window (its own window manager's rule for windows that belong to
    // another), or above none in particular with nullptr.
    void setAboveWindow(QWidget *window);
    // F, F11 and Escape typed in the list go to target (the picture's keys).
    void setPictureKeysTarget(QObject *target);
    // Gives the list itself the keyboard focus.
    void focusList();

public slots:
    void ListBox1Click();
    void Button1Click();
    void Button2Click();

signals:
    // The picked channel's number, for the player window to show once its tune starts.
    void channelNumberChanged(const QString &number);
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

    PlayerControl &m_player;
    ChannelLineup &m_lineup;
    bool m_maskPending = false;
    bool m_grabbing = false;
    // Hidden and shown again only to be stacked anew: not the user's hiding and showing.
    bool m_restacking = false;
};
