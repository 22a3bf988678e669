// Thumbnails made ahead for the upload: kept ones are taken only while the photo is unchanged,
// forgotten ones are drawn again, and the end of the program never hangs on queued work.
#include "common/JpegFixtures.h"
#include "upload/UploadThumbnails.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using namespace fixtures;

namespace {

QImage decode(const QByteArray &Jpeg)
{
    QImage image;
    image.loadFromData(Jpeg, "JPG");
    return image;
}

// The colour in the middle of the thumbnail, where the fitted photo always is.
QColor middle(const QByteArray &Jpeg)
{
    const QImage image = decode(Jpeg);
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

bool near(QColor A, QColor B)
{
    return qAbs(A.red() - B.red()) < 12 && qAbs(A.green() - B.green()) < 12
        && qAbs(A.blue() - B.blue()) < 12;
}

} // namespace

class tst_uploadthumbnails : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString photo(const QString &Name, QColor Colour, int Width = 800, int Height = 600)
    {
        return WriteFixture(m_dir.path(), Name, EncodeJpeg(Solid(Width, Height, Colour)));
    }

private slots:
    void preparedThumbnailIsTheOneTheUploadWouldMake()
    {
        UploadThumbnails thumbnails;
        const QString file = photo("red.jpg", Qt::red);
        thumbnails.Prepare(file);
        thumbnails.WaitForBackground();
        QCOMPARE(thumbnails.Statistics().Kept, 1);

        const QByteArray jpeg = thumbnails.Request(file).get();
        QCOMPARE(thumbnails.Statistics().TakenReady, 1u);
        QCOMPARE(thumbnails.Statistics().Made, 1u);
        QCOMPARE(jpeg, UploadThumbnails::Make(file));
        const QImage image = decode(jpeg);
        QCOMPARE(image.size(), QSize(120, 105));
        QVERIFY(near(middle(jpeg), Qt::red));
        // 800 x 600 fitted into 120 x 105: 120 x 90 in the middle, white above and below.
        QVERIFY(near(image.pixelColor(60, 2), Qt::white));
    }

    void changedPhotoIsDrawnAgain()
    {
        UploadThumbnails thumbnails;
        const QString file = photo("changing.jpg", Qt::red);
        thumbnails.Prepare(file);
        thumbnails.WaitForBackground();

        // Replaced by another picture, as an editor saving over the file would.
        photo("changing.jpg", Qt::blue, 640, 640);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
        f.close();

        QVERIFY(near(middle(thumbnails.Request(file).get()), Qt::blue));
        QCOMPARE(thumbnails.Statistics().TakenReady, 0u);
        QCOMPARE(thumbnails.Statistics().Made, 2u);
        // The new picture is kept in place of the old one.
        QVERIFY(near(middle(thumbnails.Request(file).get()), Qt::blue));
        QCOMPARE(thumbnails.Statistics().TakenReady, 1u);
        QCOMPARE(thumbnails.Statistics().Kept, 1);
    }

    void forgottenPhotoIsNotKept()
    {
        UploadThumbnails thumbnails;
        const QString file = photo("gone.jpg", Qt::green);
        thumbnails.Prepare(file);
        thumbnails.WaitForBackground();
        const std::size_t bytes = thumbnails.Statistics().KeptBytes;
        QVERIFY(bytes > 0);

        thumbnails.Forget(file);
        QCOMPARE(thumbnails.Statistics().Kept, 0);
        QCOMPARE(thumbnails.Statistics().KeptBytes, std::size_t(0));
        QVERIFY(near(middle(thumbnails.Request(file).get()), Qt::green));
        QCOMPARE(thumbnails.Statistics().Made, 2u);
        QCOMPARE(thumbnails.Statistics().KeptBytes, bytes);
    }

    void unreadablePhotoGivesWhiteThumbnail()
    {
        UploadThumbnails thumbnails;
        const QString broken = WriteFixture(m_dir.path(), "broken.jpg", QByteArray("\xFF\xD8\xFF garbage", 12));
        const QByteArray jpeg = thumbnails.Request(broken).get();
        QCOMPARE(decode(jpeg).size(), QSize(120, 105));
        QVERIFY(near(middle(jpeg), Qt::white));
        const QByteArray missing = thumbnails.Request(m_dir.filePath("missing.jpg")).get();
        QVERIFY(near(middle(missing), Qt::white));
    }

    void budgetStopsMakingAhead()
    {
        const QString first = photo("b1.jpg", Qt::red);
        const QString second = photo("b2.jpg", Qt::red);
        UploadThumbnails thumbnails(1); // one byte: full after the first thumbnail
        thumbnails.Prepare(first);
        thumbnails.WaitForBackground();
        thumbnails.Prepare(second);
        thumbnails.WaitForBackground();
        QCOMPARE(thumbnails.Statistics().Made, 1u);
        // The upload still gets the second one, made on the spot.
        QVERIFY(near(middle(thumbnails.Request(second).get()), Qt::red));
    }

    void shutdownWithQueuedWorkEndsPromptly()
    {
        QStringList files;
        for (int i = 0; i < 40; ++i)
            files << photo(QStringLiteral("q%1.jpg").arg(i), Qt::gray, 2400, 1600);
        auto thumbnails = std::make_unique<UploadThumbnails>();
        for (const QString &file : files)
            thumbnails->Prepare(file);
        std::vector<std::shared_future<QByteArray>> asked;
        for (const QString &file : files)
            asked.push_back(thumbnails->Request(file));

        QElapsedTimer clock;
        clock.start();
        thumbnails->Shutdown();
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        // Every future is answered: a picture or, for dropped work, nothing.
        for (const auto &future : asked)
            QCOMPARE(future.wait_for(std::chrono::seconds(0)), std::future_status::ready);
        QVERIFY(thumbnails->Request(files.first()).get().isEmpty());
        thumbnails.reset();
    }
};

QTEST_GUILESS_MAIN(tst_uploadthumbnails)
#include "tst_uploadthumbnails.moc"
