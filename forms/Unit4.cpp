#include "forms/Unit4.h"

#include "forms/FolderCreation.h"
#include "forms/TSelectDirDlg.h"
#include "forms/WindowFont.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

namespace {

// Recordings go to the user's videos folder unless one is chosen; the home folder stands in
// where the desktop has none.
QString defaultDestination() {
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return folderExists(videos) ? QDir::toNativeSeparators(videos)
                                : QDir::toNativeSeparators(QDir::homePath());
}

} // namespace

TForm4::TForm4(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Déstination"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(windowFont());
    setFixedSize(372, 98);
    move(434, 521);

    Label1 = new QLabel(QStringLiteral("Selectionner un repertoire d'enregistrement"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 16);
    Label1->adjustSize();

    Button1 = new QPushButton(QStringLiteral("Parcourir"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(280, 32, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);

    Edit1 = new QLineEdit(defaultDestination(), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(16, 32, 257, 21);

    // "Valider" has no action: the folder in Edit1 is already the one recordings use.
    Button2 = new QPushButton(QStringLiteral("Valider"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(144, 64, 89, 25);

    setTabOrder(Button1, Edit1);
    setTabOrder(Edit1, Button2);
}

TForm4::~TForm4() = default;

QString TForm4::destinationFolder() const {
    return Edit1->text();
}

void TForm4::Button1Click() {
    TSelectDirDlg picker(QDir::rootPath(), this);
    if (picker.exec() != QDialog::Accepted)
        return;
    const QString folder = picker.directory();
    if (!folderExists(folder))
        createFolderWithParents(folder);
    Edit1->setText(folder);
}
