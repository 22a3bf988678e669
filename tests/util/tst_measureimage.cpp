#include "common/JpegFixtures.h"
#include "common/RawFixtures.h"
#include "util/MeasureImage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace fixtures;

class TestMeasureImage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Write(const QString &name, const QByteArray &bytes)
    {
        return WriteFixture(m_dir.path(), name, bytes);
    }

private slots:
    void measuresAsStored_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");

        const QImage photo = Textured(64, 48);
        const QByteArray jpeg = EncodeJpeg(photo);
        QTest::newRow("jpeg") << "a.jpg" << jpeg << QSize(64, 48);
        QTest::newRow("progressive jpeg")
            << "p.jpg" << EncodeProgressiveJpeg(photo) << QSize(64, 48);
        QTest::newRow("png") << "b.png" << EncodeImage(photo, "PNG") << QSize(64, 48);
        QTest::newRow("tiff") << "c.tif" << EncodeImage(Textured(33, 21), "TIFF") << QSize(33, 21);
        QTest::newRow("bmp") << "d.bmp" << EncodeImage(Textured(7, 300), "BMP") << QSize(7, 300);
        QTest::newRow("png named .jpg")
            << "png-with-jpeg-extension.jpg" << EncodeImage(photo, "PNG") << QSize(64, 48);
        // Orientation 6 would show it 48 x 64; the size stays the stored one.
        QTest::newRow("exif-rotated jpeg")
            << "rotated.jpg" << WithExif(jpeg, {}, 6) << QSize(64, 48);
        QTest::newRow("exif with thumbnail")
            << "thumb.jpg" << WithExif(jpeg, EncodeJpeg(Solid(16, 12, Qt::red))) << QSize(64, 48);
        QTest::newRow("65500 x 65500 header")
            << "65500x65500-header.jpg"
            << WithClaimedSize(EncodeJpeg(Solid(8, 8, Qt::gray)), 65500, 65500)
            << QSize(65500, 65500);
        // Stray bytes between segments are skipped, as libjpeg does.
        QByteArray garbage = jpeg;
        garbage.insert(2, QByteArray("\x00\x13garbage", 9));
        QTest::newRow("garbage before first marker") << "garbage.jpg" << garbage << QSize(64, 48);

        // Camera raw: the sensor's size; LibRaw goes by content, so a DNG named .nef serves.
        QTest::newRow("camera raw") << "camera.nef" << MakeDng(60, 40, Solid(30, 20, Qt::red))
                                    << QSize(60, 40);
        QTest::newRow("text named .nef") << "text.nef" << QByteArray("not a raw file\n") << QSize(0, 0);
        QTest::newRow("zero-byte jpg") << "empty.jpg" << QByteArray() << QSize(0, 0);
        QTest::newRow("text named .jpg")
            << "text-named.jpg" << QByteArray("this is not a photo\n") << QSize(0, 0);
        const qsizetype sof = jpeg.indexOf("\xFF\xC0");
        QVERIFY(sof > 0);
        QTest::newRow("truncated before frame header")
            << "truncated.jpg" << jpeg.left(sof + 5) << QSize(0, 0);
        QTest::newRow("only the start marker") << "soi.jpg" << jpeg.left(3) << QSize(0, 0);
        QTest::newRow("zero width in header")
            << "zero-width.jpg" << WithClaimedSize(jpeg, 0, 48) << QSize(0, 0);
        QTest::newRow("truncated png")
            << "truncated.png" << EncodeImage(photo, "PNG").left(20) << QSize(0, 0);
    }

    void measuresAsStored()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QCOMPARE(MeasureImage(Write(name, bytes)), size);
    }

    void missingFileIsZero()
    {
        QCOMPARE(MeasureImage(m_dir.filePath("no-such-photo.jpg")), QSize(0, 0));
        QCOMPARE(MeasureImage(QString()), QSize(0, 0));
        QCOMPARE(MeasureImage(m_dir.path()), QSize(0, 0)); // a folder
    }

    void fileIsNotHeldOpen()
    {
        const QString path = Write("held.jpg", EncodeJpeg(Textured(10, 10)));
        QCOMPARE(MeasureImage(path), QSize(10, 10));
        QVERIFY(QFile::remove(path));
    }

    void unusualNames()
    {
        const QByteArray jpeg = EncodeJpeg(Textured(20, 10));
        for (const QString &name : {QStringLiteral("100% 사진_1.JPG"), QStringLiteral("a:b.jpeg")})
            QCOMPARE(MeasureImage(Write(name, jpeg)), QSize(20, 10));
    }
};

QTEST_GUILESS_MAIN(TestMeasureImage)
#include "tst_measureimage.moc"
