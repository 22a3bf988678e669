#include "common/JpegFixtures.h"
#include "common/RawFixtures.h"
#include "model/LoadThumbThreadObj.h"
#include "util/ImageDecode.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>

using namespace fixtures;

namespace {

constexpr QRgb White = 0xFFFFFFFF;
const QColor Blue(20, 40, 200);
const QColor Red(220, 30, 30);

bool Near(QRgb a, QColor b, int tolerance = 16)
{
    return qAbs(qRed(a) - b.red()) <= tolerance && qAbs(qGreen(a) - b.green()) <= tolerance
        && qAbs(qBlue(a) - b.blue()) <= tolerance && qAlpha(a) == 255;
}

// True when another thread can take the lock (a loader that ended without unlocking would
// keep it forever).
bool LockFreeElsewhere(const Bitmap32 &b)
{
    bool got = false;
    std::unique_ptr<QThread> t(QThread::create([&] {
        got = b.TryLock(2000);
        if (got)
            b.Unlock();
    }));
    t->start();
    t->wait();
    return got;
}

QRgb Centre(const QImage &image)
{
    return image.pixel(image.width() / 2, image.height() / 2);
}

} // namespace

class TestThumbnail : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Write(const QString &name, const QByteArray &bytes)
    {
        return WriteFixture(m_dir.path(), name, bytes);
    }

    QImage Waited(const QString &path)
    {
        auto bitmap = Bitmap32::Create();
        LoadThumbnail(bitmap, path, true);
        return bitmap->Snapshot();
    }

