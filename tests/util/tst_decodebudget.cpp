// The decode memory budget: reservations that wait their turn, refuse what exceeds the cap and
// give up when cancelled; and crafted photos that claim huge images, each measured against
// the process's real peak memory while it is decoded.

#include "common/HostileFixtures.h"
#include "common/JpegFixtures.h"
#include "model/LoadThumbThreadObj.h"
#include "util/DecodeBudget.h"
#include "util/ImageDecode.h"
#include "util/MeasureImage.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace fixtures;
using namespace hostile;

namespace {

constexpr qint64 MiB = qint64(1) << 20;

// A reservation made on a thread of its own, so that a test can watch it wait.
class Asker
{
public:
    Asker(qint64 Bytes, DecodeCancel Cancelled = {})
        : m_thread([this, Bytes, Cancelled] {
            DecodeReservation room(Bytes, Cancelled);
            m_outcome = room.Result();
            m_answered = true;
            while (!m_release)
                std::this_thread::yield();
        })
    { }
    ~Asker()
    {
        m_release = true;
        m_thread.join();
    }
    bool Answered() const { return m_answered; }
    DecodeReservation::Outcome Outcome() const { return m_outcome; }
    void Release() { m_release = true; }

private:
    std::atomic<bool> m_answered {false}, m_release {false};
    std::atomic<DecodeReservation::Outcome> m_outcome {DecodeReservation::Outcome::Cancelled};
    std::thread m_thread;
};

bool AllWhite(const QImage &Image)
{
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            if (Image.pixel(x, y) != 0xFFFFFFFF)
                return false;
    return !Image.isNull();
}

} // namespace

class TestDecodeBudget : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    bool m_peaks = false;

    QString Write(const QString &Name, const QByteArray &Bytes)
    {
        return WriteFixture(m_dir.path(), Name, Bytes);
    }

    static quint64 Waiting() { return DecodeBudgetStatistics().Waited; }

