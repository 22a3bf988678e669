#pragma once

#include "folder/PhotoSelection.h"

#include <QListView>
#include <QStringList>
#include <QTimer>

class PhotoGridDelegate;
class PhotoGridModel;
class PhotoThumbnailLoader;

// ivList, the photo grid of the folder page: one 130 x 130 thumbnail per photo with its file
// name under it, as many columns as fit, vertical scrolling only. Thumbnails are made in the
// background, those on screen first, then up to ReadAhead photos past the last visible one.
//
// The grid keeps its own selection in selection order. A plain (or Ctrl) click toggles a photo
// and makes it the anchor; Shift+click selects the run from the anchor; a click on empty space
// changes nothing. Keys: the arrows, Page Up/Down, Home and End move the current photo, with
// Shift they select the run from the anchor; Space toggles the current photo; Ctrl+A selects
// all. For every photo whose selection the user changes here the grid raises ImageSelect or
// ImageDeselect, once the change is complete. Changes made through the methods raise nothing.
// The view's selection model mirrors the grid's selection, so a screen reader reads each
// photo's selected state and hears every change.
class PhotoGrid : public QListView
{
    Q_OBJECT

public:
    static constexpr int ReadAhead = 500;

    explicit PhotoGrid(QWidget *Parent = nullptr);
    ~PhotoGrid() override;

    // Removes every photo and empties the selection; pending thumbnails are dropped.
    void Clear();
    // Replaces the photos with these (full paths), nothing selected.
    void SetPhotos(QStringList Paths);

    int ImageCount() const;
    QString ImageFileName(int Position) const;
    int SelectedImagesCount() const { return m_selection.Count(); }
    // The grid position of the k-th selected photo (0-based), in selection order.
    int SelectedImage(int K) const { return m_selection.At(K); }
    bool IsSelected(int Position) const { return m_selection.IsSelected(Position); }

    void SelectAll();
    void DeselectAll();

    // Thumbnails: what is held now, and whether background work is still going on.
    bool HasThumbnail(int Position) const;
    int ThumbnailCount() const;
    qint64 ThumbnailBytes() const;
    bool ThumbnailsPending() const;
    void SetThumbnailCacheBytes(qint64 Bytes);
    // The positions on screen, first and last; -1, -1 for an empty grid.
    QPair<int, int> VisibleRange();

    // The rectangle of a photo in viewport coordinates (tests click there).
    QRect ImageRect(int Position) const;

signals:
    void ImageSelect(int Position);
    void ImageDeselect(int Position);
    // Thumbnails made of those wanted now (on screen and ahead), in percent.
    void Progress(int Percentage);
    // Offered photo files dropped on the grid from a file manager, in their order.
    void FilesDropped(const QStringList &Paths);

protected:
    void mousePressEvent(QMouseEvent *Event) override;
    void mouseDoubleClickEvent(QMouseEvent *Event) override;
    void mouseMoveEvent(QMouseEvent *Event) override;
    void mouseReleaseEvent(QMouseEvent *Event) override;
    void keyPressEvent(QKeyEvent *Event) override;
    void dragEnterEvent(QDragEnterEvent *Event) override;
    void dragMoveEvent(QDragMoveEvent *Event) override;
    void dropEvent(QDropEvent *Event) override;
    void resizeEvent(QResizeEvent *Event) override;
    void scrollContentsBy(int Dx, int Dy) override;
    void changeEvent(QEvent *Event) override;
    QRegion visualRegionForSelection(const QItemSelection &Selection) const override;

private:
    void applyChange(const PhotoSelection::Change &Change, bool RaiseEvents);
    void mirrorSelection(const PhotoSelection::Change &Change);
    void repaintPosition(int Position);
    void scheduleThumbnails();
    void requestThumbnails();
    void thumbnailLoaded(quint64 Generation, int Position, const QImage &Picture);
    void updateItemSize();
    void reportProgress();

    PhotoGridModel *m_model;
    PhotoGridDelegate *m_delegate;
    PhotoThumbnailLoader *m_loader;
    PhotoSelection m_selection;
    QTimer m_requestTimer;
    quint64 m_generation = 1;
    // The wanted stretch of positions for the progress report.
    int m_wantedFirst = 0;
    int m_wantedLast = -1;
    int m_wantedMissing = 0;
    int m_lastProgress = -1;
};
