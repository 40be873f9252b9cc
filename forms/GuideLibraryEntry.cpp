// The guide library's entry points: the web engine's view, made and driven for the guide window.
#include <QGuiApplication>
#include <QLocale>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QUrl>
#include <QWebEngineProfile>
#include <QWebEngineView>

// Qt's own, for the engine: the context every window's OpenGL shares.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

// What the engine makes for itself when it is loaded before the application is: the context its
// pictures are drawn with, shared with the windows that show them.
void makeSharedContext() {
    if (QOpenGLContext::globalShareContext())
        return;
    auto *context = new QOpenGLContext(qApp);
    if (context->create())
        qt_gl_set_global_share_context(context);
    else
        delete context;
}

} // namespace

extern "C" Q_DECL_EXPORT QWebEngineView *halcyon_guide_create(QWidget *parent, const QUrl &url) {
    // The engine takes its language (its own error pages, the Accept-Language it sends) from the
    // default locale when it starts, not from the user's settings: the program speaks French.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    makeSharedContext();
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGLRhi);
    auto *browser = new QWebEngineView(parent);
    browser->setObjectName(QStringLiteral("WebBrowser1"));
    browser->page()->profile()->setHttpAcceptLanguage(QStringLiteral("fr-FR,fr"));
    browser->load(url);
    return browser;
}

extern "C" Q_DECL_EXPORT void halcyon_guide_load(QWebEngineView *browser, const QUrl &url) {
    browser->load(url);
}

extern "C" Q_DECL_EXPORT QWidget *halcyon_guide_widget(QWebEngineView *browser) {
    return browser;
}
