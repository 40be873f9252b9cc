#pragma once

#include "desktop/ScreenSaverBackend.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

// Keeps the screen from blanking while a channel plays in a window the user can see: held when
// both are true, let go as soon as either is not. The ways are tried in order and the first that
// holds is the one let go of. Nothing waits for a way's answer: one that comes after the picture
// stopped is let go of at once.
class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    explicit ScreenSaverInhibitor(std::vector<std::unique_ptr<ScreenSaverBackend>> ways,
                                  QObject *parent = nullptr);
    // The desktop's own: its screen-saver service on the session bus (when there is a bus), else
    // the X server's extension.
    static std::unique_ptr<ScreenSaverInhibitor> forDesktop(bool withSessionBus, QObject *parent = nullptr);
    ~ScreenSaverInhibitor() override;

    void setPlaying(bool playing);
    // The window the picture is in: minimised or hidden, it lets the screen blank.
    void watchWindow(QWidget *window);
    bool isHeld() const { return m_holding != nullptr; }
    // True while a way is asked and has not answered yet.
    bool isAsking() const { return m_asking >= 0; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void update();
    bool wanted() const;
    bool windowSeen() const;
    // Asks the way at place, the ways after it in turn if it refuses.
    void ask(int place);
    void answered(int place, bool held);

    std::vector<std::unique_ptr<ScreenSaverBackend>> m_ways;
    ScreenSaverBackend *m_holding = nullptr;
    int m_asking = -1;
    QPointer<QWidget> m_window;
    bool m_playing = false;
    bool m_warned = false;
};
