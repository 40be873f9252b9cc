// The program as a user gets it: installed (cmake --install into a temporary prefix) as a desktop
// application the validators accept, and run from there by an ordinary user, who sees it play,
// opens the guide with the web engine's sandbox on, records into their videos folder, and finds
// nothing else written.

#include "support/ChildProcess.h"
#include "support/HalcyonProcess.h"
#include "support/PlayerMenu.h"
#include "support/RecordingProbe.h"
#include "support/Screen.h"
#include "support/SetTopBox.h"
#include "support/Wait.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr const char *kAppId = "org.halcyontv.Player";
// Made when the suite runs as root and it is missing: a system account with no home of its own.
constexpr const char *kViewer = "halcyon-viewer";
const QRect kPicture(72, 32, 537, 329);
constexpr int kFallbackChannel = 612;

struct Outcome {
    int status = -1;
    QString output;
};

Outcome run(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Outcome result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

// Every file and folder under root, relative to it, hidden ones included.
QStringList everythingUnder(const QString &root) {
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << QDir(root).relativeFilePath(it.next());
    paths.sort();
    return paths;
}

QString keyOf(const QString &text, const QString &key) {
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(text).captured(1);
}

class InstalledProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_prefix = new QTemporaryDir;
        const Outcome install =
            run(QStringLiteral("cmake"), {"--install", HALCYON_BUILD_DIR, "--prefix", s_prefix->path()});
        s_installLog = new QString(install.output);
        // Private to its maker; the ordinary user must reach the program inside.
        QFile::setPermissions(s_prefix->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                    QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                    QFile::ExeOther);
        s_installed = install.status == 0;
    }
    static void TearDownTestSuite() {
        delete s_prefix;
        delete s_installLog;
    }

    void SetUp() override { ASSERT_TRUE(s_installed) << qPrintable(*s_installLog); }

    static QString installed(const QString &relative) { return s_prefix->filePath(relative); }
    static QString readAll(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    static inline QTemporaryDir *s_prefix = nullptr;
    static inline QString *s_installLog = nullptr;
    static inline bool s_installed = false;
};

TEST_F(InstalledProgram, HoldsADesktopApplicationTheValidatorsAcceptAndNothingOfTheBuildTree) {
    const QString id = QString::fromLatin1(kAppId);
    const QString program = installed("bin/halcyon-tv");
    EXPECT_TRUE(QFileInfo(program).isExecutable());
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage icon(
            installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id)));
        EXPECT_EQ(icon.size(), QSize(size, size)) << "icon at " << size;
    }

    const QString entryPath = installed("share/applications/" + id + ".desktop");
    const Outcome entryCheck = run(QStringLiteral("desktop-file-validate"), {entryPath});
    EXPECT_EQ(entryCheck.status, 0) << qPrintable(entryCheck.output);
    EXPECT_EQ(entryCheck.output.trimmed(), QString());
    const QString entry = readAll(entryPath);
    EXPECT_EQ(keyOf(entry, "Exec"), "halcyon-tv");
    EXPECT_EQ(keyOf(entry, "Icon"), id);
    EXPECT_EQ(keyOf(entry, "StartupWMClass"), id);

    const QString metainfoPath = installed("share/metainfo/" + id + ".metainfo.xml");
    const Outcome metainfoCheck = run(QStringLiteral("appstreamcli"), {"validate", "--no-net", metainfoPath});
    EXPECT_EQ(metainfoCheck.status, 0) << qPrintable(metainfoCheck.output);
    const QString metainfo = readAll(metainfoPath);
    EXPECT_TRUE(metainfo.contains("<id>" + id + "</id>"));
    EXPECT_TRUE(metainfo.contains("<launchable type=\"desktop-id\">" + id + ".desktop</launchable>"));

    // Its pictures are compiled in and its libraries are the system's: no search path into the build.
    const Outcome dynamic = run(QStringLiteral("readelf"), {"-d", program});
    EXPECT_FALSE(dynamic.output.contains(QStringLiteral(HALCYON_BUILD_DIR))) << qPrintable(dynamic.output);
    // FFmpeg and the web engine come from its own libraries when first used, not as it starts.
    for (const char *library : {"libavcodec", "libavformat", "libQt6WebEngine"})
        EXPECT_FALSE(dynamic.output.contains(QLatin1String(library))) << library;
    for (const char *own : {"lib/halcyon-tv/halcyon-recorder.so", "lib/halcyon-tv/halcyon-guide.so"})
        EXPECT_TRUE(QFileInfo(installed(QLatin1String(own))).isFile()) << own;
}