private slots:
    void initTestCase()
    {
        // Readers and plugins load on first use: do that before any peak is taken.
        const QImage photo = Textured(300, 200);
        for (const auto &[name, bytes] : {std::pair {"warm.jpg", EncodeJpeg(photo)},
                 std::pair {"warm-p.jpg", EncodeProgressiveJpeg(photo)},
                 std::pair {"warm.png", EncodeImage(photo, "PNG")}})
            QVERIFY(!DecodeFittedPicture(Write(name, bytes), {120, 105}).Image.isNull());
        m_peaks = PeakMemory::Reset() && PeakMemory::Peak() > 0;
    }

    void cleanup() { SetDecodeBudget(DefaultDecodeBudget, DefaultDecodeBudget); }

    void grantsWithinAndRefusesOverTheCap()
    {
        SetDecodeBudget(100 * MiB, 40 * MiB);
        QCOMPARE(DecodeBudget().PerDecode, 40 * MiB);
        {
            DecodeReservation over(40 * MiB + 1);
            QCOMPARE(over.Result(), DecodeReservation::Outcome::TooLarge);
            DecodeReservation a(40 * MiB);
            Asker b(40 * MiB);
            QTRY_VERIFY(b.Answered());
            QVERIFY(a.Granted());
            QCOMPARE(b.Outcome(), DecodeReservation::Outcome::Granted);
            QCOMPARE(DecodeBudgetStatistics().InUse, 80 * MiB);
        }
        QCOMPARE(DecodeBudgetStatistics().InUse, 0);
        // The cap never exceeds the whole budget.
        SetDecodeBudget(10 * MiB, 50 * MiB);
        QCOMPARE(DecodeBudget().PerDecode, 10 * MiB);
    }

    void waitsForRoomInTurn()
    {
        SetDecodeBudget(100 * MiB, 100 * MiB);
        auto holder = std::make_unique<DecodeReservation>(70 * MiB);
        const quint64 waited = Waiting();
        Asker big(60 * MiB);
        QTRY_COMPARE(Waiting(), waited + 1);
        // Room for 30 MB is free, but the 60 MB decode asked first: the small one queues
        // behind it instead of starving it.
        Asker small(10 * MiB);
        QTRY_COMPARE(Waiting(), waited + 2);
        QVERIFY(!big.Answered() && !small.Answered());

        holder.reset();
        QTRY_VERIFY(big.Answered() && small.Answered());
        QCOMPARE(big.Outcome(), DecodeReservation::Outcome::Granted);
        QCOMPARE(small.Outcome(), DecodeReservation::Outcome::Granted);
        QCOMPARE(DecodeBudgetStatistics().InUse, 70 * MiB);
        big.Release();
        small.Release();
        QTRY_COMPARE(DecodeBudgetStatistics().InUse, 0);
    }

    void waitEndsWhenCancelledOrTheCapDrops()
    {
        SetDecodeBudget(100 * MiB, 100 * MiB);
        auto holder = std::make_unique<DecodeReservation>(90 * MiB);
        std::atomic<bool> cancel {false};
        const quint64 waited = Waiting();
        Asker cancelled(50 * MiB, [&] { return cancel.load(); });
        Asker large(80 * MiB);
        QTRY_COMPARE(Waiting(), waited + 2);
        cancel = true;
        QTRY_VERIFY(cancelled.Answered());
        QCOMPARE(cancelled.Outcome(), DecodeReservation::Outcome::Cancelled);

        // A cap lowered under a waiting request refuses it rather than leave it waiting for
        // room that can never come.
        SetDecodeBudget(60 * MiB, 60 * MiB);
        QTRY_VERIFY(large.Answered());
        QCOMPARE(large.Outcome(), DecodeReservation::Outcome::TooLarge);
        holder.reset();
        QCOMPARE(DecodeBudgetStatistics().InUse, 0);
    }

    void secondRequestOnOneThreadIsRefused()
    {
        SetDecodeBudget(100 * MiB, 100 * MiB);
        DecodeReservation first(90 * MiB);
        QVERIFY(first.Granted());
        // Waiting here would wait for this very thread.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("holding"));
        DecodeReservation second(20 * MiB);
        QCOMPARE(second.Result(), DecodeReservation::Outcome::Nested);
    }

    void craftedPhotos_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("cap");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QSize>("size");
        // 1: a picture is made; 0: none (a white card); -1: the decoding helper's process
        // decides, within its own limits: only what this process holds is checked here.
        QTest::addColumn<int>("picture");

        const qint64 dflt = DefaultDecodeBudget, small = 48 * MiB;
        const QSize card(120, 105), large(1600, 1600);
        // The kinds a folder can hold, at the default cap: all refused from their headers.
        QTest::newRow("progressive 4:4:4 9400 x 9400")
            << ProgressiveClaiming(9400, 9400) << dflt << card << QSize(9400, 9400) << 0;
        QTest::newRow("progressive grey 16000 x 12000")
            << ProgressiveClaiming(16000, 12000, true) << dflt << card << QSize(16000, 12000) << 0;
        QTest::newRow("EXIF thumbnail claiming 14142 x 14142")
            << ExifThumbnailClaiming(14142) << dflt << card << QSize(64, 64) << 1;
        QTest::newRow("sequential, first scan one component, 9400 x 9400")
            << SplitScanClaiming(9400, 9400) << dflt << card << QSize(9400, 9400) << 0;
        QTest::newRow("PNG inflating to 8000 x 8000 RGBA")
            << PngBomb(8000, 8000) << small << card << QSize(8000, 8000) << -1;
        // Near the cap, from both sides (a small cap keeps the test light): what fits is
        // decoded within it, what does not is refused.
        QTest::newRow("progressive 4:4:4 just under a 48 MB cap")
            << ProgressiveClaiming(2800, 2800) << small << card << QSize(2800, 2800) << 1;
        QTest::newRow("progressive 4:4:4 just over a 48 MB cap")
            << ProgressiveClaiming(3000, 3000) << small << card << QSize(3000, 3000) << 0;
        QTest::newRow("progressive grey under a 48 MB cap, medium box") << ProgressiveClaiming(3600,
            3600, true) << small << QSize(800, 800) << QSize(3600, 3600) << 1;
        QTest::newRow("sequential split scan under a 48 MB cap")
            << SplitScanClaiming(2800, 2800) << small << card << QSize(2800, 2800) << 1;
        // Cut and damaged.
        QTest::newRow("progressive cut before its first scan")
            << Cut(ProgressiveClaiming(9400, 9400), 300) << dflt << card << QSize(9400, 9400) << 0;
        QTest::newRow("progressive with noise for scans, under the cap")
            << NoisyScan(ProgressiveClaiming(2800, 2800)) << small << card << QSize(2800, 2800)
            << 1;
        QTest::newRow("EXIF thumbnail cut short")
            << WithExif(EncodeJpeg(Textured(64, 64)), Cut(ProgressiveClaiming(512, 512), 200))
            << dflt << card << QSize(64, 64) << 1;
        QTest::newRow("PNG bomb cut in its data")
            << Cut(PngBomb(3000, 3000), 20000) << small << card << QSize(3000, 3000) << -1;
        QTest::newRow("65500 x 65500 header")
            << WithClaimedSize(EncodeJpeg(Solid(8, 8, Qt::gray)), 65500, 65500) << dflt << card
            << QSize(65500, 65500) << 0;
        // Real photos: the estimate covers what a true decode takes.
        const QImage photo = Textured(2400, 1600, 5);
        QTest::newRow("baseline 2400 x 1600")
            << EncodeJpeg(photo) << small << card << QSize(2400, 1600) << 1;
        QTest::newRow("baseline 2400 x 1600, large box")
            << EncodeJpeg(photo) << small << large << QSize(2400, 1600) << 1;
        QTest::newRow("progressive 2400 x 1600, large box")
            << EncodeProgressiveJpeg(photo) << small << large << QSize(2400, 1600) << 1;
        QTest::newRow("progressive grey 2400 x 1600")
            << EncodeProgressiveJpeg(photo.convertToFormat(QImage::Format_Grayscale8)) << small
            << card << QSize(2400, 1600) << 1;
        QTest::newRow("PNG 16 bit 1200 x 800")
            << EncodeImage(Textured(1200, 800).convertToFormat(QImage::Format_RGBA64), "PNG")
            << small << card << QSize(1200, 800) << -1;
    }

    void craftedPhotos()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, cap);
        QFETCH(QSize, box);
        QFETCH(QSize, size);
        QFETCH(int, picture);
        const QString path = Write(QStringLiteral("crafted.jpg"), bytes);
        bytes.clear();
        SetDecodeBudget(cap, cap);

        QVERIFY(PeakMemory::Reset() || !m_peaks);
        ResetDecodeBudgetPeaks();
        const qint64 before = PeakMemory::Rss();
        const FittedPicture fitted = DecodeFittedPicture(path, box);
        const qint64 peak = PeakMemory::Peak() - before;
        const qint64 reserved = DecodeBudgetStatistics().LargestGranted;
        qInfo("%s: peak +%.1f MB, reserved %.1f MB", QTest::currentDataTag(), peak / 1e6,
            reserved / 1e6);

        QCOMPARE(fitted.StoredSize, size);
        if (picture >= 0)
            QCOMPARE(!fitted.Image.isNull(), picture == 1);
        QCOMPARE(DecodeBudgetStatistics().InUse, 0);
        if (m_peaks) {
            QVERIFY2(peak <= cap, qPrintable(QString::number(peak)));
            // What the decode really took stays within what it reserved, beside a little for
            // reading the header and the file.
            QVERIFY2(peak <= reserved + 2 * MiB, qPrintable(QString::number(peak)));
        }

        if (picture == 0) {
            // A card shows such a photo white.
            auto bitmap = Bitmap32::Create();
            LoadThumbnail(bitmap, path, true);
            QVERIFY(AllWhite(bitmap->Snapshot()));
        }
    }
};

QTEST_GUILESS_MAIN(TestDecodeBudget)
#include "tst_decodebudget.moc"
