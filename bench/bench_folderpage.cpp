// The folder page on a folder of many photos, as a customer meets it: from the folder click to
// the grid listing every photo, to the first screen of thumbnails, and to the read-ahead done;
// the peak memory while paging from top to bottom; and putting 1,000 selected photos on the
// waiting list. Also the thumbnail throughput alone, for the comparison with other tools.
//   bench_folderpage make <folder> [count]       photos: 640 x 480 JPEGs, every second one with
//                                                an EXIF thumbnail of 160 x 120
//   bench_folderpage page <folder>               the page figures
//   bench_folderpage thumbs <folder> [count]     thumbnails of the first count photos on the
//                                                thumbnail service's threads
// Both print the most decoding threads busy at once (the thumbnail service's workers).
// Run by bench/run-folderpage.sh.
#include "../tests/common/JpegFixtures.h"
#include "app/KestrunApplication.h"
#include "app/MainFrm.h"
#include "cart/uOrderBrowser.h"
#include "folder/FolderPage.h"
#include "folder/FolderTree.h"
#include "folder/PhotoGrid.h"
#include "folder/PhotoThumbnails.h"
#include "model/ThumbnailService.h"
#include "ui/Skin.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTabWidget>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent>

#include <cstdio>
#include <numeric>
#include <sys/resource.h>

namespace {

double peakRssMb()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double currentRssMb()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.value(1).toLongLong() * 4096.0 / (1 << 20);
}

int makePhotos(const QString &Folder, int Count)
{
    QDir().mkpath(Folder);
    QList<QImage> bases;
    for (unsigned i = 0; i < 8; ++i)
        bases.append(fixtures::Textured(640, 480, i + 1));
    const QByteArray thumbnail = fixtures::EncodeJpeg(fixtures::Textured(160, 120, 7), 80);
    QList<int> numbers(Count);
    std::iota(numbers.begin(), numbers.end(), 0);
    QtConcurrent::blockingMap(numbers, [&](int i) {
        QImage picture = bases[i % 8];
        QPainter(&picture).fillRect(
            20 + i % 300, 20 + i % 200, 120, 90, QColor::fromHsv(i * 7 % 360, 200, 230));
        QByteArray bytes = fixtures::EncodeJpeg(picture, 85);
        if (i % 2 == 0)
            bytes = fixtures::WithExif(bytes, thumbnail);
        QFile file(QStringLiteral("%1/P%2.jpg").arg(Folder).arg(i, 5, 10, QChar('0')));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    });
    std::printf("made %d photos in %s\n", Count, qPrintable(Folder));
    return 0;
}

int thumbnails(const QString &Folder, int Count)
{
    QStringList files = QDir(Folder).entryList({"*.jpg"}, QDir::Files, QDir::Name);
    files = files.mid(0, Count);
    for (QString &f : files)
        f = Folder + '/' + f;
    ThumbnailService &service = ThumbnailService::Shared();
    service.ResetPeaks();
    QElapsedTimer clock;
    clock.start();
    std::atomic<int> made {0};
    for (const QString &f : files) {
        ThumbnailOrder job;
        job.Priority = ThumbnailPriority::OnScreen;
        job.Work = [&made, f](const ThumbnailContext &Context) {
            if (!PhotoThumbnailLoader::MakeThumbnail(Context, f, {130, 130}).isNull())
                ++made;
        };
        service.Submit(std::move(job));
    }
    service.WaitForIdle();
    const double ms = clock.nsecsElapsed() / 1e6;
    const ThumbnailService::Counts counts = service.Statistics();
    std::printf("thumbnails %d of %d in %.0f ms: %.0f per second on %d threads\n", made.load(),
        int(files.size()), ms, files.size() * 1000.0 / ms, counts.Threads);
    std::printf("decoding threads busy at once: peak %d (cores %d)\n", counts.PeakBusy,
        QThread::idealThreadCount());
    return 0;
}

