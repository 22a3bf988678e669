#include "folder/PhotoThumbnails.h"

#include "util/ImageDecode.h"

#include <QMutexLocker>

namespace {

quint64 busyKey(quint64 Generation, int Position)
{
    return (Generation << 32) | quint32(Position);
}

} // namespace

PhotoThumbnailLoader::PhotoThumbnailLoader(QSize Box, QObject *Parent)
    : QObject(Parent)
    , m_box(Box)
{
    m_pool.setMaxThreadCount(ThreadCount);
    // Threads that stay idle this long end; the next folder starts them again.
    m_pool.setExpiryTimeout(10000);
}

PhotoThumbnailLoader::~PhotoThumbnailLoader()
{
    {
        QMutexLocker lock(&m_mutex);
        m_queue.clear();
        ++m_generation;
    }
    m_pool.waitForDone();
}

QImage PhotoThumbnailLoader::MakeThumbnail(const QString &FileName, QSize Box)
{
    QImage picture = DecodeFittedPicture(FileName, Box).Image;
    if (picture.isNull())
        return picture;
    // The two formats QPainter draws fastest on the grid.
    const QImage::Format format
        = picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (picture.format() != format)
        picture.convertTo(format);
    return picture;
}

void PhotoThumbnailLoader::SetWanted(quint64 Generation, std::vector<Job> Wanted)
{
    {
        QMutexLocker lock(&m_mutex);
        m_generation = Generation;
        m_queue.clear();
        for (Job &job : Wanted)
            if (!m_busy.contains(busyKey(Generation, job.Position)))
                m_queue.push_back(std::move(job));
    }
    startWorkers();
}

void PhotoThumbnailLoader::Cancel(quint64 Generation)
{
    QMutexLocker lock(&m_mutex);
    m_generation = Generation;
    m_queue.clear();
}

bool PhotoThumbnailLoader::Busy() const
{
    QMutexLocker lock(&m_mutex);
    return !m_queue.empty() || m_workers > 0;
}

void PhotoThumbnailLoader::WaitForDone()
{
    m_pool.waitForDone();
}

void PhotoThumbnailLoader::startWorkers()
{
    QMutexLocker lock(&m_mutex);
    const int wanted = qMin<int>(ThreadCount, int(m_queue.size()));
    while (m_workers < wanted) {
        ++m_workers;
        m_pool.start([this] { work(); });
    }
}

void PhotoThumbnailLoader::work()
{
    QMutexLocker lock(&m_mutex);
    while (!m_queue.empty()) {
        const Job job = std::move(m_queue.front());
        m_queue.pop_front();
        const quint64 generation = m_generation;
        m_busy.insert(busyKey(generation, job.Position));
        lock.unlock();

        const QImage thumbnail = MakeThumbnail(job.FileName, m_box);

        lock.relock();
        m_busy.remove(busyKey(generation, job.Position));
        if (generation == m_generation)
            emit Loaded(generation, job.Position, thumbnail);
    }
    --m_workers;
}
