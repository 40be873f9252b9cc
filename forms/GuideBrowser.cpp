#include "forms/GuideBrowser.h"

#include "player/PrivateLibrary.h"

#include <QLoggingCategory>
#include <QUrl>

namespace {

Q_LOGGING_CATEGORY(lcGuide, "halcyon.guide", QtWarningMsg)

using Create = QWebEngineView *(*)(QWidget *, const QUrl &);
using Load = void (*)(QWebEngineView *, const QUrl &);
using Widget = QWidget *(*)(QWebEngineView *);

struct Library {
    Create create = nullptr;
    Load load = nullptr;
    Widget widget = nullptr;
};

QtMessageHandler s_previousHandler = nullptr;

// Loaded after the application was made, the engine asks to be loaded before it instead; the
// library makes the context the engine would have made then, so the request is answered.
void withoutLoadedLateNotice(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (type == QtWarningMsg &&
        message.startsWith(QLatin1String("Qt WebEngine seems to be initialized from a plugin")))
        return;
    s_previousHandler(type, context, message);
}

const Library &library() {
    static const Library loaded = [] {
        Library found;
        QString error;
        s_previousHandler = qInstallMessageHandler(&withoutLoadedLateNotice);
        found.create = reinterpret_cast<Create>(
            PrivateLibrary::resolve("halcyon-guide", "halcyon_guide_create", &error));
        qInstallMessageHandler(s_previousHandler);
        if (!found.create) {
            qCWarning(lcGuide).noquote() << "guide library not loaded:" << error;
            return found;
        }
        found.load =
            reinterpret_cast<Load>(PrivateLibrary::resolve("halcyon-guide", "halcyon_guide_load", &error));
        found.widget = reinterpret_cast<Widget>(
            PrivateLibrary::resolve("halcyon-guide", "halcyon_guide_widget", &error));
        if (!found.load || !found.widget) {
            qCWarning(lcGuide).noquote() << "guide library incomplete:" << error;
            found.create = nullptr;
        }
        return found;
    }();
    return loaded;
}

} // namespace

QWebEngineView *GuideBrowser::create(QWidget *parent, const QUrl &url) {
    const Library &loaded = library();
    return loaded.create ? loaded.create(parent, url) : nullptr;
}

void GuideBrowser::load(QWebEngineView *browser, const QUrl &url) {
    library().load(browser, url);
}

QWidget *GuideBrowser::widget(QWebEngineView *browser) {
    return library().widget(browser);
}
