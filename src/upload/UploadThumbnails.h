#pragma once

#include "model/ThumbnailService.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>

// The upload's thumbnails (120 x 105 JPEG), made ahead of time on the thumbnail service.
// Drawing a thumbnail means decoding the photo, which for a camera photo without a usable
// EXIF thumbnail costs more than sending it over a fast line; so the order list asks for them
// as photos join it, and they are drawn at idle while the customer sets his prints. The upload
// then asks for each photo's thumbnail a few photos ahead: a ready one is taken at once if the
// file is unchanged, a queued one moves up to the upload's priority, the rest are made there.
//
// Thumbnails are keyed by file name and remember the size and modification time of the file
// they were drawn from; a photo changed since is drawn again. Finished thumbnails are kept up
// to a byte budget; beyond it, no more are made ahead (the upload still makes its own).
class UploadThumbnails
{
public:
    explicit UploadThumbnails(std::size_t BudgetBytes = 64u << 20,
        ThumbnailService &Service = ThumbnailService::Shared());
    ~UploadThumbnails(); // Shutdown()

    // The program's kept thumbnails, shared by the order list and the upload. They have no
    // thread of their own: the thumbnail service's end drops their queued work.
    static UploadThumbnails &Shared();

    // The thumbnail of one photo, as the upload stores it: the photo fitted and centred on
    // white (all white when it cannot be decoded), encoded as a baseline JPEG. Empty only when
    // encoding fails.
    static QByteArray Make(const QString &FileName);

    // Makes the thumbnail in the background, unless it is kept, queued or over the budget.
    void Prepare(const QString &FileName);
    // The thumbnail for an upload: a kept one if the file is unchanged, otherwise made at the
    // upload's priority (a queued background job moves up). The future is never broken; it
    // holds an empty array when the work was dropped (Withdraw, Forget, Shutdown).
    std::shared_future<QByteArray> Request(const QString &FileName);
    // The upload no longer waits (it was cancelled or failed): its jobs still queued go back
    // to drawing ahead when the order list asked for them too, the others are dropped.
    void Withdraw();
    // The photo left the order list: its thumbnail is dropped, a queued job taken out.
    void Forget(const QString &FileName);

    // Drops queued work and waits for running jobs. Later calls make nothing.
    void Shutdown();

    struct Counts
    {
        int Kept = 0; // finished thumbnails held
        std::size_t KeptBytes = 0;
        int QueuedBackground = 0;
        int QueuedUrgent = 0;
        std::uint64_t Made = 0; // thumbnails drawn (either priority)
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

    static FileStamp stampOf(const QString &FileName);
    JobPtr submit(const QString &FileName, bool Urgent); // under the lock
    void run(const JobPtr &Job, const ThumbnailContext &Context);
    void drop(const JobPtr &Job); // under the lock: the job ends without a picture
    void finish(const JobPtr &Job, QByteArray Jpeg, FileStamp Stamp); // under the lock

    const std::size_t m_budget;
    ThumbnailService &m_service;
    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    QHash<QString, JobPtr> m_jobs;
    int m_inService = 0; // jobs the service holds for us, queued or running
    int m_running = 0;
    int m_runningBackground = 0;
    std::size_t m_keptBytes = 0;
    std::uint64_t m_made = 0;
    std::uint64_t m_takenReady = 0;
    bool m_stopped = false;
};
