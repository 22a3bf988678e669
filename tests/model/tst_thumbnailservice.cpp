// The one thumbnail pool: queued work starts by priority, work nobody waits for any more never
// decodes, and a burst from the grid, the cards and the upload at once never runs more
// decoding threads than the machine has cores plus one.
#include "common/JpegFixtures.h"
#include "folder/PhotoThumbnails.h"
#include "model/LoadThumbThreadObj.h"
#include "model/ThumbnailService.h"
#include "upload/UploadThumbnails.h"
#include "util/DecodeBudget.h"

#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <future>
#include <mutex>

using namespace fixtures;

Q_DECLARE_METATYPE(ThumbnailPriority)

namespace {

// Holds every worker of a service busy until released, so that what is submitted meanwhile
// queues and the order it starts in can be seen.
class Blocker
{
public:
    explicit Blocker(ThumbnailService &Service)
        : m_gate(m_release.get_future().share())
    {
        const int threads = Service.Statistics().Threads;
        for (int i = 0; i < threads; ++i) {
            ThumbnailOrder job;
            job.Priority = ThumbnailPriority::OnScreen;
            job.Work = [this, gate = m_gate](const ThumbnailContext &) {
                ++m_started;
                gate.wait();
            };
            Service.Submit(std::move(job));
        }
        // Started, not just queued: only then does later work queue behind them.
        QTRY_COMPARE_WITH_TIMEOUT(m_started.load(), threads, 30000);
    }
    ~Blocker() { Release(); }
    void Release()
    {
        if (!m_released.exchange(true))
            m_release.set_value();
    }

private:
    std::promise<void> m_release;
    std::shared_future<void> m_gate;
    std::atomic<int> m_started {0};
    std::atomic<bool> m_released {false};
};

// The names of jobs in the order they ran.
class RunOrder
{
public:
    ThumbnailOrder Job(const QString &Name, ThumbnailPriority Priority)
    {
        ThumbnailOrder job;
        job.Priority = Priority;
        job.Work = [this, Name](const ThumbnailContext &) {
            std::lock_guard lock(m_mutex);
            m_names << Name;
        };
        return job;
    }
    QStringList Names()
    {
        std::lock_guard lock(m_mutex);
        return m_names;
    }

private:
    std::mutex m_mutex;
    QStringList m_names;
};

} // namespace

class tst_thumbnailservice : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString photo(const QString &Name, int Width = 640, int Height = 480)
    {
        return WriteFixture(m_dir.path(), Name, EncodeJpeg(Textured(Width, Height)));
    }

