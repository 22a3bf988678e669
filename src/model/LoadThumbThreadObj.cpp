#include "model/LoadThumbThreadObj.h"

#include "util/ImageDecode.h"

#include <QCoreApplication>
#include <QPainter>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>

#include <atomic>
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

// Detached loads share a few threads of their own, so that binding many cards at once queues
// work instead of starting a thread per card, and the global pool stays free.
QThreadPool &ThumbnailPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(qBound(1, QThread::idealThreadCount(), 3));
        p->setExpiryTimeout(5000);
        // Loads still queued at the end of the program must not run into a dismantled Qt.
        qAddPostRoutine([] { WaitForThumbnailLoads(); });
        return p;
    }();
    return *pool;
}

// One run of the loader; Token is the binding it was started for.
void Execute(const std::shared_ptr<Bitmap32> &Bitmap, const QString &FileName, std::uint64_t Token)
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
    const FittedPicture picture
        = DecodeFittedPicture(FileName, {ThumbnailWidth, ThumbnailHeight}, stale);

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

} // namespace

void LoadThumbnail(const std::shared_ptr<Bitmap32> &Bitmap, const QString &FileName, bool Wait)
{
    if (!Bitmap)
        return;
    // Binding also for a waited load: an older detached load into the same bitmap must not
    // paint over the finished picture afterwards.
    const std::uint64_t token = Bitmap->Bind(FileName);
    if (Wait) {
        // On the calling thread: the result is finished on return, and a caller that is
        // itself a pool thread cannot starve the pool.
        Execute(Bitmap, FileName, token);
        return;
    }
    // The task holds its own reference, so the bitmap lives as long as the load.
    RaisePeak(Count().peakQueued, ++Count().queued);
    ThumbnailPool().start([Bitmap, FileName, token] {
        Execute(Bitmap, FileName, token);
        --Count().queued;
    });
}

void WaitForThumbnailLoads()
{
    ThumbnailPool().waitForDone();
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
