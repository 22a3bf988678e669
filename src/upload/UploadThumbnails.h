#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

class QThread;

// The upload's thumbnails (120 x 105 JPEG), made ahead of time. Drawing a thumbnail means
// decoding the photo, which for a camera photo without a usable EXIF thumbnail costs more
// than sending it over a fast line; so the order list asks for them as photos join it, and
// they are made on one idle-priority thread while the customer sets his prints. The upload
// then asks for each photo's thumbnail a few photos ahead: a ready one is taken at once if the
// file is unchanged, the rest are made on two threads of normal priority while photos travel.
//
// Thumbnails are keyed by file name and remember the size and modification time of the file
// they were drawn from; a photo changed since is drawn again. Finished thumbnails are kept up
// to a byte budget; beyond it, no more are made ahead (the upload still makes its own).
class UploadThumbnails
{
public:
    explicit UploadThumbnails(std::size_t BudgetBytes = 64u << 20);
    ~UploadThumbnails(); // Shutdown()

    // The program's one instance; shut down when the application object goes.
    static UploadThumbnails &Shared();

    // The thumbnail of one photo, as the upload stores it: the photo fitted and centred on
    // white (all white when it cannot be decoded), encoded as a baseline JPEG. Empty only when
    // encoding fails.
    static QByteArray Make(const QString &FileName);

    // Makes the thumbnail in the background, unless it is kept, queued or over the budget.
    void Prepare(const QString &FileName);
    // The thumbnail for an upload: a kept one if the file is unchanged, otherwise made with
    // priority (a queued background job moves ahead). The future is never broken; after
    // Shutdown() it holds an empty array.
    std::shared_future<QByteArray> Request(const QString &FileName);
    // The photo left the order list: its thumbnail is dropped, a queued job skipped.
    void Forget(const QString &FileName);

    // Drops queued work, waits for running jobs, ends the threads. Later calls make nothing.
    void Shutdown();

    struct Counts
    {
        int Kept = 0; // finished thumbnails held
        std::size_t KeptBytes = 0;
        int QueuedBackground = 0;
        int QueuedUrgent = 0;
        std::uint64_t Made = 0; // thumbnails drawn (either queue)
        std::uint64_t TakenReady = 0; // requests answered from a kept thumbnail
    };
    Counts Statistics() const;
    // Waits until no background job is queued or running (benchmarks, tests).
    void WaitForBackground();

private:
    struct FileStamp
    {
        std::int64_t Size = -1;
        std::int64_t ModifiedMs = 0;
        bool operator==(const FileStamp &) const = default;
    };
    struct Job;
    using JobPtr = std::shared_ptr<Job>;

    static FileStamp StampOf(const QString &FileName);
    void startThreads(); // under the lock
    void runWorker(bool Background);
    JobPtr newJob(const QString &FileName); // under the lock
    void finish(const JobPtr &Job, QByteArray Jpeg, FileStamp Stamp);

    const std::size_t m_budget;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    QHash<QString, JobPtr> m_jobs;
    std::deque<JobPtr> m_background;
    std::deque<JobPtr> m_urgent;
    std::vector<QThread *> m_threads; // [0] background, then the urgent ones
    JobPtr m_runningBackground;
    std::size_t m_keptBytes = 0;
    std::uint64_t m_made = 0;
    std::uint64_t m_takenReady = 0;
    bool m_stopped = false;
};
