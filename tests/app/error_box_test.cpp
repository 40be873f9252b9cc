// TApplication must be the process's application object, and this test program already has a
// plain QApplication. So each case re-runs this program with HALCYON_APP_CASE set: the child
// plays the case under its own TApplication before main starts, prints what it saw as
// "key=value" lines, and exits.
#include "app/ErrorText.h"
#include "app/TApplication.h"

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace {

constexpr const char *kCaseVariable = "HALCYON_APP_CASE";

// ---- child side ------------------------------------------------------------------------------

void report(const char *key, const QString &value) {
    std::printf("%s=%s\n", key, value.toUtf8().replace('\n', "\\n").constData());
}
void report(const char *key, qint64 value) {
    report(key, QString::number(value));
}

QList<QMessageBox *> visibleBoxes() {
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            boxes.append(box);
    }
    return boxes;
}

bool waitFor(const std::function<bool()> &condition) {
    QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class Throwing : public QObject {
public:
    std::function<void()> onEvent;
    bool event(QEvent *e) override {
        if (e->type() == QEvent::User)
            onEvent();
        return QObject::event(e);
    }
};

// A timer's tick throws once, then a handler throws twice more (a message, then a bare value).
int handlersThrow(TApplication &app) {
    int ticks = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 1)
            throw std::runtime_error("Impossible d'ouvrir le fichier playlist.m3u");
    });
    timer.start();

    report("caught", waitFor([&] { return app.errorBoxOpen(); }));
    waitFor([&] { return !visibleBoxes().isEmpty(); });
    const int ticksAtShow = ticks;
    report("ticksWhileOpen", waitFor([&] { return ticks >= ticksAtShow + 3; }));

    const QList<QMessageBox *> boxes = visibleBoxes();
    report("boxes", boxes.size());
    if (boxes.size() != 1)
        return 2;
    QMessageBox *box = boxes.first();
    report("title", box->windowTitle());
    report("text", box->text());
    report("critical", box->icon() == QMessageBox::Critical);
    report("buttons", box->standardButtons().toInt());
    report("applicationModal", box->windowModality() == Qt::ApplicationModal);
    report("property", app.property("errorBoxOpen").toBool());

    Throwing thrower;
    bool first = true;
    thrower.onEvent = [&] {
        if (std::exchange(first, false))
            throw std::runtime_error("Indice de liste hors limites (-1)");
        throw 42;
    };
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
    // The handler has returned: its box is not shown yet, only counted.
    report("boxesRightAfter", visibleBoxes().size());
    QCoreApplication::sendEvent(&thrower, &event);
    waitFor([&] { return visibleBoxes().size() == 3; });
    QStringList texts;
    for (QMessageBox *b : visibleBoxes())
        texts.append(b->text());
    texts.sort();
    report("texts", texts.join(QLatin1Char('|')));

    for (int left = 2; left >= 0; --left) {
        visibleBoxes().first()->button(QMessageBox::Ok)->click();
        waitFor([&] { return visibleBoxes().size() == left; });
        if (left == 1)
            report("openWithOneLeft", app.errorBoxOpen());
    }
    report("openAfterAll", app.errorBoxOpen());
    return 0;
}

int fatalStartup(TApplication &app) {
    QTimer::singleShot(0, [] {
        QWidget *modal = nullptr;
        waitFor([&] { return (modal = QApplication::activeModalWidget()) != nullptr; });
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return;
        report("title", box->windowTitle());
        report("text", box->text());
        report("critical", box->icon() == QMessageBox::Critical);
        box->button(QMessageBox::Ok)->click();
    });
    return app.fatalStartupError(std::runtime_error("Élément playbin introuvable"));
}

int runCase(const QByteArray &name) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char program[] = "test_app";
    static char *argv[] = {program, nullptr};
    TApplication app(argc, argv);
    int status = 3;
    if (name == "handlersThrow")
        status = handlersThrow(app);
    else if (name == "fatalStartup")
        status = fatalStartup(app);
    std::fflush(stdout);
    return status;
}

// Runs before main: a child never reaches the plain QApplication that main creates.
const bool kIsChild = [] {
    const QByteArray name = qgetenv(kCaseVariable);
    if (!name.isEmpty())
        std::_Exit(runCase(name));
    return false;
}();

// ---- parent side -----------------------------------------------------------------------------

struct ChildResult {
    int exitCode = -1;
    QMap<QString, QString> values;
};

ChildResult runChild(const char *name) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kCaseVariable), QString::fromLatin1(name));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    ChildResult result;
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return result;
    }
    result.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            result.values.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
    }
    return result;
}

TEST(ErrorBox, EachExceptionFromAHandlerGetsOneQueuedStopBoxAndTimersGoOn) {
    const ChildResult r = runChild("handlersThrow");
    ASSERT_EQ(r.exitCode, 0) << r.values.keys().join(' ').toStdString();
    EXPECT_EQ(r.values["caught"], "1");
    EXPECT_EQ(r.values["boxesRightAfter"], "1") << "the box must not be opened inside the catch";
    EXPECT_EQ(r.values["ticksWhileOpen"], "1");
    EXPECT_EQ(r.values["boxes"], "1");
    EXPECT_EQ(r.values["title"], applicationTitle(QCoreApplication::applicationFilePath()));
    EXPECT_EQ(r.values["text"], QStringLiteral("Impossible d'ouvrir le fichier playlist.m3u."));
    EXPECT_EQ(r.values["critical"], "1");
    EXPECT_EQ(r.values["buttons"], QString::number(int(QMessageBox::Ok)));
    EXPECT_EQ(r.values["applicationModal"], "1");
    EXPECT_EQ(r.values["property"], "1");
    EXPECT_EQ(r.values["texts"],
              QStringLiteral("Exception inconnue.|Impossible d'ouvrir le fichier playlist.m3u.|"
                             "Indice de liste hors limites (-1)"));
    EXPECT_EQ(r.values["openWithOneLeft"], "1");
    EXPECT_EQ(r.values["openAfterAll"], "0");
}

TEST(ErrorBox, StartupFailureShowsTheApplicationErrorAndExitsWithOne) {
    const ChildResult r = runChild("fatalStartup");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.values["title"], QStringLiteral("Erreur d'application"));
    EXPECT_EQ(r.values["critical"], "1");
    const QString text = r.values["text"];
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Exception runtime_error dans le module %1 à ").arg(module)))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(".\\nÉlément playbin introuvable."))) << text.toStdString();
}

} // namespace
