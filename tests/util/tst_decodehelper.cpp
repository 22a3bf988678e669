// The decoding helper: photos whose decoders we do not own are measured and decoded in a
// process of their own, and whatever becomes of that process, the test process goes on.
#include "common/JpegFixtures.h"
#include "common/RawFixtures.h"
#include "util/DecodeHelper.h"
#include "util/ImageDecode.h"
#include "util/MeasureImage.h"

#include <QElapsedTimer>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

using namespace fixtures;

namespace {

bool Near(QRgb a, QColor b, int tolerance = 16)
{
    return qAbs(qRed(a) - b.red()) <= tolerance && qAbs(qGreen(a) - b.green()) <= tolerance
        && qAbs(qBlue(a) - b.blue()) <= tolerance;
}

QRgb Centre(const QImage &image)
{
    return image.pixel(image.width() / 2, image.height() / 2);
}

// Sets the helper's environment for one test and puts it back afterwards; the helpers
// started before are ended, so the next photo starts one that sees it.
class HelperEnvironment
{
public:
    HelperEnvironment(const char *Name, const QByteArray &Value)
        : Name(Name)
    {
        qputenv(Name, Value);
        ResetDecodeHelpers();
    }
    ~HelperEnvironment()
    {
        qunsetenv(Name);
        ResetDecodeHelpers();
    }

private:
    const char *Name;
};

} // namespace

class TestDecodeHelper : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString Write(const QString &name, const QByteArray &bytes)
    {
        return WriteFixture(dir.path(), name, bytes);
    }

    QString Dng(const QString &name = QStringLiteral("camera.nef"))
    {
        return Write(name, MakeDng(600, 400, Solid(240, 160, Qt::red)));
    }

