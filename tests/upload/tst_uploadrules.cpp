// The small rules of the upload that need no service: the speed average, its display, the
// cart-info path split, the FTP URL paths, and the names and addresses of one upload.

#include "upload/HttpForm.h"
#include "upload/TransferProgress.h"
#include "upload/UploadEngine.h"
#include "util/Cp949.h"
#include "util/FtpClient.h"

#include <QtTest>

class TestUploadRules : public QObject
{
    Q_OBJECT
private slots:
    void speedAverageHalvesEarlierReports()
    {
        TransferProgress p;
        p.Begin(1000);
        QVERIFY(!p.Work(5000, 1000)); // first millisecond: no rate
        QCOMPARE(p.AverageSpeed, 0.0f);
        QVERIFY(p.Work(10240, 1010)); // 10 KB in 10 ms: 1000 KB/s
        QCOMPARE(p.AverageSpeed, 1000.0f);
        QVERIFY(p.Work(10240, 1020)); // 500 KB/s
        QCOMPARE(p.AverageSpeed, 750.0f);
        // A new transfer keeps the average running.
        p.Begin(2000);
        QVERIFY(p.Work(1024, 2001)); // 1000 KB/s
        QCOMPARE(p.AverageSpeed, 875.0f);
    }

    void speedText_data()
    {
        QTest::addColumn<float>("speed");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0f << "0";
        QTest::newRow("rounds down") << 999.4f << "999";
        QTest::newRow("rounds up to a group") << 999.5f << "1,000";
        QTest::newRow("millions") << 1234567.0f << "1,234,567";
    }
    void speedText()
    {
        QFETCH(float, speed);
        QFETCH(QString, text);
        QCOMPARE(TransferProgress::FormatSpeed(speed), text);
    }

    void cartInfoPathSplit_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("file");
        QTest::newRow("slashes only") << "/images/orders/d/kim//kim[1]CartInfo.txt" << ""
                                      << "/images/orders/d/kim//kim[1]CartInfo.txt";
        QTest::newRow("backslash left off") << "/a/b\\c//x.txt" << "/a/b" << "c//x.txt";
        QTest::newRow("colon kept") << "/a/k:m//x.txt" << "/a/k:" << "m//x.txt";
        QTest::newRow("the last one counts") << "a\\b:c\\d" << "a\\b:c" << "d";
    }
    void cartInfoPathSplit()
    {
        QFETCH(QString, path);
        QFETCH(QString, dir);
        QFETCH(QString, file);
        QString d, f;
        SplitCartInfoPath(path, d, f);
        QCOMPARE(d, dir);
        QCOMPARE(f, file);
    }

    void ftpUrlPathEscapesOnlyWhatTheUrlParserWouldMisread()
    {
        QCOMPARE(FtpClient::UrlPath(QStringLiteral("/a b/50%;x?#_사진.jpg")),
            QByteArray("/a%20b/50%25%3Bx%3F%23_") + toCp949(QStringLiteral("사진")) + ".jpg");
    }

    void namesOfOneUpload()
    {
        const QString stamp = QStringLiteral("202405201230451");
        QCOMPARE(UploadEngine::OrdersFolder(stamp, "kim"), QStringLiteral("/images/orders/20240520/kim/"));
        QCOMPARE(UploadEngine::ThumbsFolder(stamp, "kim"), QStringLiteral("/images/thumbs/20240520/kim/"));
        QCOMPARE(UploadEngine::CartInfoPath(stamp, "kim"),
            QStringLiteral("/images/orders/20240520/kim//kim[202405201230451]CartInfo.txt"));
        QCOMPARE(UploadEngine::BasketAddress("http://w:1/", stamp, QStringLiteral("홍 & 길")),
            "http://w:1/mymenu/Basket_Process_P.html?cartinfo=" + toCp949(QStringLiteral("홍 & 길"))
                + "[202405201230451]CartInfo.txt&dir=20240520&id=" + toCp949(QStringLiteral("홍 & 길"))
                + "&httpapp=2");
    }
};

QTEST_GUILESS_MAIN(TestUploadRules)
#include "tst_uploadrules.moc"
