#pragma once

#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

class QScreen;

// The picture alone on a whole screen: the player control is lent to this black window, which
// fills the monitor it is shown on, and given back to its place in the skinned window on leaving.
// The pointer hides when it has not moved for kPointerHideMs.
class FullScreenView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPointerHideMs = 2000;

    explicit FullScreenView(QWidget *parent = nullptr);

    // Borrows picture from its parent and shows it over the whole of screen.
    void enter(QWidget *picture, QScreen *screen);
    // Gives the picture back to the parent and place it was borrowed from.
    void leave();
    bool isActive() const { return m_picture != nullptr; }
    bool isPointerHidden() const { return m_pointerHidden; }

signals:
    // Entered or left; the picture is in its new place.
    void activeChanged(bool active);
    // The pointer moved over the picture, to this place on the screen.
    void pointerMovedTo(const QPoint &globalPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void pointerMoved();
    void hidePointer();

    QPointer<QWidget> m_picture;
    QPointer<QWidget> m_home;
    QRect m_homePlace;
    bool m_homeTracking = false;
    QTimer m_pointerTimer;
    bool m_pointerHidden = false;
};
