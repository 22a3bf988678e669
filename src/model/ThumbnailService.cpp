#include "model/ThumbnailService.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#ifdef Q_OS_LINUX
#include <sys/syscall.h>
#include <unistd.h>
#endif

struct ThumbnailJobState
{
    enum class State { Queued, Running, Ended };

    explicit ThumbnailJobState(ThumbnailOrder O)
        : Order(std::move(O))
    { }

    ThumbnailOrder Order;
    // Guarded by the service's lock.
    State Now = State::Queued;
    std::pair<int, std::uint64_t> Key {0, 0};
};

namespace {

// The service whose worker the calling thread is, if any.
thread_local const ThumbnailService *t_workerOf = nullptr;

// Drawing ahead reads files only when no one else wants the disk, so it never slows the
// thumbnails someone looks at on a slow disk. Only the I/O class changes: a thread cannot be
// given its normal CPU priority back, and the queue's order already puts idle work last.
void SetIdleReads(bool Idle)
{
#if defined(Q_OS_LINUX) && defined(SYS_ioprio_set)
    thread_local bool idle = false;
    if (Idle == idle)
        return;
    idle = Idle;
    constexpr int WhoProcess = 1; // with 0 as who: the calling thread
    constexpr int ClassIdle = 3;
    constexpr int ClassShift = 13;
    // Class "none" is the default: the I/O priority follows the CPU one. A refusal changes
    // nothing.
    syscall(SYS_ioprio_set, WhoProcess, 0, Idle ? ClassIdle << ClassShift : 0);
#else
    Q_UNUSED(Idle);
#endif
}

} // namespace

FittedPicture ThumbnailContext::Fit(const QString &FileName, QSize Box) const
{
    return DecodeFittedPicture(FileName, Box, [this] { return Abandoned(); });
}

bool ThumbnailContext::Abandoned() const
{
    return m_job && m_job->Order.StillWanted && !m_job->Order.StillWanted();
}

int ThumbnailService::DefaultThreadCount()
{
    // One per core: the GUI thread keeps a share of the machine while cards are bound and the
    // grid reads ahead (three threads on two cores slowed the cart's scrolling, and drew no
    // faster). Two at least, so that one decode waiting for the disk or the decoding helper
    // does not stop the rest; never more than the cores plus one.
    const int cores = qMax(1, QThread::idealThreadCount());
    const int threads = qMax(2, cores);
    // For measuring: fewer threads than that, or the one more.
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue("KESTRUN_THUMBNAIL_THREADS", &ok);
    return ok && asked >= 1 ? qMin(asked, cores + 1) : threads;
}

ThumbnailService &ThumbnailService::Shared()
{
    static ThumbnailService *service = [] {
        auto *s = new ThumbnailService;
        qAddPostRoutine([] { Shared().Shutdown(); });
        return s;
    }();
    return *service;
}

ThumbnailService::ThumbnailService(int Threads)
    : m_threads(qMax(1, Threads))
    , m_pool(std::make_unique<QThreadPool>())
{
    m_pool->setMaxThreadCount(m_threads);
    // Threads idle this long end; the next photos start them again.
    m_pool->setExpiryTimeout(10000);
}

ThumbnailService::~ThumbnailService()
{
    Shutdown();
}

void ThumbnailService::enqueue(const JobPtr &J, ThumbnailPriority Priority)
{
    J->Key = {int(Priority), m_nextSequence++};
    J->Order.Priority = Priority;
    m_queue.emplace(J->Key, J);
}

ThumbnailTicket ThumbnailService::Submit(ThumbnailOrder Order)
{
    std::lock_guard lock(m_mutex);
    if (m_stopped)
        return {};
    auto job = std::make_shared<Job>(std::move(Order));
    enqueue(job, job->Order.Priority);
    startWorkers();
    return ThumbnailTicket(job);
}

bool ThumbnailService::Cancel(const ThumbnailTicket &Ticket)
{
    if (!Ticket.m_job)
        return false;
    std::lock_guard lock(m_mutex);
    Job &job = *Ticket.m_job;
    if (job.Now != Job::State::Queued)
        return false;
    m_queue.erase(job.Key);
    job.Now = Job::State::Ended;
    ++m_cancelled;
    m_changed.notify_all();
    return true;
}

