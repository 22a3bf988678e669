#pragma once

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <deque>
#include <vector>

// Makes the thumbnails of the photo grid on its own pool of background threads. The grid says
// which photos it wants, most urgent first (the visible ones, then those ahead of scrolling);
// every new wish replaces the pending one, so work for photos scrolled away or for a folder
// left behind is dropped before it starts. Results come back as queued Loaded signals tagged
// with the generation they were asked for.
class PhotoThumbnailLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr int ThreadCount = 5;

    struct Job
    {
        int Position = -1;
        QString FileName;
    };

    explicit PhotoThumbnailLoader(QSize Box, QObject *Parent = nullptr);
    // Drops the pending work and waits for the thumbnails being made.
    ~PhotoThumbnailLoader() override;

    // Replaces the pending work. Photos being made right now are not asked again.
    void SetWanted(quint64 Generation, std::vector<Job> Wanted);
    // Drops everything not yet started; results of older generations are dropped too.
    void Cancel(quint64 Generation);
    // True while any thumbnail is queued or being made.
    bool Busy() const;
    // Blocks until the queue is empty and every thread is idle (benchmarks, tests).
    void WaitForDone();

    // The picture of a photo fitted into Box, as the grid paints it; null when it cannot be
    // made. Thread-safe.
    static QImage MakeThumbnail(const QString &FileName, QSize Box);

signals:
    void Loaded(quint64 Generation, int Position, const QImage &Thumbnail);

private:
    void startWorkers();
    void work();

    const QSize m_box;
    QThreadPool m_pool;
    mutable QMutex m_mutex;
    std::deque<Job> m_queue;
    QSet<quint64> m_busy; // generation and position of the photos being made
    quint64 m_generation = 0;
    int m_workers = 0;
};
