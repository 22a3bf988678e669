#pragma once

#include <QModelIndex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class FolderTree;
class PhotoGrid;
class QLabel;
class QProgressBar;
class QStatusBar;
class QWidget;
class TOrderBrowser;

// What the folder page needs of the main window.
struct FolderPageHost
{
    std::function<void()> ShowWaitPanel;
    std::function<void()> HideWaitPanel;
    // Makes the cart page, the one after the folder page, the active page.
    std::function<void()> ShowCartPage;
    std::function<TOrderBrowser *()> OrderBrowser;
    QProgressBar *ggProgress = nullptr;
    // Photos dropped here from a file manager go on the list too.
    QWidget *CartPage = nullptr;
};

// The folder page: the folder tree (tvFolder) in TreePanel, the photo grid (ivList) with its
// status bar (sbList) in GridPanel, and the commands that put the selected photos on the order
// waiting list.
class TFolderPage : public QObject
{
    Q_OBJECT

public:
    TFolderPage(
        QWidget *TreePanel, QWidget *GridPanel, FolderPageHost Host, QObject *Parent = nullptr);

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
    // Orders for the selected photos not yet listed, in selection order; then no selection.
    void AddSelectedPhotos();
    bool IsInOrderList(const QString &Path) const;
    // Dropped photo files: on the list by the same road as the selected ones.
    void AddPhotoFiles(const QStringList &Paths);

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    // Appends an order per path not yet listed; the gauge counts the paths. Returns how many.
    int addOrders(const QStringList &Paths);
    void finishAdding();
    void writeStatus(int Selected);

    FolderPageHost m_host;
    FolderTree *m_tree;
    PhotoGrid *m_grid;
    QStatusBar *m_status;
    QLabel *m_statusPanel;
    QStringList m_unlistable; // photos of the shown folder whose names cannot be read
};
