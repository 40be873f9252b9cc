#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

class QWebEngineView;
class PictureView;

// The television guide: the listings page in an embedded browser. The page is requested once,
// at start-up, and stays as the user left it when the window is closed and shown again.
class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(const QString &guidePage, QWidget *parent = nullptr);

    ~TForm5() override;

    // Made when the engine starts (at the latest when the window is first shown); null before.
    QWebEngineView *WebBrowser1 = nullptr;

    // Requests the listings page; the window stays hidden.
    void FormCreate();
    // Loads address; the first one once the television shows. Throws EOleException when it is no
    // address to navigate to.
    void Navigate(const QString &address);
    // With a player, the web engine waits for its first picture (or a while at most) to start.
    void setPlayer(PictureView *player);
    // Run each time the window has been opened: throws EOleException, in French, when its browser
    // could not be made (its library cannot be loaded), so the window would stay blank.
    void requireBrowser() const;

protected:
    bool event(QEvent *event) override;

private:
    void fitOuterSize();
    void startEngine();

    QPointer<PictureView> m_player;
    QString m_guidePage;
    QUrl m_firstPage;
    bool m_engineDeferred = false;
    bool m_engineStarted = false;
    bool m_outerSizeFitted = false;
};
