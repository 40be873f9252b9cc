#include "playlist/Playlist.h"
#include "playlist/PlaylistErrors.h"
#include "playlist/PlaylistFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class PlaylistFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString write(const QByteArray &text) {
        const QString path = m_dir.filePath("playlist.m3u");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }

    QTemporaryDir m_dir;
};

// Runs the body with the working folder moved to the test's own folder.
class WorkingFolder {
public:
    explicit WorkingFolder(const QString &path) : m_previous(QDir::currentPath()) { QDir::setCurrent(path); }
    ~WorkingFolder() { QDir::setCurrent(m_previous); }

private:
    QString m_previous;
};

// Another program holding the file open for writing, as an editor or a download still writing
// the playlist would; it lets go when its input closes.
class WritingChild {
public:
    explicit WritingChild(const QString &path) {
        m_shell.start(QStringLiteral("sh"),
                      {QStringLiteral("-c"), QStringLiteral("exec 3>>\"$0\"; echo held; read x"), path});
        m_holding = m_shell.waitForReadyRead(10000) && m_shell.readAll().startsWith("held");
    }
    ~WritingChild() { stop(); }

    bool holding() const { return m_holding; }
    void stop() {
        m_shell.closeWriteChannel();
        m_shell.waitForFinished(10000);
    }

private:
    QProcess m_shell;
    bool m_holding = false;
};

TEST_F(PlaylistFileTest, ReadsTheWholeFileAsBytes) {
    QByteArray text = "#EXTM3U\r\n#EXTINF:-1,\xe9t\xe9\r\nrtsp://h/1\r\n";
    text.append(QByteArray(100000, 'x'));
    EXPECT_EQ(PlaylistFile::readAll(write(text)), text);
}

TEST_F(PlaylistFileTest, LoadsFromTheWorkingFolderByRelativeName) {
    write("#EXTINF:-1,2 - A\nrtsp://h/2\n");
    WorkingFolder here(m_dir.path());
    Playlist playlist;
    playlist.loadFromWorkingFolder();
    ASSERT_EQ(playlist.rowCount(), 1);
    EXPECT_EQ(playlist.addressOfRow(0), "rtsp://h/2");
}

TEST_F(PlaylistFileTest, MissingFileNamesItAsOpenedAndLeavesTheListEmpty) {
    WorkingFolder here(m_dir.path());
    Playlist playlist = Playlist(PlaylistLines("#EXTINF:-1,old\nx\n"));
    try {
        playlist.loadFromWorkingFolder();
        FAIL() << "no error";
    } catch (const EFOpenError &e) {
        EXPECT_STREQ(e.what(), "Impossible d'ouvrir le fichier playlist.m3u");
    }
    EXPECT_EQ(playlist.rowCount(), 0);
    EXPECT_TRUE(playlist.lines().isEmpty());
}

TEST_F(PlaylistFileTest, FolderAndUnreadableFilesAreRefused) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.m3u"));
    EXPECT_THROW(PlaylistFile::readAll(m_dir.filePath("folder.m3u")), EFOpenError);
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_dir.filePath("fifo.m3u")).constData(), 0600), 0);
    EXPECT_THROW(PlaylistFile::readAll(m_dir.filePath("fifo.m3u")), EFOpenError);
}

TEST_F(PlaylistFileTest, RefusedWhileAnotherProcessWritesItThenReadable) {
    const QString path = write("#EXTINF:-1,A\nu\n");
    WritingChild writer(path);
    ASSERT_TRUE(writer.holding());
    try {
        PlaylistFile::readAll(path);
        FAIL() << "read while another process holds the file for writing";
    } catch (const EFOpenError &e) {
        EXPECT_EQ(e.fileName(), path);
    }
    writer.stop();
    EXPECT_EQ(PlaylistFile::readAll(path), "#EXTINF:-1,A\nu\n");
}

// Opening the file for writing breaks the reader's lease: the kernel's signal must not end the reader.
TEST_F(PlaylistFileTest, AnotherProcessOpeningTheFileDuringReadsDoesNotKillTheReader) {
    const QString path = write(QByteArray(4'000'000, 'x'));
    QProcess opener;
    // It stops by itself should this test's process die.
    opener.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"), QStringLiteral("while kill -0 $1; do : >>\"$0\"; done"), path,
                  QString::number(QCoreApplication::applicationPid())});
    ASSERT_TRUE(opener.waitForStarted(10000));
    int read = 0;
    int refused = 0;
    // At least 300 reads, and on until one got through: on a loaded machine the opener may hold
    // the file at every one of the first few hundred.
    QElapsedTimer elapsed;
    elapsed.start();
    while (read + refused < 300 || (read == 0 && elapsed.elapsed() < 20000)) {
        try {
            read += PlaylistFile::readAll(path).size() == 4'000'000;
        } catch (const EFOpenError &) {
            ++refused; // the opener held it at that moment
        }
    }
    opener.kill();
    opener.waitForFinished(10000);
    EXPECT_GT(read, 0);
}

} // namespace
