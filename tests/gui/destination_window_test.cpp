// The recording destination window and its "Parcourir" road through the folder picker.
#include "PickerDriver.h"
#include "forms/FolderCreation.h"
#include "forms/TSelectDirDlg.h"
#include "forms/Unit4.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DestinationWindow : public ::testing::Test {
protected:
    QTemporaryDir temp;
    TForm4 form;
    ModalDriver driver;
    QString startName;
    bool pickerStillOpenAfterOk = false;

    QString inTemp(const QString &relative) const { return QDir(temp.path()).filePath(relative); }

    // Arms the picker: note where it starts, type folder into its name field, press OK (and
    // cancel if it is still open afterwards, as a user would).
    void typeInPicker(const QString &folder) {
        driver.when<TSelectDirDlg>([this, folder](TSelectDirDlg *picker) {
            startName = picker->DirEdit->text();
            picker->DirEdit->setText(folder);
            picker->OKButton->click();
            pickerStillOpenAfterOk = picker->isVisible();
            if (pickerStillOpenAfterOk)
                picker->CancelButton->click();
        });
    }
};

TEST_F(DestinationWindow, StartsWithTheUsersVideosFolder) {
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    const QString expected = QDir(videos).exists() ? videos : QDir::homePath();
    EXPECT_EQ(form.Edit1->text(), QDir::toNativeSeparators(expected));
    EXPECT_EQ(form.destinationFolder(), form.Edit1->text());
}

TEST_F(DestinationWindow, ANewNestedFolderIsConfirmedThenCreatedAndShown) {
    form.Edit1->setText(temp.path());
    const QString nested = inTemp(QStringLiteral("enregistrements/2026/décembre"));
    QString question, title;
    typeInPicker(nested);
    driver.answerNextBox(QStringLiteral("&Oui"), &question, &title);

    form.Button1Click();

    EXPECT_EQ(startName, QStringLiteral("/")) << "the picker starts at the root whatever Edit1 holds";
    EXPECT_EQ(question, QStringLiteral("Le répertoire spécifié n'existe pas. Le créer ?"));
    EXPECT_EQ(title, QStringLiteral("Confirmation"));
    EXPECT_FALSE(pickerStillOpenAfterOk);
    EXPECT_TRUE(QFileInfo(nested).isDir());
    EXPECT_EQ(form.Edit1->text(), nested);
}

TEST_F(DestinationWindow, AnsweringNonKeepsThePickerOpenAndCancelChangesNothing) {
    const QString before = form.Edit1->text();
    typeInPicker(inTemp(QStringLiteral("jamais")));
    driver.answerNextBox(QStringLiteral("&Non"));

    form.Button1Click();

    EXPECT_TRUE(pickerStillOpenAfterOk);
    EXPECT_FALSE(QFileInfo::exists(inTemp(QStringLiteral("jamais"))));
    EXPECT_EQ(form.Edit1->text(), before);
}

TEST_F(DestinationWindow, AnExistingFolderIsTakenWithoutAQuestion) {
    bool asked = false;
    typeInPicker(temp.path());
    driver.when<QMessageBox>(
        [&](QMessageBox *box) {
            asked = true;
            box->reject();
        },
        2000);

    form.Button1Click();

    EXPECT_FALSE(asked);
    EXPECT_EQ(form.Edit1->text(), temp.path());
}

// Root may write anywhere, but nobody can make a folder under a plain file.
TEST_F(DestinationWindow, AFolderThatCannotBeCreatedRaisesTheErrorAndLeavesEdit1Alone) {
    QFile plain(inTemp(QStringLiteral("fichier")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const QString &folder :
         {inTemp(QStringLiteral("fichier/sous/dossier")), inTemp(QStringLiteral("fichier")), QString()}) {
        SCOPED_TRACE(folder.toStdString());
        form.Edit1->setText(QStringLiteral("/avant"));
        typeInPicker(folder);
        driver.answerNextBox(QStringLiteral("&Oui"));
        try {
            form.Button1Click();
            ADD_FAILURE() << "no error";
        } catch (const EFolderCreationError &e) {
            EXPECT_STREQ(e.what(), "Impossible de créer le répertoire");
        }
        EXPECT_EQ(form.Edit1->text(), QStringLiteral("/avant"));
    }
}

} // namespace
