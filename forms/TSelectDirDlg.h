#pragma once

#include <QDialog>

class FolderTree;

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The folder picker: a folder tree with the chosen folder's files greyed beside it, the mounted
// volumes as drives, and a name field the user may also type a folder that does not exist into.
// Such a folder is confirmed here; creating it is the caller's business once the picker closes.
class TSelectDirDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSelectDirDlg(const QString &startFolder, QWidget *parent = nullptr);

    // The name field's text as the user left it.
    QString directory() const;
    // The folder the tree shows as current.
    QString currentFolder() const { return m_currentFolder; }

    QLabel *DirNameLabel;
    QLineEdit *DirEdit;
    QLabel *DirListLabel;
    FolderTree *DirList;
    QLabel *FileListLabel;
    QListWidget *FileList;
    QLabel *DriveListLabel;
    QComboBox *DriveList;
    QPushButton *OKButton;
    QPushButton *CancelButton;
    QPushButton *HelpButton;
    QPushButton *NetButton;

    void OKButtonClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createComponents();
    void fillDriveList();
    void folderChosenInTree(const QString &folder);
    void driveChosen(int index);
    void fillFileList();
    void selectDriveOf(const QString &folder);
    bool confirmCreation();
    void centreOnScreen();

    QString m_currentFolder;
};
