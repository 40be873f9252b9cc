#pragma once

#include <QTreeWidget>

// A tree of the file system's folders, listed as the user opens them. Listing is synchronous,
// so the folder asked for is in place (and can be scrolled to) as soon as openFolder returns.
class FolderTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit FolderTree(QWidget *parent = nullptr);

    // Opens the tree down to folder and makes it current; false when it is not a folder.
    bool openFolder(const QString &folder);
    QString currentFolder() const;

signals:
    void folderChosen(const QString &folder);

private:
    QTreeWidgetItem *addFolder(QTreeWidgetItem *parent, const QString &name);
    void listSubfolders(QTreeWidgetItem *item);
    QTreeWidgetItem *childNamed(QTreeWidgetItem *item, const QString &name);
};
