#pragma once

#include "model/ThumbnailService.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <vector>

// Makes the thumbnails of the photo grid on the program's thumbnail service. The grid says
// which photos it wants, most urgent first: those on screen, then those ahead of scrolling
// (drawn at idle). Every new wish replaces the pending one, so work for photos scrolled away
// or for a folder left behind is taken out of the queue before it starts. Results come back
// as Loaded signals, emitted on a worker (connect them queued), tagged with the generation
// they were asked for.
class PhotoThumbnailLoader : public QObject
{
    Q_OBJECT

public:
    struct Job
    {
        int Position = -1;
        QString FileName;
        bool OnScreen = false; // otherwise drawn ahead, at idle
    };

    explicit PhotoThumbnailLoader(QSize Box, QObject *Parent = nullptr,
        ThumbnailService &Service = ThumbnailService::Shared());
    // Drops the pending work and waits for the thumbnails being made.
    ~PhotoThumbnailLoader() override;

    // Replaces the pending work. Photos being made right now are not asked again.
    void SetWanted(quint64 Generation, std::vector<Job> Wanted);
    // Drops everything not yet started; results of older generations are dropped too.
    void Cancel(quint64 Generation);
    // True while any thumbnail is queued or being made.
    bool Busy() const;
    // Blocks until nothing of this loader is queued or being made (benchmarks, tests).
    void WaitForDone();

    // The picture of a photo fitted into Box, as the grid paints it; null when it cannot be
    // made. On a worker of the thumbnail service.
    static QImage MakeThumbnail(
        const ThumbnailContext &Context, const QString &FileName, QSize Box);

signals:
    void Loaded(quint64 Generation, int Position, const QImage &Thumbnail);

private:
    void cancelQueued(); // under the lock
    void retire(quint64 Generation); // under the lock: a new generation begins
    void ended(quint64 Generation, int Position, const QImage *Thumbnail);

    const QSize m_box;
    ThumbnailService &m_service;
    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    // The photos queued or being made, by position; those of older generations that are still
    // being made are counted in m_older.
    QHash<int, ThumbnailTicket> m_jobs;
    int m_older = 0;
    quint64 m_generation = 0;
};
