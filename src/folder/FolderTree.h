#pragma once

#include <QTreeView>

class QFileSystemModel;

// tvFolder, the folder tree of the folder page: folders only, with the system's icons, names
// not editable, rooted at the file-system root. The user's home is expanded at start but not
// selected; a folder that gets selected is expanded. FolderChange comes whenever the selected
// folder changes (with an invalid node when the selection goes away).
class FolderTree : public QTreeView
{
    Q_OBJECT

public:
    explicit FolderTree(QWidget *Parent = nullptr);

    // The file-system path of a node; empty for an invalid one.
    QString FolderPath(const QModelIndex &Node) const;
    // Selects the folder (its node is made when needed) and so raises FolderChange.
    bool SelectFolder(const QString &Path);
    QModelIndex NodeOf(const QString &Path) const;
    QFileSystemModel *FileSystem() const { return m_model; }

    // Also sideways, so that a deep folder's name, not only its column, comes into view.
    void scrollTo(const QModelIndex &Index, ScrollHint Hint = EnsureVisible) override;

signals:
    void FolderChange(const QModelIndex &Node);

private:
    QFileSystemModel *m_model;
};