private slots:
    void cleanup() { WaitForThumbnailLoads(); }

    // The picture covers exactly Fit; everything around it is opaque white.
    void bands_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QRect>("fit"); // QRect(left, top, width, height)

        QTest::newRow("4000 x 3000: rows 0-7 and 97-104 white")
            << "landscape.jpg" << EncodeJpeg(Solid(4000, 3000, Blue)) << QRect(0, 8, 120, 89);
        QTest::newRow("3000 x 4000: columns 0-20 and 99-119 white")
            << "portrait.jpg" << EncodeJpeg(Solid(3000, 4000, Blue)) << QRect(21, 0, 78, 105);
        QTest::newRow("120 x 105 fills the box")
            << "exact.jpg" << EncodeJpeg(Solid(120, 105, Blue)) << QRect(0, 0, 120, 105);
        QTest::newRow("60 x 40 enlarged to (0, 13, 120, 92)")
            << "small.jpg" << EncodeJpeg(Solid(60, 40, Blue)) << QRect(0, 13, 120, 79);
        QTest::newRow("progressive 4000 x 3000")
            << "progressive.jpg" << EncodeProgressiveJpeg(Solid(4000, 3000, Blue))
            << QRect(0, 8, 120, 89);
        QTest::newRow("tiff 300 x 200")
            << "photo.tif" << EncodeImage(Solid(300, 200, Blue), "TIFF") << QRect(0, 13, 120, 79);
        QTest::newRow("png 200 x 300")
            << "photo.png" << EncodeImage(Solid(200, 300, Blue), "PNG") << QRect(25, 0, 70, 105);
        QTest::newRow("png named .jpg")
            << "png-with-jpeg-extension.jpg" << EncodeImage(Solid(200, 300, Blue), "PNG")
            << QRect(25, 0, 70, 105);
        QTest::newRow("name with %, blanks, Hangul and _")
            << "100% 사진_01.jpg" << EncodeJpeg(Solid(120, 105, Blue)) << QRect(0, 0, 120, 105);
    }

    void bands()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QRect, fit);

        const QImage image = Waited(Write(name, bytes));
        QCOMPARE(image.size(), QSize(120, 105));
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                if (fit.contains(x, y)) {
                    if (!Near(p, Blue))
                        QFAIL(qPrintable(
                            QString("picture pixel (%1, %2) is %3").arg(x).arg(y).arg(p, 8, 16)));
                } else if (p != White) {
                    QFAIL(qPrintable(
                        QString("band pixel (%1, %2) is %3").arg(x).arg(y).arg(p, 8, 16)));
                }
            }
        }
    }

    void undecodableStaysWhite_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray jpeg = EncodeJpeg(Solid(64, 48, Blue));
        QTest::newRow("zero-byte") << "empty.jpg" << QByteArray();
        QTest::newRow("text named .jpg") << "text-named.jpg" << QByteArray("not a photo\n");
        QTest::newRow("truncated header")
            << "truncated.jpg" << jpeg.left(jpeg.indexOf("\xFF\xC0") + 4);
        QTest::newRow("65500 x 65500 header")
            << "65500x65500-header.jpg"
            << WithClaimedSize(EncodeJpeg(Solid(8, 8, Blue)), 65500, 65500);
        QTest::newRow("missing") << QString() << QByteArray();
    }

    void undecodableStaysWhite()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = name.isEmpty() ? m_dir.filePath("missing.jpg") : Write(name, bytes);

        for (const bool wait : {true, false}) {
            auto bitmap = Bitmap32::Create();
            bitmap->SetSize(10, 10);
            bitmap->Clear(0xFF000000);
            LoadThumbnail(bitmap, path, wait);
            if (!wait)
                WaitForThumbnailLoads();
            QVERIFY(LockFreeElsewhere(*bitmap));
            QImage expected(120, 105, QImage::Format_ARGB32);
            expected.fill(White);
            QCOMPARE(bitmap->Snapshot(), expected);
        }
    }

    // Damage after the header: the load still ends normally with what could be decoded.
    void damagedPhotoEndsNormally_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray jpeg = EncodeJpeg(Textured(800, 600));
        QTest::newRow("truncated in the scan") << jpeg.left(jpeg.size() / 3);
        QByteArray exif("\xFF\xE1\x00\x28"
                        "Exif\x00\x00II*\x00\xFF\xFF\xFF\x7F",
            18);
        exif.append(QByteArray(40 - 2 - 14, '\xEE'));
        QByteArray corrupt = EncodeJpeg(Solid(640, 480, Blue));
        corrupt.insert(2, exif);
        QTest::newRow("corrupt EXIF segment") << corrupt;
    }

    void damagedPhotoEndsNormally()
    {
        QFETCH(QByteArray, bytes);
        const QString path = Write("damaged.jpg", bytes);
        auto bitmap = Bitmap32::Create();
        LoadThumbnail(bitmap, path, true);
        QVERIFY(LockFreeElsewhere(*bitmap));
        const QImage image = bitmap->Snapshot();
        QCOMPARE(image.size(), QSize(120, 105));
        QVERIFY(image.pixel(60, 10) != White); // the top of the picture was decoded
    }

    void detachedLoadNotifies()
    {
        auto bitmap = Bitmap32::Create();
        // Counted on this thread, as a card hears it. (A spy's wait() looks only for signals
        // after the call: a load that finished first was missed.)
        int changes = 0;
        connect(bitmap.get(), &Bitmap32::changed, this, [&changes] { ++changes; });
        LoadThumbnail(bitmap, Write("notify.jpg", EncodeJpeg(Solid(40, 35, Blue))), false);
        QTRY_VERIFY_WITH_TIMEOUT(changes > 0, 30000);
        QVERIFY(Near(Centre(bitmap->Snapshot()), Blue));
    }

    // A loader never draws into a bitmap someone else holds locked.
    void drawsOnlyUnderTheLock()
    {
        auto bitmap = Bitmap32::Create();
        bitmap->SetSize(120, 105);
        bitmap->Clear(0xFF000000);
        bitmap->Lock();
        LoadThumbnail(bitmap, Write("locked.jpg", EncodeJpeg(Solid(120, 105, Blue))), false);
        QTest::qWait(300);
        QCOMPARE(bitmap->Image().pixel(60, 50), QRgb(0xFF000000));
        bitmap->Unlock();
        WaitForThumbnailLoads();
        QVERIFY(Near(Centre(bitmap->Snapshot()), Blue));
    }

    void latestBindingWins()
    {
        // A is slow (a big photo), B quick: without the binding check A would finish last.
        const QString a = Write("bind-a.jpg", EncodeJpeg(Textured(4000, 3000)));
        const QString b = Write("bind-b.jpg", EncodeJpeg(Solid(120, 105, Blue)));
        for (int round = 0; round < 5; ++round) {
            auto bitmap = Bitmap32::Create();
            LoadThumbnail(bitmap, a, false);
            LoadThumbnail(bitmap, b, false);
            WaitForThumbnailLoads();
            QCOMPARE(bitmap->BoundFileName(), b);
            const QImage image = bitmap->Snapshot();
            QVERIFY(Near(image.pixel(2, 2), Blue));
            QVERIFY(Near(image.pixel(117, 102), Blue));
        }
    }

    void manyLoadsOnTheBoundedPool()
    {
        const QString path = Write("many.jpg", EncodeJpeg(Solid(300, 200, Blue)));
        std::vector<std::shared_ptr<Bitmap32>> bitmaps(60);
        for (auto &b : bitmaps) {
            b = Bitmap32::Create();
            LoadThumbnail(b, path, false);
        }
        QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
        WaitForThumbnailLoads();
        for (const auto &b : bitmaps)
            QVERIFY(Near(Centre(b->Snapshot()), Blue));
    }

    // The load keeps the bitmap alive after its last other owner let go, and releases it.
    void loadOutlivesNoBitmap()
    {
        auto bitmap = Bitmap32::Create();
        std::weak_ptr<Bitmap32> weak = bitmap;
        LoadThumbnail(bitmap, Write("orphan.jpg", EncodeJpeg(Textured(2000, 1500))), false);
        bitmap.reset();
        WaitForThumbnailLoads();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTRY_VERIFY(weak.expired());
    }

    // The embedded thumbnail is red, the photo blue: the colour tells which one was drawn.
    void exifThumbnail_data()
    {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QSize>("thumb");
        QTest::addColumn<bool>("used");
        QTest::newRow("same proportions, large enough")
            << QSize(640, 480) << QSize(160, 120) << true;
        QTest::newRow("3:2 rounded to 160 x 107") << QSize(6000, 4000) << QSize(160, 107) << true;
        QTest::newRow("letterboxed 160 x 120 of a 3:2 photo")
            << QSize(600, 400) << QSize(160, 120) << false;
        QTest::newRow("smaller than the box") << QSize(640, 480) << QSize(80, 60) << false;
        QTest::newRow("rotated thumbnail") << QSize(640, 480) << QSize(120, 160) << false;
    }

    void exifThumbnail()
    {
        QFETCH(QSize, photo);
        QFETCH(QSize, thumb);
        QFETCH(bool, used);
        const QByteArray bytes = WithExif(EncodeJpeg(Solid(photo.width(), photo.height(), Blue)),
            EncodeJpeg(Solid(thumb.width(), thumb.height(), Red)));
        const QString path
            = Write(QString("exif-%1x%2.jpg").arg(thumb.width()).arg(thumb.height()), bytes);
        const QImage image = Waited(path);
        QVERIFY(Near(Centre(image), used ? Red : Blue));

        const FittedPicture picture = DecodeFittedPicture(path, {120, 105});
        QCOMPARE(picture.Source, used ? PictureSource::ExifThumbnail : PictureSource::ScaledDecode);
        QCOMPARE(picture.Image.size(), QSize(picture.Fit.Width(), picture.Fit.Height()));
    }

    // Camera raw files show their embedded preview, stored as RGB or as JPEG; one whose preview
    // is cut off stays white. LibRaw reads the content, so a DNG named .nef serves.
    void cameraRawShowsItsPreview_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("drawn");
        const QImage preview = Solid(240, 160, Red);
        const QByteArray rgb = MakeDng(600, 400, preview);
        QTest::newRow("RGB preview") << rgb << true;
        QTest::newRow("JPEG preview") << MakeDng(600, 400, preview, EncodeJpeg(preview)) << true;
        QTest::newRow("cut off in its preview") << rgb.left(2000) << false;
    }
    void cameraRawShowsItsPreview()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, drawn);
        const QString path = Write(QStringLiteral("camera-%1.nef").arg(QTest::currentDataTag()), bytes);
        const FittedPicture picture = DecodeFittedPicture(path, {120, 105});
        QCOMPARE(picture.StoredSize, QSize(600, 400)); // the sensor's size, from the header
        QCOMPARE(picture.Source, drawn ? PictureSource::RawPreview : PictureSource::None);
        const QImage image = Waited(path);
        QCOMPARE(image.size(), QSize(120, 105));
        QVERIFY(Near(Centre(image), drawn ? QColor(Red) : QColor(Qt::white)));
        QVERIFY(Near(image.pixel(60, 2), QColor(Qt::white))); // 3:2 fitted: white above
    }

    // The trimming preview needs more than the embedded thumbnail has: decoded, at its size.
    void largerBoxDecodesThePhoto()
    {
        const QString path = Write("preview.jpg",
            WithExif(EncodeJpeg(Solid(4000, 3000, Blue)), EncodeJpeg(Solid(160, 120, Red))));
        const FittedPicture picture = DecodeFittedPicture(path, {400, 400});
        QCOMPARE(picture.StoredSize, QSize(4000, 3000));
        QCOMPARE(picture.Source, PictureSource::ScaledDecode);
        QCOMPARE(picture.Image.size(), QSize(400, 300));
        QVERIFY(Near(Centre(picture.Image), Blue));
    }
};

QTEST_GUILESS_MAIN(TestThumbnail)
#include "tst_thumbnail.moc"