void wait(int Ms)
{
    QEventLoop loop;
    QTimer::singleShot(Ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A left click as the mouse gives it: press and release at Point.
void click(QWidget *Target, QPoint Point, Qt::KeyboardModifiers Modifiers = {})
{
    const QPointF global = Target->mapToGlobal(QPointF(Point));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(Point), global, Qt::LeftButton,
        Qt::LeftButton, Modifiers);
    QCoreApplication::sendEvent(Target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(Point), global, Qt::LeftButton,
        Qt::NoButton, Modifiers);
    QCoreApplication::sendEvent(Target, &release);
}

bool visibleDone(PhotoGrid *Grid, int Extra = 0)
{
    const auto [first, last] = Grid->VisibleRange();
    const int end = qMin(Grid->ImageCount() - 1, last + Extra);
    for (int p = first; p <= end; ++p)
        if (!Grid->HasThumbnail(p))
            return false;
    return true;
}

template<class Pred> void spinUntil(Pred &&Done)
{
    while (!Done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
}

int page(const QString &Folder)
{
    TfrmMain main({QStringLiteral("KestrunBrimvale"), QStringLiteral("guest")});
    if (!main.OrderBrowserPanel()->findChild<TOrderBrowser *>()) // until the cart page has one
        main.OrderBrowserPanel()->layout()->addWidget(new TOrderBrowser(main.OrderBrowserPanel()));
    main.show();
    wait(300); // shown, and the tree has listed the root
    PhotoGrid *grid = main.Folders()->ivList();
    std::printf("before the folder: rss %.1f MB\n", currentRssMb());

    QElapsedTimer clock;
    clock.start();
    main.Folders()->tvFolder()->SelectFolder(Folder);
    grid->VisibleRange(); // laid out
    QCoreApplication::processEvents(); // and painted
    const double listed = clock.nsecsElapsed() / 1e6;
    spinUntil([&] { return visibleDone(grid); });
    const double firstScreen = clock.nsecsElapsed() / 1e6;
    const auto [first, last] = grid->VisibleRange();
    spinUntil([&] { return !grid->ThumbnailsPending(); });
    const double ahead = clock.nsecsElapsed() / 1e6;
    std::printf("listing %d photos: %.1f ms\n", grid->ImageCount(), listed);
    std::printf("first screen (%d thumbnails): %.1f ms\n", last - first + 1, firstScreen);
    std::printf("screen and %d ahead (%d thumbnails): %.1f ms, %.0f per second\n",
        PhotoGrid::ReadAhead, grid->ThumbnailCount(), ahead,
        grid->ThumbnailCount() * 1000.0 / ahead);

    // Paging down to the end, each page waiting for its thumbnails as an eye would.
    QScrollBar *bar = grid->verticalScrollBar();
    clock.restart();
    for (int v = 0; v < bar->maximum() + bar->pageStep(); v += bar->pageStep()) {
        bar->setValue(qMin(v, bar->maximum()));
        QCoreApplication::processEvents();
        spinUntil([&] { return visibleDone(grid); });
    }
    std::printf("paged to the end in %.0f ms: cache %d thumbnails, %.1f MB; rss %.1f MB, peak "
                "rss %.1f MB\n",
        clock.nsecsElapsed() / 1e6, grid->ThumbnailCount(), grid->ThumbnailBytes() / 1048576.0,
        currentRssMb(), peakRssMb());

    // 1,000 selected by two clicks (the first photo, Shift on the 1,000th), then put on the list.
    bar->setValue(0);
    QCoreApplication::processEvents();
    click(grid->viewport(), grid->ImageRect(0).center());
    grid->scrollTo(grid->model()->index(999, 0));
    QCoreApplication::processEvents();
    click(grid->viewport(), grid->ImageRect(999).center(), Qt::ShiftModifier);
    auto *browser = main.OrderBrowserPanel()->findChild<TOrderBrowser *>();
    if (!browser || grid->SelectedImagesCount() != 1000) {
        std::printf("no browser or selection %d\n", grid->SelectedImagesCount());
        return 1;
    }
    clock.restart();
    main.btnAddToListClick();
    const double added = clock.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    std::printf("adding 1000 photos: %.1f ms (%d orders, page %d), peak rss %.1f MB\n", added,
        browser->OrderCount(), main.pcMain()->currentIndex(), peakRssMb());
    std::printf("decoding threads busy at once: peak %d (cores %d)\n",
        ThumbnailService::Shared().Statistics().PeakBusy, QThread::idealThreadCount());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("KESTRUN_WEBVIEW", "text");
    if (qEnvironmentVariableIsEmpty("KESTRUN_WEB_URL"))
        qputenv("KESTRUN_WEB_URL", "http://127.0.0.1:9");
    KestrunApplication app(argc, argv);
    ApplySkin(app);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    const QString folder = args.value(2);
    if (mode == "make" && !folder.isEmpty())
        return makePhotos(folder, args.value(3, "10000").toInt());
    if (mode == "thumbs" && !folder.isEmpty())
        return thumbnails(folder, args.value(3, "1000").toInt());
    if (mode == "page" && !folder.isEmpty())
        return page(QDir(folder).absolutePath());
    std::fprintf(stderr, "usage: bench_folderpage make|page|thumbs <folder> [count]\n");
    return 2;
}