class OrdinaryUser : public InstalledProgram {
protected:
    void SetUp() override {
        InstalledProgram::SetUp();
        if (geteuid() == 0) {
            if (!getpwnam(kViewer))
                run(QStringLiteral("useradd"), {"--system", "--user-group", "--no-create-home", "--home-dir",
                                                "/nonexistent", "--shell", "/usr/sbin/nologin", kViewer});
            const passwd *viewer = getpwnam(kViewer);
            if (!viewer)
                GTEST_SKIP() << "running as root and no ordinary user " << kViewer
                             << " could be made (useradd)";
            m_uid = viewer->pw_uid;
            m_gid = viewer->pw_gid;
            m_ownUser = true;
        } else {
            m_uid = geteuid();
            m_gid = getegid();
        }
        ASSERT_TRUE(m_home.isValid() && m_runtime.isValid());
        ASSERT_TRUE(QDir(m_home.path()).mkpath("Videos"));
        for (const QString &path : {m_home.path(), videos(), m_runtime.path()})
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), m_uid, m_gid), 0) << qPrintable(path);

        SetTopBox::Options options;
        options.port = SetTopBox::startupPort();
        options.channels = {201, 202, 203, kFallbackChannel};
        ASSERT_TRUE(m_box.start(options)) << qPrintable(m_box.error());
        ASSERT_TRUE(m_program.setPlaylist(m_box.playlist()));
        m_program.setProgram(installed("bin/halcyon-tv"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // The user's own session: the web engine's sandbox as it comes, the folders in their home.
        for (const char *name : {"QTWEBENGINE_DISABLE_SANDBOX", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                 "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            environment.remove(QString::fromLatin1(name));
        environment.insert("HOME", m_home.path());
        environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
        m_program.setEnvironment(environment);
        if (m_ownUser) {
            ASSERT_TRUE(m_program.setUser(m_uid, m_gid));
        }
    }

    QString videos() const { return m_home.filePath("Videos"); }

    bool showsChannel(xdo::WindowId window, int channel) const {
        const QPoint origin = xdo::windowGeometry(window).topLeft();
        const QRect centre(origin + kPicture.center() + QPoint(60, 40), QSize(60, 40));
        return waitUntil([&] { return looksLikeChannel(averageColour(screenshotRoot(), centre), channel); },
                         20000, 200);
    }

    // The guide's web processes run in user namespaces of their own: the sandbox is on.
    bool webEngineSandboxed() const {
        const QList<qint64> tree = processTree(m_program.pid());
        const QString programNamespace =
            QFile::symLinkTarget(QStringLiteral("/proc/%1/ns/user").arg(m_program.pid()));
        bool sandboxed = false;
        for (const qint64 pid : tree) {
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
            if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("--no-sandbox"))
                return false;
            const QString ns = QFile::symLinkTarget(QStringLiteral("/proc/%1/ns/user").arg(pid));
            sandboxed |= !ns.isEmpty() && ns != programNamespace;
        }
        return sandboxed;
    }

    uid_t m_uid = 0;
    gid_t m_gid = 0;
    bool m_ownUser = false;
    QTemporaryDir m_home;
    QTemporaryDir m_runtime;
    SetTopBox m_box;
    HalcyonProcess m_program;
};

TEST_F(OrdinaryUser, PlaysShowsTheGuideSandboxedAndRecordsIntoTheirVideosFolderOnly) {
    const QStringList workBefore = everythingUnder(m_program.workDir());
    // What the run writes in the shared temporary folders is newer than this.
    const QString startMark = m_runtime.filePath("start-mark");
    QFile(startMark).open(QIODevice::WriteOnly);
    ASSERT_TRUE(m_program.start());
    const xdo::WindowId player = m_program.waitForWindow(QStringLiteral("Halcyon"));
    ASSERT_NE(player, 0u) << m_program.standardError().constData();
    EXPECT_TRUE(showsChannel(player, 201)) << m_program.standardError().right(2000).constData();

    // "Programme TV" is the fourth item of the menu.
    ASSERT_TRUE(chooseFromPlayerMenu(player, {"Tab", "Tab", "Tab", "Tab", "Return"}, [] {
        return !xdo::searchWindows(QStringLiteral("Programme TV")).isEmpty();
    }));
    EXPECT_TRUE(waitUntil([&] { return webEngineSandboxed(); }, 40000, 200))
        << "no sandboxed web process\n"
        << m_program.standardError().right(2000).constData();
    ASSERT_TRUE(m_program.isRunning()) << m_program.standardError().right(2000).constData();

    // "Enregistrer" is the sixth.
    ASSERT_TRUE(chooseFromPlayerMenu(
        player, {"Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Return"},
        [&] { return !recordingsIn(videos()).isEmpty(); },
        // The file appears once the box answers for the channel.
        20000))
        << m_program.standardError().right(2000).constData();
    EXPECT_TRUE(waitUntil(
        [&] {
            const QStringList files = recordingsIn(videos());
            return files.size() == 1 && QFileInfo(files.first()).size() > 1'000'000;
        },
        40000, 200))
        << m_program.standardError().right(2000).constData();
    // "Exit" is the last: Shift+Tab goes round to it.
    ASSERT_TRUE(
        chooseFromPlayerMenu(player, {"shift+Tab", "Return"}, [&] { return !m_program.isRunning(); }));
    EXPECT_EQ(m_program.exitCode(), 0);

    const QStringList files = recordingsIn(videos());
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(QFileInfo(files.first()).ownerId(), m_uid);
    const RecordingProbe probe = RecordingProbe::of(files.first());
    EXPECT_TRUE(probe.readable);
    EXPECT_EQ(probe.video["codec_name"], "mpeg2video");

    EXPECT_EQ(everythingUnder(m_program.workDir()), workBefore);
    // The libraries' caches (GStreamer's plugin registry, Qt's shaders) go to the user's cache
    // folder, where the desktop expects disposable files; the program writes nothing of its own.
    QStringList elsewhere = everythingUnder(m_home.path()).filter(QRegularExpression("^(?!\\.cache(/|$))"));
    elsewhere.removeAll(QStringLiteral("Videos"));
    elsewhere.removeAll(QStringLiteral("Videos/") + QFileInfo(files.first()).fileName());
    EXPECT_TRUE(elsewhere.isEmpty()) << "written in the home folder besides the recording:\n"
                                     << qPrintable(elsewhere.join('\n'));
    if (m_ownUser) {
        // Nothing of theirs left in the shared temporary folders either. Other programs' folders
        // there may vanish during the walk, which is no finding.
        QStringList find{
            "/tmp",   "/var/tmp", "-xdev", "-ignore_readdir_race", "-user", QString::number(m_uid),
            "-newer", startMark};
        for (const QString &theirs : {m_runtime.path(), m_home.path(), m_program.workDir()})
            find << "-not"
                 << "-path" << theirs + "*";
        const Outcome left = run(QStringLiteral("find"), find);
        EXPECT_EQ(left.output.trimmed(), QString()) << qPrintable(left.output);
    }
}

} // namespace