private slots:
    void cleanupTestCase()
    {
        WaitForThumbnailLoads();
        ThumbnailService::Shared().WaitForIdle();
    }

    void sizedToTheMachine()
    {
        const int cores = qMax(1, QThread::idealThreadCount());
        QVERIFY(ThumbnailService::DefaultThreadCount() >= qMin(2, cores + 1));
        QVERIFY(ThumbnailService::DefaultThreadCount() <= cores + 1);
        QCOMPARE(ThumbnailService::Shared().Statistics().Threads,
            ThumbnailService::DefaultThreadCount());
    }

    // Submitted in row order while the pool is busy; started by priority, then submission.
    void startsByPriority_data()
    {
        QTest::addColumn<QStringList>("submitted"); // name:priority
        QTest::addColumn<QStringList>("started");
        QTest::newRow("idle and upload queued before an on-screen cell") << QStringList {
            "ahead:3", "upload:2", "screen:0"} << QStringList {"screen", "upload", "ahead"};
        QTest::newRow("all four, lowest first") << QStringList {"ahead:3", "upload:2", "card:1",
            "screen:0"} << QStringList {"screen", "card", "upload", "ahead"};
        QTest::newRow("one priority keeps its order")
            << QStringList {"a1:3", "c1:1", "a2:3", "c2:1"} << QStringList {"c1", "c2", "a1", "a2"};
    }

    void startsByPriority()
    {
        QFETCH(QStringList, submitted);
        QFETCH(QStringList, started);
        ThumbnailService service(1);
        RunOrder order;
        {
            Blocker busy(service);
            for (const QString &entry : submitted) {
                const QStringList parts = entry.split(':');
                service.Submit(order.Job(parts[0], ThumbnailPriority(parts[1].toInt())));
            }
        }
        service.WaitForIdle();
        QCOMPARE(order.Names(), started);
    }

    // A queued upload job asked for now moves ahead of later drawing-ahead work.
    void requeueMovesAJob()
    {
        ThumbnailService service(1);
        RunOrder order;
        {
            Blocker busy(service);
            const ThumbnailTicket first
                = service.Submit(order.Job("first", ThumbnailPriority::Ahead));
            service.Submit(order.Job("second", ThumbnailPriority::Ahead));
            const ThumbnailTicket later
                = service.Submit(order.Job("later", ThumbnailPriority::Ahead));
            QVERIFY(service.Requeue(later, ThumbnailPriority::Upload));
            QVERIFY(service.Requeue(first, ThumbnailPriority::Ahead)); // to the back
        }
        service.WaitForIdle();
        QCOMPARE(order.Names(), QStringList({"later", "second", "first"}));
    }

    // Work taken out of the queue, or no longer wanted when its turn comes, never reserves
    // decode memory, so it never decodes.
    void abandonedWorkNeverDecodes()
    {
        const QString file = photo("abandoned.jpg", 2000, 1500);
        ThumbnailService service(1);
        std::atomic<int> worked {0}, dropped {0};
        const auto decoding = [&] {
            ThumbnailOrder job;
            job.Priority = ThumbnailPriority::OnScreen;
            job.Work = [&, file](const ThumbnailContext &Context) {
                ++worked;
                Context.Fit(file, {130, 130});
            };
            job.Dropped = [&] { ++dropped; };
            return job;
        };
        const quint64 granted = DecodeBudgetStatistics().Granted;
        {
            Blocker busy(service);
            const ThumbnailTicket cancelled = service.Submit(decoding());
            QVERIFY(service.Cancel(cancelled));
            QVERIFY(!service.Cancel(cancelled)); // once
            ThumbnailOrder unwanted = decoding();
            unwanted.StillWanted = [] { return false; };
            service.Submit(std::move(unwanted));
        }
        service.WaitForIdle();
        QCOMPARE(worked.load(), 0);
        QCOMPARE(dropped.load(), 1); // the unwanted one is told, the cancelled one is not
        QCOMPARE(DecodeBudgetStatistics().Granted, granted);
        QCOMPARE(service.Statistics().Cancelled, 1u);
        QCOMPARE(service.Statistics().Dropped, 1u);
    }

    // A card bound to another photo while its first load still queues: that load leaves the
    // queue at once, and only the photo bound last is drawn.
    void reboundCardCancelsItsQueuedLoad()
    {
        const QString a = photo("card-a.jpg");
        const QString b
            = WriteFixture(m_dir.path(), "card-b.jpg", EncodeJpeg(Solid(120, 105, Qt::blue)));
        WaitForThumbnailLoads();
        const ThumbnailLoadCounts before = ThumbnailLoadStatistics();
        auto bitmap = Bitmap32::Create();
        {
            Blocker busy(ThumbnailService::Shared());
            LoadThumbnail(bitmap, a, false);
            LoadThumbnail(bitmap, b, false);
            QCOMPARE(ThumbnailLoadStatistics().Stale, before.Stale + 1);
            QCOMPARE(ThumbnailLoadStatistics().Queued, 1);
        }
        WaitForThumbnailLoads();
        QCOMPARE(ThumbnailLoadStatistics().Decoded, before.Decoded + 1);
        const QColor centre = bitmap->Snapshot().pixelColor(60, 52);
        QVERIFY2(centre.blue() > 200 && centre.red() < 40, qPrintable(centre.name()));
    }

    // Rows scrolled away leave the queue; a folder left behind gives no results.
    void gridDropsWhatScrolledAway()
    {
        ThumbnailService service(1);
        PhotoThumbnailLoader loader({130, 130}, nullptr, service);
        std::mutex mutex;
        QList<QPair<quint64, int>> loaded;
        connect(
            &loader, &PhotoThumbnailLoader::Loaded, this,
            [&](quint64 Generation, int Position, const QImage &Picture) {
                QVERIFY(!Picture.isNull());
                std::lock_guard lock(mutex);
                loaded.append({Generation, Position});
            },
            Qt::DirectConnection);
        std::vector<PhotoThumbnailLoader::Job> all, lower;
        for (int p = 0; p < 8; ++p) {
            const QString file = photo(QStringLiteral("grid%1.jpg").arg(p), 320, 240);
            all.push_back({p, file, p < 4});
            if (p >= 5)
                lower.push_back({p, file, true});
        }
        {
            Blocker busy(service);
            loader.SetWanted(1, all);
            QVERIFY(loader.Busy());
            loader.SetWanted(1, lower); // scrolled down: 0..4 are no longer wanted
            loader.SetWanted(2, {}); // and another folder
            loader.SetWanted(3, lower);
        }
        loader.WaitForDone();
        QVERIFY(!loader.Busy());
        std::lock_guard lock(mutex);
        QCOMPARE(loaded, (QList<QPair<quint64, int>> {{3, 5}, {3, 6}, {3, 7}}));
        QCOMPARE(service.Statistics().Ran, 3u + 1u); // the blocker and the three
    }

    // An upload that ends early: its own asks are dropped, the order list's go back to
    // drawing ahead.
    void withdrawnUploadWork()
    {
        const QString asked = photo("asked.jpg");
        const QString prepared = photo("prepared.jpg");
        ThumbnailService service(1);
        UploadThumbnails thumbnails(64u << 20, service);
        std::shared_future<QByteArray> askedFuture, preparedFuture;
        {
            Blocker busy(service);
            thumbnails.Prepare(prepared);
            askedFuture = thumbnails.Request(asked);
            preparedFuture = thumbnails.Request(prepared);
            QCOMPARE(thumbnails.Statistics().QueuedUrgent, 2);
            thumbnails.Withdraw();
            QCOMPARE(thumbnails.Statistics().QueuedUrgent, 0);
            QCOMPARE(thumbnails.Statistics().QueuedBackground, 1);
            QCOMPARE(askedFuture.wait_for(std::chrono::seconds(0)), std::future_status::ready);
            QVERIFY(askedFuture.get().isEmpty());
        }
        thumbnails.WaitForBackground();
        QCOMPARE(thumbnails.Statistics().Made, 1u);
        QVERIFY(!preparedFuture.get().isEmpty());
        QCOMPARE(thumbnails.Request(prepared).get(), preparedFuture.get());
        QCOMPARE(thumbnails.Statistics().TakenReady, 1u);
    }

    // The grid, thirty cards and an upload with its photos prepared ahead, all at once.
    void burstFromEveryCallerKeepsTheCap()
    {
        QStringList files;
        for (int i = 0; i < 24; ++i)
            files << photo(QStringLiteral("burst%1.jpg").arg(i), 1600, 1200);
        ThumbnailService &service = ThumbnailService::Shared();
        service.WaitForIdle();
        service.ResetPeaks();

        PhotoThumbnailLoader grid({130, 130});
        std::atomic<int> gridLoaded {0};
        connect(
            &grid, &PhotoThumbnailLoader::Loaded, this,
            [&](quint64, int, const QImage &) { ++gridLoaded; }, Qt::DirectConnection);
        std::vector<PhotoThumbnailLoader::Job> wanted;
        for (int p = 0; p < 96; ++p)
            wanted.push_back({p, files[p % files.size()], p < 20});
        grid.SetWanted(1, wanted);

        std::vector<std::shared_ptr<Bitmap32>> cards;
        for (int i = 0; i < 30; ++i) {
            cards.push_back(Bitmap32::Create());
            LoadThumbnail(cards.back(), files[i % files.size()], false);
        }
        UploadThumbnails upload;
        std::vector<std::shared_future<QByteArray>> asked;
        for (int i = 0; i < files.size(); ++i) {
            upload.Prepare(files[i]);
            if (i % 3 == 0)
                asked.push_back(upload.Request(files[i]));
        }

        grid.WaitForDone();
        WaitForThumbnailLoads();
        for (const auto &future : asked)
            QVERIFY(!future.get().isEmpty());
        upload.WaitForBackground();
        QCOMPARE(gridLoaded.load(), 96);
        const ThumbnailService::Counts counts = service.Statistics();
        QVERIFY2(counts.PeakBusy <= QThread::idealThreadCount() + 1,
            qPrintable(QString::number(counts.PeakBusy)));
        QVERIFY(counts.PeakBusy >= 2); // the burst did run side by side
    }
};

QTEST_GUILESS_MAIN(tst_thumbnailservice)
#include "tst_thumbnailservice.moc"
