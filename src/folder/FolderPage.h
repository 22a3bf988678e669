#pragma once

#include <QModelIndex>
#include <QObject>
#include <QString>
#include <QStringList>

class FolderTree;
class PhotoGrid;
class QLabel;
class QStatusBar;
class QWidget;

// The folder page: the folder tree (tvFolder) in TreePanel, the photo grid (ivList) with its
// status bar (sbList) in GridPanel, and the commands that choose photos for the order waiting
// list. The page does not know the list: it names the chosen photos (PhotosChosen) and the
// main window puts them on it.
class TFolderPage : public QObject
{
    Q_OBJECT

public:
    // Photos dropped on DropTarget (the cart page) from a file manager are chosen too.
    TFolderPage(QWidget *TreePanel, QWidget *GridPanel, QWidget *DropTarget = nullptr,
        QObject *Parent = nullptr);

    FolderTree *tvFolder() const { return m_tree; }
    PhotoGrid *ivList() const { return m_grid; }
    QStatusBar *sbList() const { return m_status; }
    QString StatusText() const;

    // Fills the grid with the offered photos of the folder of Node; an invalid node changes
    // nothing.
    void tvFolderChange(const QModelIndex &Node);
    // The same for a folder given by its path.
    void ShowFolder(const QString &Path);
    void ivListImageSelect(int Position);
    void ivListImageDeselect(int Position);
    void ivListProgress(int Percentage);

    void btnSelectAllClick();
    void btnDeselecteAllClick();
    void btnAddToListClick();
    // Chooses the selected photos, in selection order; then no selection.
    void AddSelectedPhotos();
    // Dropped photo files: chosen by the same road as the selected ones.
    void AddPhotoFiles(const QStringList &Paths);

signals:
    // Photos for the waiting list, in order (the list takes each photo once).
    void PhotosChosen(const QStringList &Paths);
    // The grid's loading, in percent.
    void ProgressChanged(int Percentage);

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    void writeStatus(int Selected);

    QWidget *m_dropTarget;
    FolderTree *m_tree;
    PhotoGrid *m_grid;
    QStatusBar *m_status;
    QLabel *m_statusPanel;
    QStringList m_unlistable; // photos of the shown folder whose names cannot be read
};
