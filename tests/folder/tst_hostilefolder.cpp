// A folder of photos crafted to exhaust the decoders, opened in the folder page's grid while the
// cart shows the same photos: every thumbnail comes back (white where no picture can be made),
// the program stays up and its memory stays within the decode budget.

#include "app/MainFrm.h"
#include "cart/uOrderBrowser.h"
#include "common/AppTestMain.h"
#include "common/HostileFixtures.h"
#include "folder/FolderPage.h"
#include "folder/FolderTree.h"
#include "folder/PhotoGrid.h"
#include "model/LoadThumbThreadObj.h"
#include "model/uBrimvaleOrders.h"
#include "util/DecodeBudget.h"

#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace fixtures;
using namespace hostile;

namespace {

constexpr qint64 MiB = qint64(1) << 20;
// Small enough that the crafted photos below would need several times as much at once.
constexpr qint64 Budget = 64 * MiB, Cap = 48 * MiB;
// The thumbnails themselves, the cards' bitmaps, painting: what the program holds beside the
// decoders.
constexpr qint64 Beside = 24 * MiB;

} // namespace

class tst_hostilefolder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;
    QStringList m_photos;
    std::unique_ptr<TfrmMain> m_main;

    PhotoGrid *grid() const { return m_main->Folders()->ivList(); }

private slots:
    void initTestCase()
    {
        qputenv("KESTRUN_WEB_URL", "http://127.0.0.1:9");
        qputenv("KESTRUN_CONFIG", m_dir.filePath("Kestrun.cfg").toUtf8());
        SetDecodeBudget(Budget, Cap);

        // 20 photos: each kind a few times, named .jpg so that the grid offers them all.
        m_folder = m_dir.filePath("hostile");
        QDir().mkpath(m_folder);
        const QList<std::pair<const char *, QByteArray>> kinds {
            {"progressive-444-under-cap", ProgressiveClaiming(2800, 2800)},
            {"progressive-444-9400", ProgressiveClaiming(9400, 9400)},
            {"progressive-grey-16000x12000", ProgressiveClaiming(16000, 12000, true)},
            {"exif-thumbnail-14142", ExifThumbnailClaiming(14142)},
            {"split-scan-under-cap", SplitScanClaiming(2800, 2800)},
            {"png-bomb-under-cap", PngBomb(2000, 2000)},
            {"png-bomb-8000", PngBomb(8000, 8000)},
            {"noisy-progressive-under-cap", NoisyScan(ProgressiveClaiming(2700, 2700))},
            {"cut-progressive", Cut(ProgressiveClaiming(9400, 9400), 300)},
            {"photo", EncodeJpeg(Textured(640, 480))},
        };
        for (int i = 0; i < 20; ++i) {
            const auto &[kind, bytes] = kinds[i % kinds.size()];
            m_photos << WriteFixture(m_folder, QStringLiteral("%1-%2.jpg").arg(kind).arg(i), bytes);
        }

        m_main = std::make_unique<TfrmMain>(QStringList {"KestrunBrimvale", "guest"});
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    }

    void cleanupTestCase()
    {
        m_main.reset();
        SetDecodeBudget(DefaultDecodeBudget, DefaultDecodeBudget);
    }

    void gridAndCartStayWithinTheBudget()
    {
        TOrderBrowser *cart = m_main->OrderBrowser();
        QVERIFY(cart);
        // The program as it stands before any of these photos is decoded.
        QVERIFY(PeakMemory::Reset());
        const qint64 baseline = PeakMemory::Rss();
        ResetDecodeBudgetPeaks();
        const DecodeBudgetCounts before = DecodeBudgetStatistics();

        for (const QString &photo : m_photos)
            cart->AddOrder(TOrder::Create(photo));
        cart->RefreshView();
        m_main->btnCartViewClick();
        // The cards load on their own threads while the folder opens in the grid.
        m_main->pcMain()->setCurrentIndex(TfrmMain::FolderPageIndex);
        QVERIFY(m_main->Folders()->tvFolder()->SelectFolder(m_folder));
        QTRY_COMPARE_WITH_TIMEOUT(grid()->ImageCount(), int(m_photos.size()), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!grid()->ThumbnailsPending(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(ThumbnailLoadStatistics().Queued == 0, 60000);
        WaitForThumbnailLoads();
        // Scroll through the grid, so that every photo is asked for and comes back.
        for (int i = 0; i < grid()->ImageCount(); ++i) {
            grid()->scrollTo(grid()->model()->index(i, 0));
            QTRY_VERIFY_WITH_TIMEOUT(!grid()->ThumbnailsPending(), 60000);
        }

        // Thumbnails for the upload are drawn ahead in the background as well.
        QTRY_COMPARE_WITH_TIMEOUT(DecodeBudgetStatistics().InUse, 0, 60000);
        const qint64 peak = PeakMemory::Peak() - baseline;
        const DecodeBudgetCounts after = DecodeBudgetStatistics();
        qInfo("peak +%.1f MB over %.1f MB; budget held at most %.1f MB; %llu decodes waited, "
              "%llu refused",
            peak / 1e6, baseline / 1e6, after.PeakInUse / 1e6,
            (unsigned long long)(after.Waited - before.Waited),
            (unsigned long long)(after.Refused - before.Refused));
        QCOMPARE(cart->OrderCount(), int(m_photos.size()));
        QVERIFY(after.PeakInUse <= Budget);
        QVERIFY(after.Refused > before.Refused); // the photos over the cap were refused
        QVERIFY2(peak <= Budget + Beside, qPrintable(QString::number(peak / 1e6)));
    }
};

KB_APP_TEST_MAIN(tst_hostilefolder)
#include "tst_hostilefolder.moc"
