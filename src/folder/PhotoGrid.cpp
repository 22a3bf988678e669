#include "folder/PhotoGrid.h"

#include "folder/PhotoGridDelegate.h"
#include "folder/PhotoGridModel.h"
#include "folder/PhotoListing.h"
#include "folder/PhotoThumbnails.h"

#include <QAccessible>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

QStringList DroppedPhotos(const QMimeData *Data)
{
    if (!Data || !Data->hasUrls())
        return {};
    QStringList paths;
    for (const QUrl &url : Data->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    return OfferedPhotoFiles(paths);
}

} // namespace

PhotoGrid::PhotoGrid(QWidget *Parent)
    : QListView(Parent)
    , m_model(new PhotoGridModel(this))
    , m_loader(new PhotoThumbnailLoader(
          {PhotoGridDelegate::ThumbSize, PhotoGridDelegate::ThumbSize}, this))
{
    setObjectName(QStringLiteral("ivList"));
    setAccessibleName(QStringLiteral("사진 목록"));
    m_selection.Reset(0);
    m_delegate = new PhotoGridDelegate(m_model, &m_selection, this);

    setModel(m_model);
    setItemDelegate(m_delegate);
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setLayoutMode(QListView::SinglePass);
    // Two selection margins meet between photos: their frames end up Gap apart.
    setSpacing(PhotoGridDelegate::Gap - 2 * PhotoGridDelegate::SelectionWidth);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    // White and flat, whatever the skin gives other lists.
    setStyleSheet(QStringLiteral("QListView#ivList { background: #ffffff; border: 1px solid #ffffff; }"
                                 "QListView#ivList:focus { border-color: #15428b; }"));
    updateItemSize();

    m_requestTimer.setSingleShot(true);
    m_requestTimer.setInterval(0);
    connect(&m_requestTimer, &QTimer::timeout, this, &PhotoGrid::requestThumbnails);
    connect(m_loader, &PhotoThumbnailLoader::Loaded, this, &PhotoGrid::thumbnailLoaded,
        Qt::QueuedConnection);
}

PhotoGrid::~PhotoGrid() = default;

void PhotoGrid::updateItemSize()
{
    const QSize item = PhotoGridDelegate::ItemSize(fontMetrics());
    verticalScrollBar()->setSingleStep(item.height() / 4);
    // Uniform sizes: the view asks the delegate once; a new font needs a new layout.
    scheduleDelayedItemsLayout();
}

void PhotoGrid::changeEvent(QEvent *Event)
{
    QListView::changeEvent(Event);
    if (Event->type() == QEvent::FontChange)
        updateItemSize();
}

void PhotoGrid::Clear()
{
    SetPhotos({});
}

void PhotoGrid::SetPhotos(QStringList Paths)
{
    ++m_generation;
    m_loader->Cancel(m_generation);
    m_model->SetPhotos(std::move(Paths));
    m_selection.Reset(m_model->Count());
    m_wantedFirst = 0;
    m_wantedLast = -1;
    m_lastProgress = -1;
    verticalScrollBar()->setValue(0);
    scheduleThumbnails();
}

int PhotoGrid::ImageCount() const
{
    return m_model->Count();
}

QString PhotoGrid::ImageFileName(int Position) const
{
    return m_model->FileName(Position);
}

void PhotoGrid::SelectAll()
{
    applyChange(m_selection.SelectAll(), false);
}

void PhotoGrid::DeselectAll()
{
    applyChange(m_selection.Clear(), false);
}

bool PhotoGrid::HasThumbnail(int Position) const
{
    return m_model->HasThumbnail(Position);
}

int PhotoGrid::ThumbnailCount() const
{
    return m_model->CachedCount();
}

qint64 PhotoGrid::ThumbnailBytes() const
{
    return m_model->CacheBytes();
}

bool PhotoGrid::ThumbnailsPending() const
{
    // Every wanted photo comes back, also one that cannot be decoded.
    return m_requestTimer.isActive() || m_wantedMissing > 0 || m_loader->Busy();
}

void PhotoGrid::SetThumbnailCacheBytes(qint64 Bytes)
{
    m_model->SetCacheBytes(Bytes);
}

QRect PhotoGrid::ImageRect(int Position) const
{
    return visualRect(m_model->index(Position));
}

