#include "upload/UploadThumbnails.h"

#include "model/LoadThumbThreadObj.h"
#include "util/Bitmap32.h"
#include "util/JpegEncode.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QThread>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

constexpr int UrgentThreads = 2;

// The calling thread reads files only when no one else wants the disk, so drawing ahead never
// slows the folder page's thumbnails on a slow disk.
void ReadOnlyWhenDiskIsIdle()
{
#if defined(Q_OS_LINUX) && defined(SYS_ioprio_set)
    constexpr int WhoProcess = 1; // with 0 as who: the calling thread
    constexpr int ClassIdle = 3;
    constexpr int ClassShift = 13;
    syscall(SYS_ioprio_set, WhoProcess, 0, ClassIdle << ClassShift); // a refusal changes nothing
#endif
}

} // namespace

struct UploadThumbnails::Job
{
    enum class State { Queued, Running, Done };

    explicit Job(const QString &Name) : FileName(Name), Result(Promise.get_future().share()) {}

    QString FileName;
    std::promise<QByteArray> Promise;
    std::shared_future<QByteArray> Result;
    State Now = State::Queued;
    bool Urgent = false;
    bool Forgotten = false; // left the order list: skipped if queued, not kept when done
    FileStamp Stamp; // of the file the finished thumbnail was drawn from
    std::size_t Bytes = 0;
};

UploadThumbnails::UploadThumbnails(std::size_t BudgetBytes)
    : m_budget(BudgetBytes)
{
}

UploadThumbnails::~UploadThumbnails()
{
    Shutdown();
}

UploadThumbnails &UploadThumbnails::Shared()
{
    static UploadThumbnails thumbnails;
    static const bool registered = [] {
        // Jobs must not run into a dismantled Qt at the end of the program.
        if (QCoreApplication::instance())
            qAddPostRoutine([] { Shared().Shutdown(); });
        return true;
    }();
    (void)registered;
    return thumbnails;
}

QByteArray UploadThumbnails::Make(const QString &FileName)
{
    const std::shared_ptr<Bitmap32> bitmap = Bitmap32::Create();
    LoadThumbnail(bitmap, FileName, true);
    QByteArray jpeg;
    BitmapToJpeg(*bitmap, jpeg);
    return jpeg;
}

UploadThumbnails::FileStamp UploadThumbnails::StampOf(const QString &FileName)
{
    QFileInfo info(FileName);
    info.setCaching(false);
    if (!info.exists())
        return {};
    return {info.size(), info.lastModified().toMSecsSinceEpoch()};
}

void UploadThumbnails::Prepare(const QString &FileName)
{
    std::lock_guard lock(m_mutex);
    if (m_stopped || m_jobs.contains(FileName) || m_keptBytes >= m_budget)
        return;
    m_background.push_back(newJob(FileName));
    startThreads();
    m_wake.notify_all();
}

std::shared_future<QByteArray> UploadThumbnails::Request(const QString &FileName)
{
    const FileStamp current = StampOf(FileName); // outside the lock: a stat may be slow
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
            if (!job->Urgent) {
                // Out of the background queue, ahead of the upload's later photos.
                job->Urgent = true;
                m_background.erase(std::find(m_background.begin(), m_background.end(), job));
                m_urgent.push_back(job);
                m_wake.notify_all();
            }
            return job->Result;
        case Job::State::Running:
            if (job->Urgent)
                return job->Result;
            // The idle-priority thread would starve behind the running upload, and a thread
            // cannot be given its normal priority back: draw it again with priority. The
            // background picture is then not kept.
            job->Forgotten = true;
            m_jobs.erase(it);
            break;
        }
    }
    const JobPtr job = newJob(FileName);
    job->Urgent = true;
    m_urgent.push_back(job);
    startThreads();
    m_wake.notify_all();
    return job->Result;
}

