#include "folder/PhotoThumbnails.h"

PhotoThumbnailLoader::PhotoThumbnailLoader(QSize Box, QObject *Parent, ThumbnailService &Service)
    : QObject(Parent)
    , m_box(Box)
    , m_service(Service)
{ }

PhotoThumbnailLoader::~PhotoThumbnailLoader()
{
    std::unique_lock lock(m_mutex);
    retire(m_generation + 1);
    m_ended.wait(lock, [&] { return m_jobs.isEmpty() && m_older == 0; });
}

QImage PhotoThumbnailLoader::MakeThumbnail(
    const ThumbnailContext &Context, const QString &FileName, QSize Box)
{
    QImage picture = Context.Fit(FileName, Box).Image;
    if (picture.isNull())
        return picture;
    // The two formats QPainter draws fastest on the grid.
    const QImage::Format format
        = picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (picture.format() != format)
        picture.convertTo(format);
    return picture;
}

void PhotoThumbnailLoader::cancelQueued()
{
    // Those running go on; they end themselves.
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (m_service.Cancel(it.value()))
            it = m_jobs.erase(it);
        else
            ++it;
    }
}

void PhotoThumbnailLoader::retire(quint64 Generation)
{
    cancelQueued();
    // Photos still being made for the old generation end as older work.
    m_older += int(m_jobs.size());
    m_jobs.clear();
    m_generation = Generation;
}

void PhotoThumbnailLoader::SetWanted(quint64 Generation, std::vector<Job> Wanted)
{
    std::lock_guard lock(m_mutex);
    if (Generation != m_generation)
        retire(Generation);
    QHash<int, ThumbnailTicket> wanted;
    wanted.reserve(qsizetype(Wanted.size()));
    for (Job &job : Wanted) {
        const ThumbnailPriority priority
            = job.OnScreen ? ThumbnailPriority::OnScreen : ThumbnailPriority::Ahead;
        if (const auto it = m_jobs.constFind(job.Position); it != m_jobs.cend()) {
            // Queued already: to the back of its priority, so the queue keeps the wish's
            // order. Being made: left alone.
            m_service.Requeue(it.value(), priority);
            wanted.insert(job.Position, it.value());
            continue;
        }
        ThumbnailOrder work;
        work.Priority = priority;
        work.Work = [this, Generation, Position = job.Position, FileName = job.FileName](
                        const ThumbnailContext &Context) {
            const QImage thumbnail = MakeThumbnail(Context, FileName, m_box);
            ended(Generation, Position, &thumbnail);
        };
        work.Dropped
            = [this, Generation, Position = job.Position] { ended(Generation, Position, nullptr); };
        // The job's end takes the lock held here, so it finds its entry.
        const ThumbnailTicket ticket = m_service.Submit(std::move(work));
        if (!ticket.IsNull())
            wanted.insert(job.Position, ticket);
    }
    // What the wish no longer holds leaves the queue.
    for (auto it = m_jobs.begin(); it != m_jobs.end(); ++it) {
        if (!wanted.contains(it.key()) && !m_service.Cancel(it.value()))
            wanted.insert(it.key(), it.value()); // being made: it ends itself
    }
    m_jobs.swap(wanted);
}

void PhotoThumbnailLoader::Cancel(quint64 Generation)
{
    std::lock_guard lock(m_mutex);
    cancelQueued();
    if (Generation != m_generation)
        retire(Generation);
}

bool PhotoThumbnailLoader::Busy() const
{
    std::lock_guard lock(m_mutex);
    return !m_jobs.isEmpty() || m_older > 0;
}

void PhotoThumbnailLoader::WaitForDone()
{
    std::unique_lock lock(m_mutex);
    m_ended.wait(lock, [&] { return m_jobs.isEmpty() && m_older == 0; });
}

void PhotoThumbnailLoader::ended(quint64 Generation, int Position, const QImage *Thumbnail)
{
    std::lock_guard lock(m_mutex);
    if (Generation == m_generation) {
        m_jobs.remove(Position);
        if (Thumbnail)
            emit Loaded(Generation, Position, *Thumbnail);
    } else {
        --m_older;
    }
    m_ended.notify_all();
}
