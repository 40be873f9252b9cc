#pragma once

#include "desktop/ScreenSaverBackend.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

// Keeps the screen from blanking while a channel plays in a window the user can see: held when
// both are true, let go as soon as either is not. The ways are tried in order and the first that
// holds is the one let go of.
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void update();
    bool windowSeen() const;

    std::vector<std::unique_ptr<ScreenSaverBackend>> m_ways;
    ScreenSaverBackend *m_holding = nullptr;
    QPointer<QWidget> m_window;
    bool m_playing = false;
    bool m_warned = false;
};