bool ThumbnailService::Requeue(const ThumbnailTicket &Ticket, ThumbnailPriority Priority)
{
    if (!Ticket.m_job)
        return false;
    std::lock_guard lock(m_mutex);
    const JobPtr &job = Ticket.m_job;
    if (job->Now != Job::State::Queued)
        return false;
    m_queue.erase(job->Key);
    enqueue(job, Priority);
    return true;
}

void ThumbnailService::Run(
    ThumbnailPriority Priority, const std::function<void(const ThumbnailContext &)> &Work)
{
    const ThumbnailContext inlineContext(nullptr);
    // A worker already holds a decoding thread: waiting for another would hold two.
    if (t_workerOf) {
        Work(inlineContext);
        return;
    }
    struct Waiter
    {
        std::mutex Mutex;
        std::condition_variable Ended;
        bool Done = false;
        bool Ran = false;
    };
    const auto waiter = std::make_shared<Waiter>();
    const auto finish = [waiter](bool Ran) {
        std::lock_guard lock(waiter->Mutex);
        waiter->Done = true;
        waiter->Ran = Ran;
        waiter->Ended.notify_all();
    };
    ThumbnailOrder work;
    work.Priority = Priority;
    // The caller blocks until the end, so Work may be held by reference.
    work.Work = [&Work, finish](const ThumbnailContext &Context) {
        Work(Context);
        finish(true);
    };
    work.Dropped = [finish] { finish(false); };
    if (Submit(std::move(work)).IsNull()) {
        Work(inlineContext);
        return;
    }
    std::unique_lock lock(waiter->Mutex);
    waiter->Ended.wait(lock, [&] { return waiter->Done; });
    // Shut down with the job queued: the caller still gets its result.
    if (!waiter->Ran)
        Work(inlineContext);
}

void ThumbnailService::startWorkers()
{
    const int wanted = qMin<int>(m_threads, int(m_queue.size()) + m_busy);
    while (m_workers < wanted) {
        ++m_workers;
        m_pool->start([this] { work(); });
    }
}

void ThumbnailService::work()
{
    t_workerOf = this;
    std::unique_lock lock(m_mutex);
    while (!m_stopped && !m_queue.empty()) {
        const JobPtr job = m_queue.begin()->second;
        m_queue.erase(m_queue.begin());
        job->Now = Job::State::Running;
        m_peakBusy = qMax(m_peakBusy, ++m_busy);
        lock.unlock();

        runJob(job);

        lock.lock();
        --m_busy;
        job->Now = Job::State::Ended;
        m_changed.notify_all();
    }
    --m_workers;
    m_changed.notify_all();
    lock.unlock();
    SetIdleReads(false);
    t_workerOf = nullptr;
}

void ThumbnailService::runJob(const JobPtr &J)
{
    const ThumbnailOrder &work = J->Order;
    SetIdleReads(work.Priority == ThumbnailPriority::Ahead);
    const bool wanted = !work.StillWanted || work.StillWanted();
    {
        std::lock_guard lock(m_mutex);
        ++(wanted ? m_ran : m_dropped);
    }
    // A photo is untrusted input: whatever a job throws ends that job, not the worker.
    try {
        if (!wanted) {
            if (work.Dropped)
                work.Dropped();
            return;
        }
        if (work.Work)
            work.Work(ThumbnailContext(J.get()));
    } catch (...) {
        qWarning("thumbnail service: a job ended with an exception");
    }
}

void ThumbnailService::Shutdown()
{
    std::vector<JobPtr> dropped;
    {
        std::unique_lock lock(m_mutex);
        if (!m_stopped) {
            m_stopped = true;
            for (auto &[key, job] : m_queue) {
                job->Now = Job::State::Ended;
                dropped.push_back(job);
            }
            m_queue.clear();
            m_dropped += dropped.size();
        }
    }
    for (const JobPtr &job : dropped)
        if (job->Order.Dropped)
            job->Order.Dropped();
    m_pool->waitForDone();
}

void ThumbnailService::WaitForIdle()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_queue.empty() && m_busy == 0; });
}

ThumbnailService::Counts ThumbnailService::Statistics() const
{
    std::lock_guard lock(m_mutex);
    Counts counts;
    counts.Threads = m_threads;
    counts.Busy = m_busy;
    counts.PeakBusy = m_peakBusy;
    counts.Queued = int(m_queue.size());
    counts.Ran = m_ran;
    counts.Cancelled = m_cancelled;
    counts.Dropped = m_dropped;
    return counts;
}

void ThumbnailService::ResetPeaks()
{
    std::lock_guard lock(m_mutex);
    m_peakBusy = m_busy;
}
