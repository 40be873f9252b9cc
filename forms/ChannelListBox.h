#pragma once

#include <QListWidget>
#include <QPointer>

// The channel list box. It tells a change of selection made by the user (mouse, arrows,
// paging, typed row text) from one made by the program, and keeps "no row" selected when it
// takes the focus, as a list box does.
class ChannelListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ChannelListBox(QWidget *parent = nullptr);

    // Selects a row without reporting it as the user's choice. An index outside the rows is
    // refused and leaves the selection as it was.
    void selectRowFromCode(int row);
    // F, F11 and Escape switch full screen wherever the focus is: the list hands them to target
    // rather than taking them as typed row text.
    void setPictureKeysTarget(QObject *target) { m_pictureKeysTarget = target; }

signals:
    void selectionChangedByUser(int row);
    void painted();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    bool m_fromCode = false;
    QPointer<QObject> m_pictureKeysTarget;
};
