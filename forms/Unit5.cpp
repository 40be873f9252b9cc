#include "forms/Unit5.h"

#include "forms/GuideIcon.h"
#include "player/EOleException.h"

#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWindow>

TForm5 *Form5 = nullptr;

namespace {

// The window's outer size, border and caption included.
constexpr QSize kOuterSize(715, 640);

} // namespace

TForm5::TForm5(const QString &guidePage, QWidget *parent) : QWidget(parent), m_guidePage(guidePage) {
    if (!Form5)
        Form5 = this;
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Programme TV"));
    setWindowIcon(guideWindowIcon());
    setAttribute(Qt::WA_QuitOnClose, false);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    // Until a window manager says how thick its frame is, the whole outer size goes to the client.
    resize(kOuterSize);
    move(231, 163);

    WebBrowser1 = new QWebEngineView(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WebBrowser1);
}

TForm5::~TForm5() {
    if (Form5 == this)
        Form5 = nullptr;
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
    // The first load starts the web engine, which holds this thread for 0.1 to 0.2 s: at start-up
    // that waits until the event loop runs, so the player window is not held back by it.
    QTimer::singleShot(0, WebBrowser1, [this, url] { WebBrowser1->load(url); });
}

bool TForm5::event(QEvent *event) {
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