void UploadThumbnails::Forget(const QString &FileName)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_jobs.find(FileName);
    if (it == m_jobs.end())
        return;
    it.value()->Forgotten = true;
    if (it.value()->Now == Job::State::Done)
        m_keptBytes -= it.value()->Bytes;
    m_jobs.erase(it);
}

UploadThumbnails::JobPtr UploadThumbnails::newJob(const QString &FileName)
{
    auto job = std::make_shared<Job>(FileName);
    m_jobs.insert(FileName, job);
    return job;
}

void UploadThumbnails::startThreads()
{
    if (!m_threads.empty())
        return;
    for (int i = 0; i <= UrgentThreads; ++i) {
        const bool background = i == 0;
        QThread *thread = QThread::create([this, background] { runWorker(background); });
        thread->setObjectName(background ? QStringLiteral("thumbnails ahead")
                                         : QStringLiteral("thumbnails now"));
        // Idle priority: the thread runs only on time nothing else wants.
        thread->start(background ? QThread::IdlePriority : QThread::NormalPriority);
        m_threads.push_back(thread);
    }
}

void UploadThumbnails::runWorker(bool Background)
{
    std::deque<JobPtr> &queue = Background ? m_background : m_urgent;
    if (Background)
        ReadOnlyWhenDiskIsIdle();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stopped || !queue.empty(); });
        if (m_stopped)
            return;
        const JobPtr job = queue.front();
        queue.pop_front();
        if (job->Forgotten) {
            job->Promise.set_value({});
            m_idle.notify_all();
            continue;
        }
        job->Now = Job::State::Running;
        if (Background)
            m_runningBackground = job;
        lock.unlock();

        // A file that changes while it is drawn is drawn again, so the stamp kept is that of
        // the bytes the picture came from.
        FileStamp stamp = StampOf(job->FileName);
        QByteArray jpeg;
        for (int attempt = 0; attempt < 3; ++attempt) {
            jpeg = Make(job->FileName);
            const FileStamp after = StampOf(job->FileName);
            if (after == stamp)
                break;
            stamp = after;
        }

        lock.lock();
        if (Background)
            m_runningBackground.reset();
        finish(job, std::move(jpeg), stamp);
        m_idle.notify_all();
    }
}

void UploadThumbnails::finish(const JobPtr &Job, QByteArray Jpeg, FileStamp Stamp)
{
    ++m_made;
    Job->Now = Job::State::Done;
    Job->Stamp = Stamp;
    if (!Job->Forgotten && !Jpeg.isEmpty()) {
        Job->Bytes = static_cast<std::size_t>(Jpeg.size());
        m_keptBytes += Job->Bytes;
    } else if (!Job->Forgotten && m_jobs.value(Job->FileName) == Job) {
        m_jobs.remove(Job->FileName); // a failed encoding is tried again on the next request
    }
    Job->Promise.set_value(std::move(Jpeg));
}

void UploadThumbnails::Shutdown()
{
    std::vector<QThread *> threads;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return;
        m_stopped = true;
        for (const auto *queue : {&m_background, &m_urgent}) {
            for (const JobPtr &job : *queue)
                job->Promise.set_value({});
        }
        m_background.clear();
        m_urgent.clear();
        threads.swap(m_threads);
        m_wake.notify_all();
        m_idle.notify_all();
    }
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
}

UploadThumbnails::Counts UploadThumbnails::Statistics() const
{
    std::lock_guard lock(m_mutex);
    Counts counts;
    for (const JobPtr &job : m_jobs)
        counts.Kept += job->Now == Job::State::Done ? 1 : 0;
    counts.KeptBytes = m_keptBytes;
    counts.QueuedBackground = int(m_background.size());
    counts.QueuedUrgent = int(m_urgent.size());
    counts.Made = m_made;
    counts.TakenReady = m_takenReady;
    return counts;
}

void UploadThumbnails::WaitForBackground()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return m_stopped || (m_background.empty() && !m_runningBackground); });
}