void PhotoGrid::repaintPosition(int Position)
{
    viewport()->update(visualRect(m_model->index(Position)));
}

QRegion PhotoGrid::visualRegionForSelection(const QItemSelection &) const
{
    // applyChange repaints what changed; the view's own region would cost a rectangle per
    // photo when all of a large folder is selected.
    return {};
}

void PhotoGrid::applyChange(const PhotoSelection::Change &Change, bool RaiseEvents)
{
    mirrorSelection(Change);
    const qsizetype changed = Change.Selected.size() + Change.Deselected.size();
    if (changed > 64) {
        viewport()->update();
    } else {
        for (int p : Change.Deselected)
            repaintPosition(p);
        for (int p : Change.Selected)
            repaintPosition(p);
    }
    if (!RaiseEvents)
        return;
    for (int p : Change.Deselected)
        emit ImageDeselect(p);
    for (int p : Change.Selected)
        emit ImageSelect(p);
}

void PhotoGrid::mousePressEvent(QMouseEvent *Event)
{
    if (Event->button() != Qt::LeftButton) {
        Event->accept();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(Event->position().toPoint());
    if (!index.isValid()) {
        Event->accept(); // empty space: the selection stays as it is
        return;
    }
    setCurrentIndex(index);
    if (Event->modifiers() & Qt::ShiftModifier)
        applyChange(m_selection.SelectRun(index.row()), true);
    else
        applyChange(m_selection.Toggle(index.row()), true);
    Event->accept();
}

void PhotoGrid::mouseDoubleClickEvent(QMouseEvent *Event)
{
    // Every click toggles, the second of a double click too.
    mousePressEvent(Event);
}

void PhotoGrid::mouseMoveEvent(QMouseEvent *Event)
{
    Event->accept(); // no rubber band, no dragging out of the grid
}

void PhotoGrid::mouseReleaseEvent(QMouseEvent *Event)
{
    Event->accept();
}

void PhotoGrid::keyPressEvent(QKeyEvent *Event)
{
    if (Event->matches(QKeySequence::SelectAll)) {
        applyChange(m_selection.SelectAll(), true);
        return;
    }
    const QModelIndex current = currentIndex();
    if (Event->key() == Qt::Key_Space && Event->modifiers() == Qt::NoModifier) {
        if (current.isValid())
            applyChange(m_selection.Toggle(current.row()), true);
        return;
    }

    CursorAction action;
    switch (Event->key()) {
    case Qt::Key_Left:
        action = MoveLeft;
        break;
    case Qt::Key_Right:
        action = MoveRight;
        break;
    case Qt::Key_Up:
        action = MoveUp;
        break;
    case Qt::Key_Down:
        action = MoveDown;
        break;
    case Qt::Key_PageUp:
        action = MovePageUp;
        break;
    case Qt::Key_PageDown:
        action = MovePageDown;
        break;
    case Qt::Key_Home:
        action = MoveHome;
        break;
    case Qt::Key_End:
        action = MoveEnd;
        break;
    default:
        QListView::keyPressEvent(Event);
        return;
    }
    Event->accept();
    if (m_model->Count() == 0)
        return;
    QModelIndex next
        = current.isValid() ? moveCursor(action, Event->modifiers()) : m_model->index(0);
    if (!next.isValid())
        return;
    if ((Event->modifiers() & Qt::ShiftModifier) && m_selection.Anchor() < 0)
        m_selection.SetAnchor(current.isValid() ? current.row() : 0);
    setCurrentIndex(next);
    scrollTo(next);
    if (Event->modifiers() & Qt::ShiftModifier)
        applyChange(m_selection.SelectRun(next.row()), true);
}

void PhotoGrid::dragEnterEvent(QDragEnterEvent *Event)
{
    if (DroppedPhotos(Event->mimeData()).isEmpty()) {
        Event->ignore();
        return;
    }
    Event->acceptProposedAction();
}

void PhotoGrid::dragMoveEvent(QDragMoveEvent *Event)
{
    Event->acceptProposedAction();
}

void PhotoGrid::dropEvent(QDropEvent *Event)
{
    const QStringList photos = DroppedPhotos(Event->mimeData());
    if (photos.isEmpty()) {
        Event->ignore();
        return;
    }
    Event->acceptProposedAction();
    emit FilesDropped(photos);
}

void PhotoGrid::resizeEvent(QResizeEvent *Event)
{
    QListView::resizeEvent(Event);
    scheduleThumbnails();
}

void PhotoGrid::scrollContentsBy(int Dx, int Dy)
{
    QListView::scrollContentsBy(Dx, Dy);
    scheduleThumbnails();
}

void PhotoGrid::scheduleThumbnails()
{
    if (!m_requestTimer.isActive())
        m_requestTimer.start();
}

QPair<int, int> PhotoGrid::VisibleRange()
{
    const int count = m_model->Count();
    if (count == 0)
        return {-1, -1};
    executeDelayedItemsLayout();
    const int top = verticalOffset();
    const int bottom = top + viewport()->height();
    // Rows grow with the position: the first photo whose bottom is below the top edge, and the
    // last one whose top is above the bottom edge.
    auto firstWhere = [&](auto &&Pred) {
        int lo = 0, hi = count;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (Pred(rectForIndex(m_model->index(mid))))
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    };
    const int first = firstWhere([&](const QRect &r) { return r.bottom() >= top; });
    const int afterLast = firstWhere([&](const QRect &r) { return r.top() >= bottom; });
    if (first >= count || afterLast <= first)
        return {qMin(first, count - 1), qMin(first, count - 1)};
    return {first, afterLast - 1};
}

void PhotoGrid::requestThumbnails()
{
    const auto [first, last] = VisibleRange();
    if (first < 0) {
        m_loader->Cancel(m_generation);
        return;
    }
    const int end = qMin(m_model->Count() - 1, last + ReadAhead);
    std::vector<PhotoThumbnailLoader::Job> wanted;
    wanted.reserve(size_t(end - first + 1));
    for (int p = first; p <= end; ++p)
        if (!m_model->HasThumbnail(p))
            wanted.push_back({p, m_model->FileName(p), p <= last});
    m_wantedFirst = first;
    m_wantedLast = end;
    m_wantedMissing = int(wanted.size());
    reportProgress();
    m_loader->SetWanted(m_generation, std::move(wanted));
}

void PhotoGrid::thumbnailLoaded(quint64 Generation, int Position, const QImage &Picture)
{
    if (Generation != m_generation)
        return; // made for a folder that is gone
    const bool counted
        = Position >= m_wantedFirst && Position <= m_wantedLast && !m_model->HasThumbnail(Position);
    m_model->SetThumbnail(Position, Picture);
    if (Position >= m_wantedFirst && Position <= m_wantedLast)
        repaintPosition(Position);
    if (counted && m_wantedMissing > 0) {
        --m_wantedMissing;
        reportProgress();
    }
}

void PhotoGrid::reportProgress()
{
    const int total = m_wantedLast - m_wantedFirst + 1;
    if (total <= 0)
        return;
    const int percentage = int(100LL * (total - m_wantedMissing) / total);
    if (percentage != m_lastProgress) {
        m_lastProgress = percentage;
        emit Progress(percentage);
    }
}

void PhotoGrid::mirrorSelection(const PhotoSelection::Change &Change)
{
    // Runs of neighbouring positions become one range each, so selecting all of a large folder
    // is one range, not one per photo.
    auto ranges = [this](std::vector<int> Positions) {
        std::sort(Positions.begin(), Positions.end());
        QItemSelection selection;
        for (std::size_t i = 0; i < Positions.size();) {
            std::size_t j = i;
            while (j + 1 < Positions.size() && Positions[j + 1] == Positions[j] + 1)
                ++j;
            selection.select(m_model->index(Positions[i]), m_model->index(Positions[j]));
            i = j + 1;
        }
        return selection;
    };
    QItemSelectionModel *model = selectionModel();
    if (!Change.Deselected.empty())
        model->select(ranges(Change.Deselected), QItemSelectionModel::Deselect);
    if (!Change.Selected.empty())
        model->select(ranges(Change.Selected), QItemSelectionModel::Select);
    // The view announces the first photo of a change; a change of several says so as well.
    if (Change.Selected.size() + Change.Deselected.size() > 1 && QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::SelectionWithin);
        QAccessible::updateAccessibility(&event);
    }
}
