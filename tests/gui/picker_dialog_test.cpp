// The folder picker on its own: its layout, the tree, the greyed files and the drives.
#include "forms/FolderTree.h"
#include "forms/TSelectDirDlg.h"
#include "support/Wait.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList texts(const QListWidget *list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

class Picker : public ::testing::Test {
protected:
    QTemporaryDir temp;

    void SetUp() override {
        ASSERT_TRUE(QDir(temp.path()).mkpath(QStringLiteral("sous-dossier/plus-bas")));
        for (const char *name : {"b.mpg", "A.txt"}) {
            QFile file(QDir(temp.path()).filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
};

TEST_F(Picker, IsLaidOutAsAFolderPickerCentredOnTheScreen) {
    TSelectDirDlg picker(QDir::rootPath());
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));

    EXPECT_EQ(picker.windowTitle(), QStringLiteral("Sélection du répertoire"));
    EXPECT_EQ(picker.size(), QSize(424, 255));
    const QPoint screenCentre = picker.screen()->geometry().center();
    // The client area's centre, not the frame's: under load Qt may keep the frame margins it read
    // while the window manager's frame was still 1x1, and the title bar moves the centre by less
    // than the allowance.
    ASSERT_TRUE(waitUntil(
        [&] { return (picker.geometry().center() - screenCentre).manhattanLength() <= 30; }, 5000))
        << picker.geometry().x() << "," << picker.geometry().y() << " screen " << screenCentre.x()
        << "," << screenCentre.y();

    EXPECT_TRUE(picker.OKButton->isDefault());
    EXPECT_FALSE(picker.NetButton->isVisible());
    const QRect client = picker.rect();
    for (QWidget *child : picker.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible()) {
            EXPECT_TRUE(client.contains(child->geometry())) << child->objectName().toStdString();
        }
    }

    // Help has no file to show.
    picker.HelpButton->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(picker.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), &picker);
}

TEST_F(Picker, TheChosenFolderFillsTheNameAndItsPlainFilesAreListedGreyed) {
    TSelectDirDlg picker(temp.path());
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    EXPECT_EQ(picker.DirEdit->text(), temp.path());
    EXPECT_EQ(texts(picker.FileList), (QStringList{QStringLiteral("A.txt"), QStringLiteral("b.mpg")}));
    EXPECT_EQ(picker.FileList->palette().color(QPalette::Text),
              picker.palette().color(QPalette::Disabled, QPalette::Text));
    EXPECT_EQ(picker.FileList->selectionMode(), QAbstractItemView::NoSelection);

    // The user clicks the subfolder, which is open and in sight below the start folder.
    QTreeWidgetItem *start = picker.DirList->currentItem();
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(start->isExpanded());
    ASSERT_EQ(start->childCount(), 1);
    QTreeWidgetItem *sub = start->child(0);
    const QRect place = picker.DirList->visualItemRect(sub);
    ASSERT_TRUE(picker.DirList->viewport()->rect().contains(place));
    QTest::mouseClick(picker.DirList->viewport(), Qt::LeftButton, {}, place.center());

    EXPECT_EQ(picker.DirEdit->text(), QDir(temp.path()).filePath(QStringLiteral("sous-dossier")));
    EXPECT_TRUE(texts(picker.FileList).isEmpty());
}

TEST_F(Picker, OffersTheMountedVolumesAsDrivesAndOpensTheOneChosen) {
    TSelectDirDlg picker(temp.path());
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir())
            roots << volume.rootPath();
    }
    QStringList offered;
    for (int i = 0; i < picker.DriveList->count(); ++i)
        offered << picker.DriveList->itemData(i).toString();
    EXPECT_EQ(offered, roots);
    EXPECT_EQ(picker.DriveList->currentData().toString(), QStorageInfo(temp.path()).rootPath());

    const int root = offered.indexOf(QDir::rootPath());
    ASSERT_GE(root, 0);
    picker.DriveList->setCurrentIndex(root);
    emit picker.DriveList->activated(root);
    EXPECT_EQ(picker.DirEdit->text(), QDir::rootPath());
    EXPECT_EQ(picker.currentFolder(), QDir::rootPath());
}

TEST_F(Picker, EnterInTheNameFieldAcceptsAnExistingFolderAsTyped) {
    TSelectDirDlg picker(QDir::rootPath());
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    const QString typed = temp.path() + QStringLiteral("/sous-dossier/../sous-dossier");
    picker.DirEdit->setText(typed);
    QTest::keyClick(picker.DirEdit, Qt::Key_Return);
    EXPECT_EQ(picker.result(), QDialog::Accepted);
    EXPECT_FALSE(picker.isVisible());
    EXPECT_EQ(picker.directory(), typed);
}

} // namespace
