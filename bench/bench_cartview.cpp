// The waiting list with 10,000 photos: creating the orders (memory per order), the card pool's
// size, the time of RefreshView at scattered positions and of one wheel step while scrolling
// through the whole list, and how many thumbnail loads run at a time meanwhile.
// Run by bench/run-cartview.sh (offscreen).
#include "cart/uOrderBrowser.h"
#include "cart/uOrderFrame.h"
#include "model/LoadThumbThreadObj.h"
#include "ui/Icons.h"
#include "ui/Skin.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration D)
{
    return std::chrono::duration<double, std::milli>(D).count();
}

struct Summary
{
    double mean = 0, p99 = 0, max = 0;
};

Summary Summarise(std::vector<double> Samples)
{
    Summary s;
    if (Samples.empty())
        return s;
    std::sort(Samples.begin(), Samples.end());
    for (double v : Samples)
        s.mean += v;
    s.mean /= double(Samples.size());
    s.p99 = Samples[std::min(Samples.size() - 1, Samples.size() * 99 / 100)];
    s.max = Samples.back();
    return s;
}

long RssKb()
{
    FILE *f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

std::size_t HeapBytes()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

// Photos of a few sizes, both orientations, with some texture so that they decode like photos.
QStringList MakePhotos(const QString &Folder, int Count)
{
    QStringList paths;
    for (int i = 0; i < Count; ++i) {
        const bool portrait = i % 3 == 0;
        const int w = 320 + (i % 7) * 40, h = 240 + (i % 5) * 30;
        QImage image(portrait ? h : w, portrait ? w : h, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = qRgb((x * 3 + i * 17) & 0xFF, (y * 2 + i * 5) & 0xFF, (x ^ y ^ i) & 0xFF);
        }
        const QString path
            = QDir(Folder).filePath(QStringLiteral("photo%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
        image.save(path, "JPG", 85);
        paths << path;
    }
    return paths;
}

void Wheel(QWidget *Target, int Delta)
{
    const QPoint at = Target->rect().center();
    QWheelEvent event(at, Target->mapToGlobal(at), QPoint(), QPoint(0, Delta), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Target, &event);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitResources();
    ApplySkin(app);
    const int orderCount = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int photoCount = std::min(orderCount, 300);

    QTemporaryDir folder;
    const QStringList photos = MakePhotos(folder.path(), photoCount);

    TOrderBrowser browser;
    browser.resize(747 + 17, 498 + 19);
    browser.show();
    QCoreApplication::processEvents();
    const int pool = int(browser.Frames().size());

    // Orders: measured and rated on creation, like "주문대기 넣기" does.
    const std::size_t heap0 = HeapBytes();
    const long rss0 = RssKb();
    const auto c0 = Clock::now();
    for (int i = 0; i < orderCount; ++i)
        browser.AddOrder(TOrder::Create(photos[i % photoCount]));
    const double createMs = Ms(Clock::now() - c0);
    const std::size_t heap1 = HeapBytes();
    const long rss1 = RssKb();

    const auto r0 = Clock::now();
    browser.RefreshView();
    const double firstRefreshMs = Ms(Clock::now() - r0);
    WaitForThumbnailLoads();
    QCoreApplication::processEvents();

    // RefreshView at scattered positions: every call rebinds the whole pool.
    QScrollBar *bar = browser.ScrollBar();
    std::vector<double> refresh;
    QRandomGenerator random(7);
    for (int i = 0; i < 2000; ++i) {
        {
            const QSignalBlocker block(bar);
            bar->setValue(int(random.bounded(bar->maximum())));
        }
        const auto t0 = Clock::now();
        browser.RefreshView();
        refresh.push_back(Ms(Clock::now() - t0));
        if (i % 50 == 0)
            QCoreApplication::processEvents();
    }
    WaitForThumbnailLoads();
    QCoreApplication::processEvents();

    // The whole list by the wheel, top to bottom, as fast as the events come.
    {
        const QSignalBlocker block(bar);
        bar->setValue(0);
    }
    browser.RefreshView();
    WaitForThumbnailLoads();
    QCoreApplication::processEvents();
    ResetThumbnailLoadPeaks();
    const ThumbnailLoadCounts before = ThumbnailLoadStatistics();
    std::vector<double> steps;
    int peakQueuedSeen = 0;
    const auto s0 = Clock::now();
    while (bar->value() < bar->maximum()) {
        const auto t0 = Clock::now();
        Wheel(browser.Panel(), -120);
        steps.push_back(Ms(Clock::now() - t0));
        QCoreApplication::processEvents();
        peakQueuedSeen = std::max(peakQueuedSeen, ThumbnailLoadStatistics().Queued);
    }
    const double scrollMs = Ms(Clock::now() - s0);
    WaitForThumbnailLoads();
    const ThumbnailLoadCounts after = ThumbnailLoadStatistics();

    // Paced like a user's wheel (one step per 16 ms frame) over the first 300 steps.
    {
        const QSignalBlocker block(bar);
        bar->setValue(0);
    }
    browser.RefreshView();
    WaitForThumbnailLoads();
    QCoreApplication::processEvents();
    ResetThumbnailLoadPeaks();
    for (int i = 0; i < 300; ++i) {
        Wheel(browser.Panel(), -120);
        const auto until = Clock::now() + std::chrono::milliseconds(16);
        while (Clock::now() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    WaitForThumbnailLoads();
    const ThumbnailLoadCounts paced = ThumbnailLoadStatistics();

    const Summary rs = Summarise(refresh), ws = Summarise(steps);
    std::printf("orders %d (of %d photos), pool %d cards, cards after scrolling %zu\n", orderCount,
        photoCount, pool, browser.Frames().size());
    std::printf(
        "create orders: %.1f ms (%.1f us per order)\n", createMs, createMs * 1000.0 / orderCount);
    std::printf("memory: heap %.0f bytes per order, rss %.0f bytes per order\n",
        double(heap1 - heap0) / orderCount, double(rss1 - rss0) * 1024.0 / orderCount);
    std::printf("first RefreshView: %.3f ms\n", firstRefreshMs);
    std::printf("RefreshView at %zu scattered positions: mean %.3f ms, p99 %.3f ms, max %.3f ms\n",
        refresh.size(), rs.mean, rs.p99, rs.max);
    std::printf(
        "wheel step (%zu steps, whole list, %.0f ms): mean %.3f ms, p99 %.3f ms, max %.3f ms\n",
        steps.size(), scrollMs, ws.mean, ws.p99, ws.max);
    std::printf("thumbnail loads while scrolling at full speed: decoding at once peak %d, queued "
                "peak %d, drawn %llu, stale skipped %llu\n",
        after.PeakDecoding, std::max(after.PeakQueued, peakQueuedSeen),
        (unsigned long long)(after.Decoded - before.Decoded),
        (unsigned long long)(after.Stale - before.Stale));
    std::printf("thumbnail loads at one wheel step per frame (300 steps): decoding at once peak "
                "%d, queued peak %d\n",
        paced.PeakDecoding, paced.PeakQueued);
    return browser.Frames().size() == std::size_t(pool) ? 0 : 1;
}
