#pragma once

#include <QAbstractListModel>
#include <QCache>
#include <QImage>
#include <QStringList>

// The photos of the grid: full path and caption per position, and the thumbnails made so far
// in a cache bounded in bytes, so a folder of 20,000 photos holds only the pictures around
// what is on screen. Never holds a full-size image.
class PhotoGridModel : public QAbstractListModel
{
    Q_OBJECT

public:
    // About 1,300 thumbnails of a 4:3 photo: the visible screen and the 500 ahead many times.
    static constexpr qint64 DefaultCacheBytes = 64LL << 20;

    explicit PhotoGridModel(QObject *Parent = nullptr);

    int rowCount(const QModelIndex &Parent = {}) const override;
    QVariant data(const QModelIndex &Index, int Role) const override;
    Qt::ItemFlags flags(const QModelIndex &Index) const override;

    // Replaces every photo (and drops every thumbnail).
    void SetPhotos(QStringList Paths);
    int Count() const { return int(m_paths.size()); }
    const QString &FileName(int Position) const { return m_paths[Position]; }
    // The file name under the thumbnail: name and extension, no folder.
    QString Caption(int Position) const;

    // The thumbnail of a position, or null when it is not (or no longer) held.
    const QImage *Thumbnail(int Position) const;
    bool HasThumbnail(int Position) const { return m_cache.contains(Position); }
    // Keeps a thumbnail; a photo that could not be decoded keeps a null picture, so it is not
    // asked again.
    void SetThumbnail(int Position, const QImage &Picture);

    void SetCacheBytes(qint64 Bytes);
    qint64 CacheBytes() const { return m_cache.totalCost(); }
    int CachedCount() const { return int(m_cache.count()); }

private:
    QStringList m_paths;
    QCache<int, QImage> m_cache;
};
