#include "model/LoadThumbThreadObj.h"

#include "model/ThumbnailService.h"

#include <QHash>
#include <QPainter>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

struct Counters
{
    std::atomic<int> queued {0}, decoding {0}, peakQueued {0}, peakDecoding {0};
    std::atomic<std::uint64_t> decoded {0}, stale {0};
};

Counters &Count()
{
    static Counters counters;
    return counters;
}

void RaisePeak(std::atomic<int> &Peak, int Value)
{
    int peak = Peak.load(std::memory_order_relaxed);
    while (Value > peak && !Peak.compare_exchange_weak(peak, Value, std::memory_order_relaxed)) { }
}

// Counts one running decode for as long as it lives.
struct DecodingScope
{
    DecodingScope() { RaisePeak(Count().peakDecoding, ++Count().decoding); }
    ~DecodingScope() { --Count().decoding; }
};

// The detached loads not yet ended, by bitmap: binding a bitmap anew takes its queued load
// out of the service, and the program-end wait waits for the rest.
struct Pending
{
    std::mutex mutex;
    std::condition_variable ended;
    struct Entry
    {
        std::uint64_t Serial = 0;
        ThumbnailTicket Ticket;
    };
    QHash<const Bitmap32 *, Entry> tickets;
    std::uint64_t nextSerial = 0;
    int count = 0;
};

Pending &ThePending()
{
    static Pending pending;
    return pending;
}

void EndPending(const Bitmap32 *Bitmap, std::uint64_t Serial)
{
    Pending &p = ThePending();
    std::lock_guard lock(p.mutex);
    const auto it = p.tickets.constFind(Bitmap);
    if (it != p.tickets.cend() && it->Serial == Serial)
        p.tickets.erase(it);
    --p.count;
    --Count().queued;
    p.ended.notify_all();
}

// One run of the loader; Token is the binding it was started for.
void Execute(const ThumbnailContext &Context, const std::shared_ptr<Bitmap32> &Bitmap,
    const QString &FileName, std::uint64_t Token)
{
    const auto stale = [&] { return Bitmap->CurrentBinding() != Token; };
    if (stale()) {
        ++Count().stale;
        return;
    }
    const DecodingScope decoding;

    // Decoding happens outside the lock: a card that paints meanwhile shows the previous
    // picture instead of waiting for the decoder. A load whose card is bound anew meanwhile
    // stops waiting for decode memory.
    const FittedPicture picture = Context.Fit(FileName, {ThumbnailWidth, ThumbnailHeight});

    Bitmap32Locker lock(*Bitmap);
    if (stale()) {
        ++Count().stale;
        return;
    }
    Bitmap->SetSize(ThumbnailWidth, ThumbnailHeight);
    Bitmap->Clear(0xFFFFFFFF);
    if (!picture.Image.isNull()) {
        QPainter painter(&Bitmap->Image());
        painter.drawImage(picture.Fit.Left, picture.Fit.Top, picture.Image);
    }
    ++Count().decoded;
    Bitmap->NotifyChanged();
}

// The bitmap's queued load, if any, leaves the queue: it would only find itself stale.
void CancelQueuedLoad(const Bitmap32 *Bitmap)
{
    Pending::Entry entry;
    {
        Pending &p = ThePending();
        std::lock_guard lock(p.mutex);
        entry = p.tickets.value(Bitmap);
    }
    if (!entry.Ticket.IsNull() && ThumbnailService::Shared().Cancel(entry.Ticket)) {
        ++Count().stale;
        EndPending(Bitmap, entry.Serial);
    }
}

} // namespace

void LoadThumbnail(const std::shared_ptr<Bitmap32> &Bitmap, const QString &FileName, bool Wait)
{
    if (!Bitmap)
        return;
    // Binding also for a waited load: an older detached load into the same bitmap must not
    // paint over the finished picture afterwards.
    const std::uint64_t token = Bitmap->Bind(FileName);
    CancelQueuedLoad(Bitmap.get());
    if (Wait) {
        // On the pool at a card's priority, or on the calling thread when that is a worker of
        // the pool already: the result is finished on return.
        ThumbnailService::Shared().Run(ThumbnailPriority::Card,
            [&](const ThumbnailContext &Context) { Execute(Context, Bitmap, FileName, token); });
        return;
    }
    Pending &p = ThePending();
    const Bitmap32 *key = Bitmap.get();
    std::uint64_t serial = 0;
    {
        // Filed before the job exists, so that a job which ends at once finds its entry.
        std::lock_guard lock(p.mutex);
        ++p.count;
        serial = ++p.nextSerial;
        p.tickets.insert(key, {serial, {}});
    }
    RaisePeak(Count().peakQueued, ++Count().queued);
    // The job holds its own reference, so the bitmap lives as long as the load.
    ThumbnailOrder work;
    work.Priority = ThumbnailPriority::Card;
    work.StillWanted = [Bitmap, token] { return Bitmap->CurrentBinding() == token; };
    work.Work = [Bitmap, FileName, token, serial](const ThumbnailContext &Context) {
        Execute(Context, Bitmap, FileName, token);
        EndPending(Bitmap.get(), serial);
    };
    work.Dropped = [key, serial] {
        ++Count().stale;
        EndPending(key, serial);
    };
    const ThumbnailTicket ticket = ThumbnailService::Shared().Submit(std::move(work));
    if (ticket.IsNull()) { // the program is ending
        EndPending(key, serial);
        return;
    }
    std::lock_guard lock(p.mutex);
    const auto it = p.tickets.find(key);
    if (it != p.tickets.end() && it->Serial == serial)
        it->Ticket = ticket;
}

void WaitForThumbnailLoads()
{
    Pending &p = ThePending();
    std::unique_lock lock(p.mutex);
    p.ended.wait(lock, [&] { return p.count == 0; });
}

ThumbnailLoadCounts ThumbnailLoadStatistics()
{
    const Counters &c = Count();
    ThumbnailLoadCounts counts;
    counts.Queued = c.queued.load();
    counts.Decoding = c.decoding.load();
    counts.PeakQueued = c.peakQueued.load();
    counts.PeakDecoding = c.peakDecoding.load();
    counts.Decoded = c.decoded.load();
    counts.Stale = c.stale.load();
    return counts;
}

void ResetThumbnailLoadPeaks()
{
    Counters &c = Count();
    c.peakQueued = c.queued.load();
    c.peakDecoding = c.decoding.load();
}
