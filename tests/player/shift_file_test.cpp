#include "player/timeshift/ShiftFile.h"
#include "player/timeshift/ShiftStore.h"

#include "support/TsPackets.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The kept stream's file on disk: it never has a name anyone could find or leave behind.
namespace {

QStringList entriesOf(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

TEST(ShiftFile, LeavesNoEntryInItsFolderWhileItIsWrittenAndRead) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QString why;
    std::unique_ptr<ShiftFile> file = ShiftFile::open(folder.path(), &why);
    ASSERT_TRUE(file) << why.toStdString();
    EXPECT_TRUE(entriesOf(folder.path()).isEmpty());

    QByteArray data(1 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    ASSERT_TRUE(file->write(0, data.constData(), data.size()));
    ASSERT_TRUE(file->write(100, "abc", 3));
    EXPECT_EQ(file->size(), data.size());
    EXPECT_GT(file->freeBytes(), 0);
    QByteArray back(data.size(), Qt::Uninitialized);
    ASSERT_EQ(file->read(0, back.data(), back.size()), data.size());
    EXPECT_EQ(back, data.replace(100, 3, "abc"));
    ASSERT_TRUE(file->truncate(0));
    EXPECT_EQ(file->size(), 0);
    EXPECT_TRUE(entriesOf(folder.path()).isEmpty());
}

TEST(ShiftFile, AStoreOpensOneInTheFolderItIsGivenOrSaysWhyNot) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QString why;
    std::unique_ptr<ShiftStore> store = ShiftStore::open(folder.path(), {}, &why);
    if (!store) {
        // A disk already short of free space here: what the user is told then.
        EXPECT_EQ(why, QStringLiteral("espace disque insuffisant"));
        GTEST_SKIP() << "less than the free space kept for others";
    }
    QByteArray packets = tspackets::pat() + tspackets::pmt(tspackets::kH264Video, tspackets::kMpegAudio) +
                         tspackets::picture(tspackets::kH264Video, true);
    store->append(packets, 1);
    EXPECT_TRUE(store->hasStartPoint());
    EXPECT_TRUE(entriesOf(folder.path()).isEmpty());

    EXPECT_FALSE(ShiftStore::open(folder.path(), {3600'000'000'000, 4LL << 30, qint64(1) << 62}, &why));
    EXPECT_EQ(why, QStringLiteral("espace disque insuffisant"));
    // A folder that cannot be: below a file.
    QFile file(folder.filePath("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_FALSE(ShiftStore::open(folder.filePath("file/under"), {}, &why));
    EXPECT_FALSE(why.isEmpty());
}

} // namespace
