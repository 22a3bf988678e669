#pragma once

#include "util/ImageDecode.h"

#include <QSize>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class QThreadPool;
struct ThumbnailJobState; // one job's state, inside the service

// Who waits for a thumbnail, most urgent first: the grid's cells on screen, the cards (and
// anyone blocked on a waited load), the upload's next photos, then drawing ahead at idle (the
// grid's read-ahead, the upload's thumbnails made while photos sit on the order list).
enum class ThumbnailPriority { OnScreen, Card, Upload, Ahead };

// Given to a job while it runs on a worker.
class ThumbnailContext
{
public:
    // The photo measured and fitted into Box, decoded under the shared decode memory budget.
    // Gives up with no picture when the job is cancelled or no longer wanted meanwhile.
    FittedPicture Fit(const QString &FileName, QSize Box) const;
    // True once the job has been cancelled or its StillWanted says no.
    bool Abandoned() const;

private:
    friend class ThumbnailService;
    explicit ThumbnailContext(const ThumbnailJobState *J)
        : m_job(J)
    { }
    const ThumbnailJobState *m_job;
};

struct ThumbnailOrder
{
    ThumbnailPriority Priority = ThumbnailPriority::Ahead;
    // Runs on a worker thread.
    std::function<void(const ThumbnailContext &)> Work;
    // Asked on the worker just before Work and while a decode waits for memory; false drops
    // the job (it is then never decoded). Empty: always wanted.
    std::function<bool()> StillWanted;
    // Called instead of Work when the service drops the job itself: StillWanted said no when
    // its turn came, or the service shut down with the job still queued. Any thread, never
    // under the service's lock. A job dropped by Cancel() does not hear it: its canceller
    // knows.
    std::function<void()> Dropped;
};

// One queued or running job; null when the service refused it (shut down).
class ThumbnailTicket
{
public:
    ThumbnailTicket() = default;
    bool IsNull() const { return !m_job; }

private:
    friend class ThumbnailService;
    explicit ThumbnailTicket(std::shared_ptr<ThumbnailJobState> J)
        : m_job(std::move(J))
    { }
    std::shared_ptr<ThumbnailJobState> m_job;
};

// The one pool that makes every thumbnail of the program: the grid's, the cards' and the
// upload's. It has one decoding thread per core (two at least, at most the cores plus one;
// KESTRUN_THUMBNAIL_THREADS asks for another count within that); queued jobs start in the
// order of their priority, then of their submission. Nothing preempts a running job, so a job
// submitted later with a higher priority waits at most for the jobs already running.
class ThumbnailService
{
public:
    static int DefaultThreadCount();
    // The program's service, created on first use; shut down when the application ends, so
    // no job runs into a dismantled Qt.
    static ThumbnailService &Shared();

    explicit ThumbnailService(int Threads = DefaultThreadCount());
    ~ThumbnailService(); // Shutdown()

    // Queues a job. After Shutdown() the job is refused: a null ticket (and no call back).
    ThumbnailTicket Submit(ThumbnailOrder Order);
    // Takes a queued job out: true when it will never run. False when it runs already or has
    // ended; its Work then runs to its end (a decode sees Abandoned() and gives up).
    bool Cancel(const ThumbnailTicket &Ticket);
    // Moves a queued job to Priority, behind the jobs queued there already. False when it is
    // no longer queued.
    bool Requeue(const ThumbnailTicket &Ticket, ThumbnailPriority Priority);
    // Runs Work and returns when it has ended: on the calling thread when that is a worker of
    // a thumbnail service (a worker waiting for the pool could wait for itself), otherwise
    // queued at Priority. After Shutdown() the work runs on the calling thread.
    void Run(ThumbnailPriority Priority, const std::function<void(const ThumbnailContext &)> &Work);

    // Drops every queued job (Dropped), waits for the running ones; later jobs are refused.
    void Shutdown();
    // Blocks until nothing is queued or running (tests, benchmarks).
    void WaitForIdle();

    struct Counts
    {
        int Threads = 0; // the most workers the pool runs
        int Busy = 0; // workers running a job now
        int PeakBusy = 0; // since the last ResetPeaks()
        int Queued = 0;
        std::uint64_t Ran = 0;
        std::uint64_t Cancelled = 0; // taken out by Cancel()
        std::uint64_t Dropped = 0; // not wanted any more when their turn came, or shut down
    };
    Counts Statistics() const;
    void ResetPeaks();

private:
    using Job = ThumbnailJobState;
    using JobPtr = std::shared_ptr<Job>;
    using Key = std::pair<int, std::uint64_t>; // priority, then submission

    void startWorkers(); // under the lock
    void work();
    void runJob(const JobPtr &J);
    void enqueue(const JobPtr &J, ThumbnailPriority Priority); // under the lock

    const int m_threads;
    std::unique_ptr<QThreadPool> m_pool;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed; // a job ended or the queue emptied
    std::map<Key, JobPtr> m_queue;
    std::uint64_t m_nextSequence = 0;
    int m_workers = 0; // worker loops started
    int m_busy = 0;
    int m_peakBusy = 0;
    std::uint64_t m_ran = 0;
    std::uint64_t m_cancelled = 0;
    std::uint64_t m_dropped = 0;
    bool m_stopped = false;
};
