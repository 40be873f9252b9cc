#include "playlist/Playlist.h"
#include "playlist/PlaylistErrors.h"
#include "playlist/PlaylistFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A child process that holds the file open for writing until released, as an editor or a
// download still writing the playlist would.
class WritingChild {
public:
    explicit WritingChild(const QString &path) {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            return;
        const QByteArray name = QFile::encodeName(path);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(name.constData(), O_WRONLY);
            const char ok = fd >= 0 ? 'y' : 'n';
            (void)!::write(ready[1], &ok, 1);
            char c;
            (void)!::read(release[0], &c, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        pollfd p{ready[0], POLLIN, 0};
        char ok = 'n';
        if (::poll(&p, 1, 10000) == 1 && ::read(ready[0], &ok, 1) == 1)
            m_holding = ok == 'y';
        ::close(ready[0]);
    }
    ~WritingChild() { stop(); }

    bool holding() const { return m_holding; }

    void stop() {
        if (m_pid <= 0)
            return;
        ::close(m_release);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_release = -1;
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

TEST_F(PlaylistFileTest, WriterCanOpenOnceTheReadIsDone) {
    // The lease is dropped after reading: a writer opening afterwards is not kept waiting.
    const QString path = write("a\n");
    PlaylistFile::readAll(path);
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
    EXPECT_GE(fd, 0) << "errno " << errno;
    if (fd >= 0)
        ::close(fd);
}

} // namespace