private slots:
    void init() { ResetDecodeHelpers(); }

    void helperIsFound() { QVERIFY(QFileInfo(DecodeHelperPath()).isExecutable()); }

    // Each format the helper reads gives its size and its picture, fitted into the box; the
    // colour says the picture is the photo's.
    void readsPhotos_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<PictureSource>("source");
        const QImage preview = Solid(240, 160, Qt::red);
        QTest::newRow("raw, RGB preview") << MakeDng(600, 400, preview) << "rgb.nef"
                                          << QSize(600, 400) << PictureSource::RawPreview;
        QTest::newRow("raw, JPEG preview")
            << MakeDng(600, 400, preview, EncodeJpeg(preview)) << "jpeg.dng" << QSize(600, 400)
            << PictureSource::RawPreview;
        QTest::newRow("PNG") << EncodeImage(Solid(300, 200, Qt::red), "PNG") << "photo.png"
                             << QSize(300, 200) << PictureSource::ScaledDecode;
        QTest::newRow("TIFF") << EncodeImage(Solid(300, 200, Qt::red), "TIFF") << "photo.tif"
                              << QSize(300, 200) << PictureSource::ScaledDecode;
        QTest::newRow("BMP named .jpg") << EncodeImage(Solid(300, 200, Qt::red), "BMP") << "bmp.jpg"
                                        << QSize(300, 200) << PictureSource::ScaledDecode;
    }
    void readsPhotos()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QSize, stored);
        QFETCH(PictureSource, source);
        QVERIFY2(!bytes.isEmpty(), "no writer for this format");
        const QString path = Write(name, bytes);

        const FittedPicture picture = DecodeFittedPicture(path, {120, 105});
        QCOMPARE(picture.StoredSize, stored);
        QCOMPARE(picture.Source, source);
        QCOMPARE(picture.Fit.Width(), 120);
        QCOMPARE(picture.Image.size(), QSize(picture.Fit.Width(), picture.Fit.Height()));
        QVERIFY(Near(Centre(picture.Image), Qt::red));
        QCOMPARE(MeasureImage(path), stored);

        // The trimming preview: a given size, measured before.
        const QImage exact = DecodePicture(path, stored, {90, 60});
        QCOMPARE(exact.size(), QSize(90, 60));
        QVERIFY(Near(Centre(exact), Qt::red));
    }

    // What no decoder can read: no size, no picture.
    void brokenFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("stored");
        const QByteArray dng = MakeDng(600, 400, Solid(240, 160, Qt::red));
        QTest::newRow("raw cut off in its preview")
            << dng.left(2000) << "cut.nef" << QSize(600, 400);
        QTest::newRow("raw cut off in its header") << dng.left(100) << "header.nef" << QSize(0, 0);
        QTest::newRow("noise named .cr2") << QByteArray(5000, '\x5A') << "noise.cr2" << QSize(0, 0);
        QTest::newRow("TIFF cut off")
            << EncodeImage(Solid(300, 200, Qt::red), "TIFF").left(60) << "cut.tif" << QSize(0, 0);
        QTest::newRow("empty") << QByteArray() << "empty.webp" << QSize(0, 0);
    }
    void brokenFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QSize, stored);
        const QString path = Write(name, bytes);
        const FittedPicture picture = DecodeFittedPicture(path, {120, 105});
        QCOMPARE(picture.StoredSize, stored);
        QVERIFY(picture.Image.isNull());
        QCOMPARE(MeasureImage(path), stored);
    }

    // A helper whose decoder crashes, spins past its CPU limit, sleeps past its wall-clock
    // limit or is not there: the photo keeps the size measured before the fault (none without
    // a helper) and gets no picture, and the next photo is decoded as ever.
    void failingHelper_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("limits");
        QTest::addColumn<QSize>("stored");
        QTest::newRow("crash") << QByteArray("KESTRUN_DECODER_FAULT") << QByteArray("crash")
                               << QByteArray() << QSize(600, 400);
        QTest::newRow("CPU limit") << QByteArray("KESTRUN_DECODER_FAULT") << QByteArray("spin")
                                   << QByteArray("cpu=1,wall=60000") << QSize(600, 400);
        QTest::newRow("wall-clock limit")
            << QByteArray("KESTRUN_DECODER_FAULT") << QByteArray("sleep") << QByteArray("wall=300")
            << QSize(600, 400);
        QTest::newRow("missing helper")
            << QByteArray("KESTRUN_DECODER") << QByteArray("/nonexistent/kestrun-decoder")
            << QByteArray() << QSize(0, 0);
    }
    void failingHelper()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, limits);
        QFETCH(QSize, stored);
        const QString path = Dng();
        {
            HelperEnvironment limit("KESTRUN_DECODER_LIMITS", limits);
            HelperEnvironment fault(variable.constData(), value);
            if (variable == "KESTRUN_DECODER")
                QTest::ignoreMessage(
                    QtWarningMsg, QRegularExpression("cannot start the photo decoder"));
            QElapsedTimer clock;
            clock.start();
            const FittedPicture picture = DecodeFittedPicture(path, {120, 105});
            QCOMPARE(picture.StoredSize, stored);
            QVERIFY(picture.Image.isNull());
            QCOMPARE(picture.Source, PictureSource::None);
            QVERIFY(DecodePicture(path, {600, 400}, {90, 60}).isNull());
            // Far below the wall-clock limit of the CPU case: its own limit ended it.
            QVERIFY2(clock.elapsed() < 50000, "the limit did not end the decoder");
        }
        const FittedPicture after = DecodeFittedPicture(Dng("after.nef"), {120, 105});
        QCOMPARE(after.Source, PictureSource::RawPreview);
    }

    // A camera raw file whose preview makes LibRaw write past its buffer (which ended the
    // program when it decoded raw files itself): the photo keeps the size from its header and
    // gets no picture, whichever way the decoder ends, and the next photo is decoded as ever.
    void previewWritingPastItsBuffer()
    {
        const QString path = Write("overrun.nef", MakeDngWithOverlongPreview(64, 48));
        for (int i = 0; i < 3; ++i) { // neither a kept size nor a spent helper changes that
            const FittedPicture picture = DecodeFittedPicture(path, {120, 105});
            QCOMPARE(picture.StoredSize, QSize(64, 48));
            QVERIFY(picture.Image.isNull());
            QCOMPARE(picture.Source, PictureSource::None);
            QVERIFY(DecodePicture(path, {64, 48}, {90, 60}).isNull());
        }
        QCOMPARE(MeasureImage(path), QSize(64, 48));

        const FittedPicture after = DecodeFittedPicture(Dng("after.nef"), {120, 105});
        QCOMPARE(after.StoredSize, QSize(600, 400));
        QCOMPARE(after.Source, PictureSource::RawPreview);
        QVERIFY(Near(Centre(after.Image), Qt::red));
    }

    // A decoder that needs more memory than its address-space limit allows makes no
    // picture; the photo keeps the size read before. (Qt's PNG reader scales row by row, so
    // these are formats it decodes whole.)
    void memoryLimit()
    {
        const QString bmp = Write("big.bmp", EncodeImage(Solid(4000, 3000, Qt::red), "BMP"));
        const QString tiff = Write("big.tif", EncodeImage(Solid(4000, 3000, Qt::red), "TIFF"));
        {
            HelperEnvironment limit("KESTRUN_DECODER_LIMITS", "as=8");
            for (const QString &path : {bmp, tiff}) {
                const FittedPicture picture = DecodeFittedPicture(path, {120, 105});
                QCOMPARE(picture.StoredSize, QSize(4000, 3000));
                QVERIFY2(picture.Image.isNull(), qPrintable(path));
            }
        }
        QVERIFY(!DecodeFittedPicture(tiff, {120, 105}).Image.isNull());
    }

    // The decoder may read the photo, but neither reach the network nor write a file.
    void sandboxForbidsNetworkAndWriting()
    {
        const QString path = Dng();
        const QString probe = ProbeDecodeHelper(path);
#ifdef Q_OS_LINUX
        QVERIFY2(probe.startsWith("sandbox=1 "), qPrintable(probe));
        QVERIFY2(probe.contains("socket=Operation not permitted"), qPrintable(probe));
        QVERIFY2(probe.contains("write=Operation not permitted"), qPrintable(probe));
        QVERIFY2(probe.contains("cpu-seconds=5"), qPrintable(probe));
#endif
        QVERIFY2(probe.contains("read=opened"), qPrintable(probe));
        QCOMPARE(QFileInfo(path).size(), MakeDng(600, 400, Solid(240, 160, Qt::red)).size());
    }

    // The grid's, the cards' and the upload's threads decode at the same time through a few
    // helpers; every photo gets its own picture.
    void manyCallersAtOnce()
    {
        QStringList paths;
        for (int i = 0; i < 16; ++i) {
            const QColor colour = i % 2 ? QColor(Qt::red) : QColor(Qt::blue);
            paths << Write(QString("photo%1.%2").arg(i).arg(i % 4 ? "tif" : "nef"),
                i % 4 ? EncodeImage(Solid(300, 200, colour), "TIFF")
                      : MakeDng(600, 400, Solid(240, 160, colour)));
        }
        QThreadPool pool;
        pool.setMaxThreadCount(8);
        const QList<QRgb> centres
            = QtConcurrent::blockingMapped(&pool, paths, [](const QString &p) {
                  return Centre(DecodeFittedPicture(p, {120, 105}).Image);
              });
        for (int i = 0; i < paths.size(); ++i)
            QVERIFY2(
                Near(centres[i], i % 2 ? QColor(Qt::red) : QColor(Qt::blue)), qPrintable(paths[i]));
    }
};

QTEST_GUILESS_MAIN(TestDecodeHelper)
#include "tst_decodehelper.moc"
