#include "forms/Unit5.h"

#include "forms/GuideBrowser.h"
#include "forms/GuideIcon.h"
#include "forms/WindowFont.h"
#include "player/EOleException.h"
#include "player/PictureView.h"
#include "player/StartupTrace.h"

#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

namespace {

// The window's outer size, border and caption included.
constexpr QSize kOuterSize(715, 640);
constexpr int kLongestWaitForPictureMs = 2000;

} // namespace

TForm5::TForm5(const QString &guidePage, QWidget *parent) : QWidget(parent), m_guidePage(guidePage) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Programme TV"));
    setWindowIcon(guideWindowIcon());
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(windowFont());
    // Until a window manager says how thick its frame is, the whole outer size goes to the client.
    resize(kOuterSize);
    move(231, 163);

    // The browser fills the window from the engine's start on.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

TForm5::~TForm5() = default;

void TForm5::setPlayer(PictureView *player) {
    m_player = player;
}

void TForm5::requireBrowser() const {
    if (m_engineStarted && !WebBrowser1)
        throw EOleException(
            EOleException::kClassNotRegistered,
            QStringLiteral("Programme TV indisponible : le navigateur n'a pas pu être chargé"),
            QStringLiteral("WebBrowser1"));
}

void TForm5::FormCreate() {
    Navigate(m_guidePage);
}

void TForm5::Navigate(const QString &address) {
    const QUrl url(address, QUrl::StrictMode);
    if (address.trimmed().isEmpty() || !url.isValid() || url.isRelative())
        throw EOleException(EOleException::kInvalidArgument,
                            QStringLiteral("Adresse de page non valide : « %1 »").arg(address),
                            QStringLiteral("WebBrowser1"));
    if (m_engineStarted) {
        if (WebBrowser1)
            GuideBrowser::load(WebBrowser1, url);
        return;
    }
    m_firstPage = url;
    if (m_engineDeferred)
        return;
    m_engineDeferred = true;
    // Starting the web engine holds this thread for 0.1 to 0.2 s and loads the machine for a while
    // more, which visibly delays the television's first picture: start it once that picture is on
    // screen, or after a while at most. Without a player it starts as soon as the event loop runs.
    PictureView *player = m_player;
    QTimer::singleShot(player ? kLongestWaitForPictureMs : 0, this, &TForm5::startEngine);
    if (player)
        connect(player, &PictureView::framePainted, this, &TForm5::startEngine,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
}

void TForm5::startEngine() {
    if (m_engineStarted)
        return;
    m_engineStarted = true;
    StartupTrace::mark("web engine starting");
    WebBrowser1 = GuideBrowser::create(this, m_firstPage);
    if (WebBrowser1)
        layout()->addWidget(GuideBrowser::widget(WebBrowser1));
    StartupTrace::mark("web engine started");
}

bool TForm5::event(QEvent *event) {
    // Shown before the engine started: the user wants the page now.
    if (event->type() == QEvent::Show && m_engineDeferred)
        startEngine();
    const bool handled = QWidget::event(event);
    // The frame's thickness is known once the window manager has framed the window, which it
    // reports with a move; until then (or without a window manager) the margins are empty.
    if (!m_outerSizeFitted && (event->type() == QEvent::Move || event->type() == QEvent::Show))
        fitOuterSize();
    return handled;
}

void TForm5::fitOuterSize() {
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (frame.isNull())
        return;
    m_outerSizeFitted = true;
    resize(kOuterSize.shrunkBy(frame));
}
