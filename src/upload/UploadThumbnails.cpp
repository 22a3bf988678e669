#include "upload/UploadThumbnails.h"

#include "model/LoadThumbThreadObj.h"
#include "util/Bitmap32.h"
#include "util/JpegEncode.h"

#include <QDateTime>
#include <QFileInfo>

struct UploadThumbnails::Job
{
    enum class State { Queued, Running, Done, Dropped };

    explicit Job(const QString &Name)
        : FileName(Name)
        , Result(Promise.get_future().share())
    { }

    QString FileName;
    std::promise<QByteArray> Promise;
    std::shared_future<QByteArray> Result;
    ThumbnailTicket Ticket;
    State Now = State::Queued;
    bool Urgent = false; // an upload waits for it
    bool Prepared = false; // the order list asked for it
    bool RunsInBackground = false; // started before any upload asked for it
    FileStamp Stamp; // of the file the finished thumbnail was drawn from
    std::size_t Bytes = 0;
};

UploadThumbnails::UploadThumbnails(std::size_t BudgetBytes, ThumbnailService &Service)
    : m_budget(BudgetBytes)
    , m_service(Service)
{ }

UploadThumbnails::~UploadThumbnails()
{
    Shutdown();
}

UploadThumbnails &UploadThumbnails::Shared()
{
    static UploadThumbnails thumbnails;
    return thumbnails;
}

QByteArray UploadThumbnails::Make(const QString &FileName)
{
    const std::shared_ptr<Bitmap32> bitmap = Bitmap32::Create();
    // On a worker of the thumbnail service this draws right there.
    LoadThumbnail(bitmap, FileName, true);
    QByteArray jpeg;
    BitmapToJpeg(*bitmap, jpeg);
    return jpeg;
}

UploadThumbnails::FileStamp UploadThumbnails::stampOf(const QString &FileName)
{
    QFileInfo info(FileName);
    info.setCaching(false);
    if (!info.exists())
        return {};
    return {info.size(), info.lastModified().toMSecsSinceEpoch()};
}

UploadThumbnails::JobPtr UploadThumbnails::submit(const QString &FileName, bool Urgent)
{
    auto job = std::make_shared<Job>(FileName);
    job->Urgent = Urgent;
    job->Prepared = !Urgent;
    ThumbnailOrder work;
    work.Priority = Urgent ? ThumbnailPriority::Upload : ThumbnailPriority::Ahead;
    work.Work = [this, job](const ThumbnailContext &Context) { run(job, Context); };
    work.Dropped = [this, job] {
        std::lock_guard lock(m_mutex);
        --m_inService;
        if (job->Now == Job::State::Queued)
            drop(job);
        m_idle.notify_all();
    };
    job->Ticket = m_service.Submit(std::move(work));
    if (job->Ticket.IsNull()) {
        drop(job);
        return job;
    }
    ++m_inService;
    m_jobs.insert(FileName, job);
    return job;
}

void UploadThumbnails::Prepare(const QString &FileName)
{
    std::lock_guard lock(m_mutex);
    if (m_stopped || m_keptBytes >= m_budget)
        return;
    if (const JobPtr job = m_jobs.value(FileName)) {
        job->Prepared = true;
        return;
    }
    submit(FileName, false);
}

std::shared_future<QByteArray> UploadThumbnails::Request(const QString &FileName)
{
    const FileStamp current = stampOf(FileName); // outside the lock: a stat may be slow
    std::lock_guard lock(m_mutex);
    if (m_stopped) {
        std::promise<QByteArray> none;
        none.set_value({});
        return none.get_future().share();
    }
    if (const auto it = m_jobs.constFind(FileName); it != m_jobs.cend()) {
        const JobPtr job = it.value();
        switch (job->Now) {
        case Job::State::Done:
            if (job->Stamp == current) {
                ++m_takenReady;
                return job->Result;
            }
            m_keptBytes -= job->Bytes; // the photo changed: draw it again
            m_jobs.erase(it);
            break;
        case Job::State::Queued:
            // Ahead of the photos only drawn ahead.
            if (!job->Urgent && m_service.Requeue(job->Ticket, ThumbnailPriority::Upload))
                job->Urgent = true;
            return job->Result;
        case Job::State::Running:
            // The pool's threads all run at one priority: it ends as soon as it would anew.
            job->Urgent = true;
            return job->Result;
        case Job::State::Dropped:
            m_jobs.erase(it);
            break;
        }
    }
    return submit(FileName, true)->Result;
}

