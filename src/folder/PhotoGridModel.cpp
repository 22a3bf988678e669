#include "folder/PhotoGridModel.h"

namespace {

// Bookkeeping of a cache entry besides its pixels, so a null picture still costs something.
constexpr qint64 EntryOverhead = 64;

} // namespace

PhotoGridModel::PhotoGridModel(QObject *Parent)
    : QAbstractListModel(Parent)
    , m_cache(DefaultCacheBytes)
{ }

int PhotoGridModel::rowCount(const QModelIndex &Parent) const
{
    return Parent.isValid() ? 0 : int(m_paths.size());
}

QVariant PhotoGridModel::data(const QModelIndex &Index, int Role) const
{
    if (!Index.isValid() || Index.row() >= m_paths.size())
        return {};
    switch (Role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return Caption(Index.row());
    case Qt::ToolTipRole:
        return m_paths[Index.row()];
    default:
        return {};
    }
}

Qt::ItemFlags PhotoGridModel::flags(const QModelIndex &Index) const
{
    // Selectable, so a screen reader reads the selected state the grid mirrors into the view.
    return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

void PhotoGridModel::SetPhotos(QStringList Paths)
{
    beginResetModel();
    m_cache.clear();
    m_paths = std::move(Paths);
    endResetModel();
}

QString PhotoGridModel::Caption(int Position) const
{
    const QString &path = m_paths[Position];
    return path.mid(path.lastIndexOf(u'/') + 1);
}

const QImage *PhotoGridModel::Thumbnail(int Position) const
{
    return m_cache.object(Position);
}

void PhotoGridModel::SetThumbnail(int Position, const QImage &Picture)
{
    if (Position < 0 || Position >= m_paths.size())
        return;
    m_cache.insert(Position, new QImage(Picture), Picture.sizeInBytes() + EntryOverhead);
}

void PhotoGridModel::SetCacheBytes(qint64 Bytes)
{
    m_cache.setMaxCost(Bytes);
}
