// The real program, started as a user starts it ("guest" as first argument) in its own process
// against a local print service, driven through its windows by a KESTRUN_AUTOTEST script: photos
// from a folder onto the list, quantities and layout for all, one photo trimmed, the order sent.
// What the service received is checked byte for byte, and the program must have ended.

#include "common/JpegFixtures.h"
#include "common/PrintService.h"
#include "common/ShellScript.h"

#include <QImage>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Stamp = QStringLiteral("202405201230451");
const QString Day = Stamp.left(8);

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void orderFromFolderToBasket_data()
    {
        QTest::addColumn<bool>("ftp");
        QTest::newRow("FTP route") << true;
        QTest::newRow("FTP refused, web route accepted") << false;
    }

    void orderFromFolderToBasket()
    {
        QFETCH(bool, ftp);
        PrintService service(ftp ? QStringList{} : QStringList{"--no-ftp"});
        QString error;
        QVERIFY2(service.start(&error), qPrintable(error));
        QVERIFY(service.control("stamp", QJsonObject{{"value", Stamp}}).value("ok").toBool());

        QTemporaryDir tmp;
        const QString folder = tmp.filePath("photos");
        QDir().mkpath(folder);
        // Sorted by name in the grid: a (trimmed), b, c (too few pixels for 4x6: asked, yes).
        const QList<std::tuple<QString, int, int>> photos{
            {"a_landscape.jpg", 1800, 1200}, {"b_portrait.jpg", 1200, 1800}, {"c_small.jpg", 300, 200}};
        QMap<QString, QByteArray> bytes;
        unsigned seed = 1;
        for (const auto &[name, w, h] : photos) {
            bytes[name] = fixtures::EncodeJpeg(fixtures::Textured(w, h, seed++), 90);
            QFile f(folder + u'/' + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes[name]);
        }

        const QString browserLog = tmp.filePath("browser.txt");
        const QString browser = WriteBrowserLogger(tmp.filePath("browser.sh"), browserLog);
        QVERIFY(!browser.isEmpty());
        const QString script = tmp.filePath("script.txt");
        {
            QFile f(script);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QStringList steps{"folder " + folder, "click btnSelectAll", "click btnAddToList",
                "wait OrderBrowser", "set Spin4x6 2", "click btnYes", "set cbLayout 페이퍼풀",
                "click sButton1 0", "wait ImgView", "drag ImgView 40 0", "click btnClose",
                "click btnUpload"};
            if (!ftp)
                steps << "click btnYes"; // the web-route question
            f.write(steps.join(u'\n').toUtf8());
        }

        QProcess program;
        QProcessEnvironment env = service.programEnvironment();
        env.insert("KESTRUN_BROWSER", browser);
        env.insert("KESTRUN_CONFIG", tmp.filePath("Kestrun.cfg"));
        env.insert("KESTRUN_AUTOTEST", script);
        env.insert("XDG_DATA_HOME", tmp.filePath("data")); // its own waiting-list recovery file
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        program.start(QStringLiteral(KB_PROGRAM), {"guest"});
        QVERIFY(program.waitForStarted());
        const bool ended = program.waitForFinished(150000);
        if (!ended)
            program.kill();
        const QByteArray log = program.readAllStandardError();
        QVERIFY2(ended, log.right(2000).constData());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == 0, log.right(2000).constData());

        // Every photo byte for byte under its upload name, and (FTP only) its thumbnail.
        const QByteArray orders = "/images/orders/" + Day.toLatin1() + "/guest/";
        const QByteArray thumbs = "/images/thumbs/" + Day.toLatin1() + "/guest/";
        QStringList uploadNames;
        int n = 0;
        for (const auto &[name, w, h] : photos) {
            const QString uploadName = QStringLiteral("%1_%2_%3").arg(Stamp).arg(n++, 5, 10, QChar(u'0')).arg(name);
            uploadNames << uploadName;
            bool ok = false;
            QCOMPARE(service.readFile(orders + uploadName.toLatin1(), &ok), bytes[name]);
            QVERIFY(ok);
            const QByteArray thumb = service.readFile(thumbs + uploadName.toLatin1(), &ok);
            QCOMPARE(ok, ftp);
            if (ftp) {
                QImage picture;
                QVERIFY(picture.loadFromData(thumb, "JPEG"));
                QCOMPARE(picture.size(), QSize(120, 105));
            }
        }

        // The cart-info file: one record per photo, 2 prints of 4x6 each, the crop only on the
        // trimmed photo.
        const QString cartInfoName = "guest[" + Stamp + "]CartInfo.txt";
        bool ok = false;
        const QByteArray cartInfo = service.readFile(orders + cartInfoName.toLatin1(), &ok);
        QVERIFY(ok);
        const QStringList records = QString::fromLatin1(cartInfo).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(records.size(), 3);
        const QRegularExpression crop(QStringLiteral(":\\d+,\\d+,\\d+,\\d+:"));
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(records[i].startsWith(uploadNames[i] + ":0:0:0:0:0:2:0:0:0:0:0:"),
                qPrintable(records[i]));
            QCOMPARE(records[i].contains(crop), i == 0);
        }

        // The basket address went to the browser once, and the basket page shows the order.
        QFile logFile(browserLog);
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        const QStringList calls = QString::fromUtf8(logFile.readAll()).split(u'\n', Qt::SkipEmptyParts);
        const QString basket = service.webUrl() + "/mymenu/Basket_Process_P.html?cartinfo="
            + cartInfoName + "&dir=" + Day + "&id=guest&httpapp=2";
        QCOMPARE(calls, QStringList{basket});
        QProcess fetch;
        fetch.start("curl", {"-s", "-g", "-o", tmp.filePath("basket.html"), "-w", "%{http_code}", basket});
        QVERIFY(fetch.waitForFinished(10000));
        QCOMPARE(fetch.readAllStandardOutput(), QByteArray("200"));
        QFile page(tmp.filePath("basket.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        for (const QString &uploadName : uploadNames)
            QVERIFY(html.contains(uploadName.toLatin1()));
        if (const QByteArray dir = qgetenv("KB_SCREENSHOT_DIR"); !dir.isEmpty())
            QFile::copy(page.fileName(),
                QString::fromUtf8(dir) + (ftp ? "/basket-ftp.html" : "/basket-web.html"));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