void UploadThumbnails::Withdraw()
{
    std::lock_guard lock(m_mutex);
    for (const JobPtr &job : m_jobs.values()) {
        if (job->Now != Job::State::Queued || !job->Urgent)
            continue;
        if (job->Prepared) {
            if (m_service.Requeue(job->Ticket, ThumbnailPriority::Ahead))
                job->Urgent = false;
        } else if (m_service.Cancel(job->Ticket)) {
            --m_inService;
            drop(job);
        }
    }
}

void UploadThumbnails::Forget(const QString &FileName)
{
    std::lock_guard lock(m_mutex);
    const JobPtr job = m_jobs.take(FileName);
    if (!job)
        return;
    if (job->Now == Job::State::Done)
        m_keptBytes -= job->Bytes;
    else if (job->Now == Job::State::Queued && m_service.Cancel(job->Ticket)) {
        --m_inService;
        drop(job);
    }
    // One being drawn ends as it began; not being in the list, it is not kept.
}

void UploadThumbnails::drop(const JobPtr &Job)
{
    Job->Now = Job::State::Dropped;
    Job->Promise.set_value({});
    if (m_jobs.value(Job->FileName) == Job)
        m_jobs.remove(Job->FileName);
    m_idle.notify_all();
}

void UploadThumbnails::run(const JobPtr &Job, const ThumbnailContext &Context)
{
    Q_UNUSED(Context); // Make() draws through the card's loader, on this very worker
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped) {
            --m_inService;
            drop(Job);
            return;
        }
        Job->Now = Job::State::Running;
        Job->RunsInBackground = !Job->Urgent;
        ++m_running;
        m_runningBackground += Job->RunsInBackground ? 1 : 0;
    }
    // A file that changes while it is drawn is drawn again, so the stamp kept is that of the
    // bytes the picture came from.
    FileStamp stamp = stampOf(Job->FileName);
    QByteArray jpeg;
    for (int attempt = 0; attempt < 3; ++attempt) {
        jpeg = Make(Job->FileName);
        const FileStamp after = stampOf(Job->FileName);
        if (after == stamp)
            break;
        stamp = after;
    }

    std::lock_guard lock(m_mutex);
    --m_inService;
    --m_running;
    m_runningBackground -= Job->RunsInBackground ? 1 : 0;
    finish(Job, std::move(jpeg), stamp);
    m_idle.notify_all();
}

void UploadThumbnails::finish(const JobPtr &Job, QByteArray Jpeg, FileStamp Stamp)
{
    ++m_made;
    Job->Now = Job::State::Done;
    Job->Stamp = Stamp;
    const bool listed = m_jobs.value(Job->FileName) == Job; // not forgotten meanwhile
    if (listed && !Jpeg.isEmpty()) {
        Job->Bytes = static_cast<std::size_t>(Jpeg.size());
        m_keptBytes += Job->Bytes;
    } else if (listed) {
        m_jobs.remove(Job->FileName); // a failed encoding is tried again on the next request
    }
    Job->Promise.set_value(std::move(Jpeg));
}

void UploadThumbnails::Shutdown()
{
    std::unique_lock lock(m_mutex);
    m_stopped = true;
    for (const JobPtr &job : m_jobs.values()) {
        if (job->Now == Job::State::Queued && m_service.Cancel(job->Ticket)) {
            --m_inService;
            drop(job);
        }
    }
    // Jobs the service has already taken end here (those not yet begun without a picture).
    m_idle.wait(lock, [&] { return m_inService == 0; });
}

UploadThumbnails::Counts UploadThumbnails::Statistics() const
{
    std::lock_guard lock(m_mutex);
    Counts counts;
    for (const JobPtr &job : m_jobs) {
        counts.Kept += job->Now == Job::State::Done ? 1 : 0;
        if (job->Now == Job::State::Queued)
            ++(job->Urgent ? counts.QueuedUrgent : counts.QueuedBackground);
    }
    counts.KeptBytes = m_keptBytes;
    counts.Made = m_made;
    counts.TakenReady = m_takenReady;
    return counts;
}

void UploadThumbnails::WaitForBackground()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] {
        if (m_stopped)
            return true;
        if (m_runningBackground > 0)
            return false;
        for (const JobPtr &job : std::as_const(m_jobs))
            if (job->Now == Job::State::Queued && !job->Urgent)
                return false;
        return true;
    });
}
