// Main block: creates the five windows in order, shows the player window and runs the loop.
#include "app/Constants.h"
#include "app/DesktopServices.h"
#include "app/FormWiring.h"
#include "app/ScheduledRecordings.h"
#include "app/ShutdownRequests.h"
#include "app/TApplication.h"
#include "channels/ChannelLineup.h"
#include "forms/Unit1.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "forms/Unit4.h"
#include "forms/Unit5.h"
#include "player/StartupTrace.h"
#include "player/TVLCPlugin.h"
#include "player/TuneSequence.h"
#include "player/engine/EarlyTune.h"
#include "programmes/ProgrammeGuide.h"

#include <QTimer>

#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// A window whose description cannot be loaded ends start-up (the caller reports it); an error in
// its creation handler is shown and start-up goes on with the next window. The window is wired to
// the ones before it between the two.
template <typename Form, typename Wire, typename... Args>
std::unique_ptr<Form> createForm(TApplication &app, Wire wire, Args &&...args) {
    auto form = std::make_unique<Form>(std::forward<Args>(args)...);
    wire(*form);
    if constexpr (requires { form->FormCreate(); }) {
        try {
            form->FormCreate();
        } catch (const std::exception &error) {
            app.showException(error);
        }
    }
    return form;
}

} // namespace

int main(int argc, char **argv) {
#ifdef __GLIBC__
    // Before any thread starts: each GStreamer streaming thread would otherwise get an allocator
    // arena of its own, up to eight per core, and every arena keeps what the threads of earlier
    // channels freed. After a few hundred channel changes sixteen arenas held 126 MB for 37 MB in
    // use. Two arenas serve one picture and one sound stream at a time as well.
    mallopt(M_ARENA_MAX, 2);
#endif
    StartupTrace::mark("main");
#ifdef Q_OS_UNIX
    // As root the web engine will not start with its sandbox on, and it takes the whole program
    // down when the guide page loads.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    // Chromium's own language (its error pages) is chosen by this flag when the web engine starts.
    QByteArray engineFlags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!engineFlags.contains("--lang="))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", engineFlags.append(" --lang=fr").trimmed());
    // The start-up channel connects while Qt starts and the windows are built, not after: Form1's
    // tune takes the stream over.
    EarlyTune earlyTune(tuneTarget(halcyon::StartupStream(), TForm1::startupOptions()),
                        TForm1::pictureSize());
    TApplication app(argc, argv);
    StartupTrace::mark("application");
    // Asked from outside to end, the program ends as its Exit command ends it; a request during
    // start-up is seen once the loop runs.
    ShutdownRequests shutdown;

    // The channels and their programmes, which every window reads: they outlive the windows.
    auto guide = std::make_unique<ProgrammeGuide>();
    auto lineup = std::make_unique<ChannelLineup>(guide.get());
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TForm5> form5;
    // The recordings set from the guide; the grid reaches them as the player window's marks.
    std::unique_ptr<ScheduledRecordings> recordings;
    try {
        form1 = createForm<TForm1>(
            app, [](TForm1 &) {}, halcyon::StartupStream(), halcyon::RecordFallbackStream(), *lineup,
            &earlyTune);
        StartupTrace::mark("player window built");
        form2 = createForm<TForm2>(
            app, [&](TForm2 &list) { FormWiring::wireList(*form1, list); }, *form1->vlc, *lineup);
        form3 = createForm<TForm3>(
            app, [&](TForm3 &about) { form1->setAboutWindow(&about); },
            QString::fromUtf8(halcyon::AuthorPageUrl));
        form4 =
            createForm<TForm4>(app, [&](TForm4 &destination) { form1->setDestinationWindow(&destination); });
        form5 = createForm<TForm5>(
            app, [&](TForm5 &guide) { FormWiring::wireGuide(*form1, guide); },
            QString::fromUtf8(halcyon::GuidePageUrl));
        recordings = FormWiring::scheduledRecordings(*form1, *form2, form4.get(), *lineup);
        StartupTrace::mark("windows built");
    } catch (const std::exception &error) {
        return app.fatalStartupError(error);
    }
    QObject::connect(&shutdown, &ShutdownRequests::requested, form1.get(), [&form1] { form1->close(); });
    shutdown.watchWindow(form1.get());
    auto desktop = std::make_unique<DesktopServices>(*form1, *form2, *lineup);
    form1->show();
    StartupTrace::mark("player window shown");
    if (StartupTrace::enabled())
        QTimer::singleShot(0, [] { StartupTrace::mark("event loop running"); });
    const int status = app.exec();
    desktop.reset();
    // Before the windows its hooks reach: each file under way is finished first.
    form1->setProgrammeMarks(nullptr);
    recordings.reset();
    // Windows go in the reverse order of their creation, the player last.
    form5.reset();
    form4.reset();
    form3.reset();
    form2.reset();
    form1.reset();
    lineup.reset();
    guide.reset();
    ShutdownRequests::endWithin(ShutdownRequests::kTeardownDeadlineMs, status);
    return status;
}
