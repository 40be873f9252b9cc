#include "forms/TSelectDirDlg.h"

#include "forms/FolderCreation.h"
#include "forms/FolderTree.h"
#include "forms/WindowFont.h"

#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>

namespace {

// Places within the 424 x 255 client area: the name field and the tree on the left, the file
// list over the drives in the middle, the buttons down the right.
constexpr QSize kClientSize(424, 255);

QLabel *makeLabel(const QString &text, QWidget *buddy, const QRect &place, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    label->move(place.topLeft());
    label->adjustSize();
    return label;
}

QPushButton *makeButton(const QString &objectName, const QString &text, const QRect &place, QWidget *parent) {
    auto *button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setGeometry(place);
    return button;
}

// The volume holding a folder is the one with the longest root that contains it.
QString volumeRootOf(const QString &folder, const QStringList &roots) {
    const QString clean = QDir::cleanPath(folder);
    QString best;
    for (const QString &root : roots) {
        const QString r = QDir::cleanPath(root);
        const bool contains = clean == r || clean.startsWith(r.endsWith('/') ? r : r + '/');
        if (contains && r.size() > best.size())
            best = r;
    }
    return best;
}

} // namespace

TSelectDirDlg::TSelectDirDlg(const QString &startFolder, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("SelectDirDlg"));
    setWindowTitle(QStringLiteral("Sélection du répertoire"));
    setModal(true);
    setFont(windowFont());
    setFixedSize(kClientSize);
    createComponents();
    fillDriveList();
    if (!DirList->openFolder(startFolder))
        DirList->openFolder(QDir::rootPath());
}

void TSelectDirDlg::createComponents() {
    DirEdit = new QLineEdit(this);
    DirEdit->setObjectName(QStringLiteral("DirEdit"));
    DirEdit->setGeometry(8, 24, 320, 21);

    DirList = new FolderTree(this);
    DirList->setObjectName(QStringLiteral("DirList"));
    DirList->setGeometry(8, 72, 200, 175);
    connect(DirList, &FolderTree::folderChosen, this, &TSelectDirDlg::folderChosenInTree);

    FileList = new QListWidget(this);
    FileList->setObjectName(QStringLiteral("FileList"));
    FileList->setGeometry(216, 72, 112, 123);
    FileList->setSelectionMode(QAbstractItemView::NoSelection);
    QPalette greyed = FileList->palette();
    greyed.setColor(QPalette::Text, greyed.color(QPalette::Disabled, QPalette::Text));
    FileList->setPalette(greyed);

    DriveList = new QComboBox(this);
    DriveList->setObjectName(QStringLiteral("DriveList"));
    DriveList->setGeometry(216, 224, 112, 23);
    connect(DriveList, &QComboBox::activated, this, &TSelectDirDlg::driveChosen);

    DirNameLabel = makeLabel(QStringLiteral("&Nom de répertoire :"), DirEdit, {8, 8, 0, 0}, this);
    DirListLabel = makeLabel(QStringLiteral("&Répertoires :"), DirList, {8, 56, 0, 0}, this);
    FileListLabel = makeLabel(QStringLiteral("&Fichiers : (*.*)"), FileList, {216, 56, 0, 0}, this);
    DriveListLabel = makeLabel(QStringLiteral("&Lecteurs :"), DriveList, {216, 206, 0, 0}, this);

    OKButton = makeButton(QStringLiteral("OKButton"), QStringLiteral("OK"), {336, 24, 80, 25}, this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TSelectDirDlg::OKButtonClick);
    CancelButton =
        makeButton(QStringLiteral("CancelButton"), QStringLiteral("Annuler"), {336, 56, 80, 25}, this);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // The program names no help file, so asking for help shows nothing.
    HelpButton = makeButton(QStringLiteral("HelpButton"), QStringLiteral("&Aide"), {336, 88, 80, 25}, this);
    // There is no network-connection dialog to open on this platform.
    NetButton =
        makeButton(QStringLiteral("NetButton"), QStringLiteral("Ré&seau..."), {336, 222, 80, 25}, this);
    NetButton->hide();

    setTabOrder(DirEdit, DirList);
    setTabOrder(DirList, FileList);
    setTabOrder(FileList, DriveList);
    setTabOrder(DriveList, OKButton);
    setTabOrder(OKButton, CancelButton);
    setTabOrder(CancelButton, HelpButton);
}

void TSelectDirDlg::fillDriveList() {
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || !folderExists(volume.rootPath()))
            continue;
        const QString root = volume.rootPath();
        const QString name = volume.displayName();
        DriveList->addItem(name == root ? root : QStringLiteral("%1 [%2]").arg(root, name), root);
    }
}

QString TSelectDirDlg::directory() const {
    return DirEdit->text();
}

void TSelectDirDlg::folderChosenInTree(const QString &folder) {
    m_currentFolder = folder;
    DirEdit->setText(QDir::toNativeSeparators(folder));
    fillFileList();
    selectDriveOf(folder);
}

void TSelectDirDlg::driveChosen(int index) {
    DirList->openFolder(DriveList->itemData(index).toString());
}

void TSelectDirDlg::fillFileList() {
    FileList->clear();
    const QDir folder(m_currentFolder);
    FileList->addItems(folder.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void TSelectDirDlg::selectDriveOf(const QString &folder) {
    QStringList roots;
    for (int i = 0; i < DriveList->count(); ++i)
        roots << DriveList->itemData(i).toString();
    const int row = roots.indexOf(volumeRootOf(folder, roots));
    if (row >= 0)
        DriveList->setCurrentIndex(row);
}

void TSelectDirDlg::OKButtonClick() {
    if (!folderExists(directory()) && !confirmCreation())
        return;
    accept();
}

bool TSelectDirDlg::confirmCreation() {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmation"),
                    QStringLiteral("Le répertoire spécifié n'existe pas. Le créer ?"), QMessageBox::NoButton,
                    this);
    QPushButton *yes = box.addButton(QStringLiteral("&Oui"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&Non"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void TSelectDirDlg::showEvent(QShowEvent *event) {
    centreOnScreen();
    QDialog::showEvent(event);
    // The tree knows how tall it is only once shown.
    DirList->scrollToItem(DirList->currentItem(), QAbstractItemView::PositionAtCenter);
}

void TSelectDirDlg::centreOnScreen() {
    QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize outer = frameGeometry().size().expandedTo(size());
    move(screen->geometry().center() - QPoint(outer.width() / 2, outer.height() / 2));
}
