#include "forms/FolderTree.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kListedRole = Qt::UserRole + 1;

QString pathOf(const QTreeWidgetItem *item) {
    return item->data(0, kPathRole).toString();
}

} // namespace

FolderTree::FolderTree(QWidget *parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    setIndentation(12);
    addFolder(nullptr, QDir::rootPath());
    connect(this, &QTreeWidget::itemExpanded, this, &FolderTree::listSubfolders);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *current) {
        if (current)
            emit folderChosen(pathOf(current));
    });
}

QTreeWidgetItem *FolderTree::addFolder(QTreeWidgetItem *parent, const QString &name) {
    auto *item = parent ? new QTreeWidgetItem(parent, {name}) : new QTreeWidgetItem(this, {name});
    const QString path = parent ? QDir(pathOf(parent)).filePath(name) : name;
    item->setData(0, kPathRole, path);
    // Whether a folder has subfolders is only known once it is listed.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void FolderTree::listSubfolders(QTreeWidgetItem *item) {
    if (item->data(0, kListedRole).toBool())
        return;
    item->setData(0, kListedRole, true);
    const QStringList names =
        QDir(pathOf(item)).entryList(QDir::AllDirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names)
        addFolder(item, name);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem *FolderTree::childNamed(QTreeWidgetItem *item, const QString &name) {
    listSubfolders(item);
    for (int i = 0; i < item->childCount(); ++i) {
        if (item->child(i)->text(0) == name)
            return item->child(i);
    }
    // Hidden folders are not listed, but one asked for by name is shown.
    return addFolder(item, name);
}

bool FolderTree::openFolder(const QString &folder) {
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!QFileInfo(clean).isDir())
        return false;
    QTreeWidgetItem *item = topLevelItem(0);
    for (const QString &name : clean.split('/', Qt::SkipEmptyParts)) {
        item->setExpanded(true);
        item = childNamed(item, name);
    }
    item->setExpanded(true);
    setCurrentItem(item);
    scrollToItem(item);
    return true;
}

QString FolderTree::currentFolder() const {
    return currentItem() ? pathOf(currentItem()) : QString();
}
