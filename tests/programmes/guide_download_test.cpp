// A guide fetched over http is kept, while it downloads, in a file that has no name.
#include "programmes/ProgrammeGuide.h"
#include "support/Wait.h"

#include <QDateTime>
#include <QDir>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct OpenFile {
    QString path;
    qint64 size = 0;
};

// The files of this process's descriptors that lie in folder.
QList<OpenFile> openFilesIn(const QString &folder) {
    QList<OpenFile> found;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::Files | QDir::System)) {
        char target[4096];
        const ssize_t n =
            ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target - 1);
        if (n <= 0)
            continue;
        const QString path = QFile::decodeName(QByteArray(target, n));
        struct stat status {};
        if (path.startsWith(folder + QLatin1Char('/')) &&
            ::stat(QFile::encodeName(fds.filePath(fd)).constData(), &status) == 0)
            found.append({path, qint64(status.st_size)});
    }
    return found;
}

class CacheFolder {
public:
    CacheFolder() : m_before(qgetenv("XDG_CACHE_HOME")) {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.path()));
    }
    ~CacheFolder() { qputenv("XDG_CACHE_HOME", m_before); }
    QString path() const { return m_dir.path(); }
    QStringList entries() const {
        return QDir(m_dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_before;
};

TEST(GuideDownload, KeepsTheDownloadInAFileWithNoNameThatGoesWithIt) {
    CacheFolder cache;
    ASSERT_TRUE(cache.entries().isEmpty());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QByteArray programme = "<programme start=\"" +
                                 now.addSecs(-60).toString("yyyyMMddHHmmss").toLatin1() + "\" stop=\"" +
                                 now.addSecs(1800).toString("yyyyMMddHHmmss").toLatin1() +
                                 "\" channel=\"une.fr\"><title>Journal</title>"
                                 "<desc>Un texte que le guide ne garde pas.</desc></programme>\n";
    QByteArray body = "<tv>\n";
    while (body.size() < 2 * 1024 * 1024)
        body += programme;
    body += "</tv>\n";
    const qsizetype half = body.size() / 2;

    // Half the guide at once, the rest when the test says.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QTcpSocket *client = nullptr;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        client = server.nextPendingConnection();
        QObject::connect(client, &QTcpSocket::readyRead, [&] {
            if (!client->readAll().contains("\r\n\r\n"))
                return;
            client->write("HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                          body.left(half));
        });
    });

    ProgrammeGuide guide;
    QSignalSpy changed(&guide, &ProgrammeGuide::changed);
    QSignalSpy failed(&guide, &ProgrammeGuide::failed);
    guide.start(QStringLiteral("http://127.0.0.1:%1/guide.xml").arg(server.serverPort()));
    guide.refresh();
    // The part received is in a file of the cache folder, already removed from it.
    const auto halfKept = [&] {
        const QList<OpenFile> open = openFilesIn(cache.path());
        return std::any_of(open.begin(), open.end(), [&](const OpenFile &f) { return f.size >= half; });
    };
    ASSERT_TRUE(waitUntil(halfKept, 20000)) << "the part received was not kept";
    for (const OpenFile &file : openFilesIn(cache.path()))
        EXPECT_TRUE(file.path.endsWith(QLatin1String(" (deleted)"))) << qPrintable(file.path);
    EXPECT_EQ(cache.entries(), QStringList());

    client->write(body.mid(half));
    client->disconnectFromHost();
    ASSERT_TRUE(waitUntil([&] { return !changed.isEmpty() || !failed.isEmpty(); }, 30000));
    ASSERT_TRUE(failed.isEmpty()) << qPrintable(failed.first().first().toString());
    EXPECT_FALSE(guide.programmes("une.fr").isEmpty());
    EXPECT_TRUE(waitUntil([&] { return openFilesIn(cache.path()).isEmpty(); }, 10000))
        << "the file stayed open";
    EXPECT_EQ(cache.entries(), QStringList());
}

} // namespace
