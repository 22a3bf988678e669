// Answers and names the program does not control: the server-time answer and the answers of the
// upload scripts and pages are bounded and checked, and no user id, photo name or stamp with a
// control character reaches the upload host's command line.

#include "common/PeakMemory.h"
#include "notices/PageFetch.h"
#include "upload/HttpForm.h"
#include "upload/UploadFixture.h"
#include "upload/UploadTexts.h"
#include "util/ControlCharacters.h"
#include "util/FtpClient.h"
#include "util/ServiceConfig.h"
#include "util/UploadNames.h"

#include <QtTest>

using namespace uploadtest;

namespace {

const QString TimePage = QStringLiteral("/Brimvale/NowDateTime.html");

QJsonObject httpRule(const QString &Path, QJsonObject Rule)
{
    Rule.insert("path", Path);
    return QJsonObject {{"http", QJsonArray {Rule}}};
}

} // namespace

class TestUntrustedAnswers : public QObject
{
    Q_OBJECT
    UPLOAD_SERVICE_FIXTURE

    // One photo as user, on the given route; the recorder keeps what the window was told.
    bool upload(Recorder &Rec, const QString &User, Photos &Shots)
    {
        UploadEngine engine(Rec);
        return engine.RunUpload(RequestFor(service, User, Shots));
    }

private slots:
    void initTestCase() { startService(); }
    void init() { resetService(); }

    void stampIsFifteenDigits_data()
    {
        QTest::addColumn<QString>("answer"); // one character per byte
        QTest::newRow("CR LF and a command") << QStringLiteral("2024\r\nNOOP\r\n123");
        QTest::newRow("NUL byte") << QStringLiteral("20240520") + QChar(0) + "123045";
        QTest::newRow("letters") << "2024O52O123045l";
        QTest::newRow("leading blank") << " 20240520123045";
        QTest::newRow("sign") << "+20240520123045";
        QTest::newRow("CP949 bytes") << QStringLiteral("\u00B0\u00A1") + "2024052012304";
        QTest::newRow("sixteen digits") << "2024052012304511";
    }
    void stampIsFifteenDigits()
    {
        QFETCH(QString, answer);
        Photos photos;
        photos.Add("a.jpg");

        // Always wrong: the bounded retries, then a clear end; the host hears nothing.
        QVERIFY(service.setFaults(httpRule(
            TimePage, {{"action", "body"}, {"body", answer}, {"latin1", true}, {"always", true}})));
        Recorder rec;
        QVERIFY(!upload(rec, "kim", photos));
        QCOMPARE(rec.Of("Error"), QStringList {UploadTexts::NoServerTime});
        QCOMPARE(service.httpRequests(TimePage).size(), SettingsFor(service).StampAttempts);
        QCOMPARE(service.ftpCommands().size(), 0);
        QCOMPARE(service.httpRequests().size(), SettingsFor(service).StampAttempts);

        // Wrong twice: the third answer is the stamp.
        QVERIFY(service.reset());
        QVERIFY(service.setFaults(httpRule(
            TimePage, {{"action", "body"}, {"body", answer}, {"latin1", true}, {"times", 2}})));
        Recorder again;
        QVERIFY2(upload(again, "kim", photos), qPrintable(again.Of("Error").join(" / ")));
        QCOMPARE(service.httpRequests(TimePage).size(), 3);
        const QString name = UploadName(Stamp, 0, photos.At(0).FileName);
        QCOMPARE(Args(service, "STOR"),
            (QList<QByteArray> {OrdersPath("kim", name), ThumbsPath("kim", name)}));
        QCOMPARE(service.ftpCommands("NOOP").size(), 0);
    }

    void oversizedServerTimeEndsTheUpload_data()
    {
        QTest::addColumn<QJsonObject>("flood");
        // Before there was a limit, a 600 MB answer made a peak of more than a gigabyte.
        QTest::newRow("600 MB declared")
            << QJsonObject {{"action", "flood"}, {"bytes", 600000000}, {"length", 600000000}};
        QTest::newRow("endless, undeclared") << QJsonObject {{"action", "flood"}};
    }
    void oversizedServerTimeEndsTheUpload()
    {
        QFETCH(QJsonObject, flood);
        if (!PeakMemory::Reset())
            QSKIP("this kernel cannot reset the peak of resident memory");
        const qint64 before = PeakMemory::Rss();
        QVERIFY(service.setFaults(httpRule(TimePage, flood)));
        Photos photos;
        photos.Add("a.jpg");
        Recorder rec;
        QVERIFY(!upload(rec, "kim", photos));
        const qint64 growth = (PeakMemory::Peak() - before) / 1024; // KB
        // A failed request, not a wrong answer: no retry.
        QCOMPARE(rec.Of("Error"), QStringList {"The server's answer is larger than 4096 bytes"});
        QCOMPARE(service.httpRequests(TimePage).size(), 1);
        QCOMPARE(service.ftpCommands().size(), 0);
        QVERIFY2(growth < 32 * 1024, qPrintable(QStringLiteral("peak grew by %1 KB").arg(growth)));
    }

    void oversizedScriptAnswerEndsTheUpload_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("web");
        QTest::newRow("photo post, web route") << "/upload_file2.php" << true;
        QTest::newRow("cart-info post, FTP route") << "/upload_cartinfo.php" << false;
    }
    void oversizedScriptAnswerEndsTheUpload()
    {
        QFETCH(QString, script);
        QFETCH(bool, web);
        if (web)
            QVERIFY(!service.control("ftp", {{"listen", false}}).value("listening").toBool());
        QVERIFY(service.setFaults(httpRule(script, {{"action", "flood"}, {"bytes", 100000}})));
        Photos photos;
        photos.Add("a.jpg");
        Recorder rec;
        rec.WebRouteAnswer = true;
        QVERIFY(!upload(rec, "kim", photos));
        QCOMPARE(rec.Of("Box"),
            QStringList {UploadTexts::HttpErrorPrefix
                + QStringLiteral("The server's answer is larger than %1 bytes")
                      .arg(UploadAnswerLimit)});
        QVERIFY(rec.Browser.isEmpty());
    }

    void oversizedPageFailsItsFetch()
    {
        QVERIFY(service.setFaults(httpRule("/popup/ifpf_pop.htm", {{"action", "flood"}})));
        const FetchedBytes page
            = FetchBytes((service.webUrl() + "/popup/ifpf_pop.htm").toLatin1(), nullptr);
        QCOMPARE(page.Error,
            QStringLiteral("The server's answer is larger than %1 bytes").arg(PageSizeLimit));
        QVERIFY(page.Body.size() <= PageSizeLimit);
        // The pages the service really has fit.
        const FetchedBytes banner = FetchBytes(
            (service.webUrl() + "/clients/brimvale_1.2A_top.html").toLatin1(), nullptr);
        QVERIFY2(banner.Error.isEmpty(), qPrintable(banner.Error));
    }

    // An empty id would file the order under the day folder itself, of nobody.
    void unsendableIdsAndNamesRefusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("photo");
        QTest::addColumn<QString>("refusal"); // empty: the photo's name
        QTest::newRow("empty user id") << QString() << "a.jpg" << UploadTexts::NoUserID;
        QTest::newRow("user id with CR LF") << "kim\r\nNOOP"
                                            << "a.jpg" << ControlTexts::UserIDRefused;
        QTest::newRow("user id with a tab") << "kim\tlee"
                                            << "a.jpg" << ControlTexts::UserIDRefused;
        QTest::newRow("user id with DEL")
            << QStringLiteral("kim\x7F") << "a.jpg" << ControlTexts::UserIDRefused;
        QTest::newRow("user id with a C1 control")
            << QStringLiteral("kim\u0085") << "a.jpg" << ControlTexts::UserIDRefused;
        QTest::newRow("photo name with LF") << "kim"
                                            << "a\nNOOP.jpg" << QString();
    }
    void unsendableIdsAndNamesRefusedBeforeAnythingIsSent()
    {
        QFETCH(QString, user);
        QFETCH(QString, photo);
        QFETCH(QString, refusal);
        Photos photos;
        photos.Add("ok.jpg");
        const QString path = photos.Add(photo);
        QVERIFY(QFileInfo::exists(path));
        Recorder rec;
        QVERIFY(!upload(rec, user, photos));
        QCOMPARE(rec.Of("Error"),
            QStringList {refusal.isEmpty() ? ControlTexts::FileNameRefused(path) : refusal});
        QVERIFY(rec.Of("Message").isEmpty());
        QCOMPARE(service.record().size(), 0);
    }

    // The client itself sends no command a control character would split, whatever its caller
    // checked; the connection stays usable.
    void ftpClientRefusesControlCharacters_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char *op : {"MakeDir", "List", "ChangeDir", "StoreData"})
            QTest::newRow(op) << op;
    }
    void ftpClientRefusesControlCharacters()
    {
        QFETCH(QString, operation);
        FtpClient ftp(service.ftpUrl(), ServiceConfig::FtpUser, ServiceConfig::FtpPassword);
        ftp.SetStallTimeout(5);
        QVERIFY2(ftp.Connect(), qPrintable(ftp.LastError()));
        const QString bad = QStringLiteral("/images/orders/x\r\nNOOP\r\nMKD /images/orders/y");
        QList<QByteArray> names;
        bool done = true;
        if (operation == "MakeDir")
            done = ftp.MakeDir(bad);
        else if (operation == "List")
            done = ftp.List(bad, names);
        else if (operation == "ChangeDir")
            done = ftp.ChangeDir(bad);
        else
            done = ftp.StoreData("x", bad + ".jpg");
        QVERIFY(!done);
        QCOMPARE(ftp.LastError(), ControlTexts::FtpCommandRefused);
        QVERIFY(ftp.IsConnected());
        QVERIFY(ftp.MakeDir("/images/orders/z"));
        ftp.Disconnect();
        QCOMPARE(Args(service, "MKD"), QList<QByteArray> {"/images/orders/z"});
        QCOMPARE(service.ftpCommands("NOOP").size(), 0);
        QCOMPARE(service.ftpCommands("LIST").size(), 0);
        QCOMPARE(service.ftpCommands("STOR").size(), 0);
        QCOMPARE(service.ftpCommands("CWD").size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestUntrustedAnswers)
#include "tst_untrustedanswers.moc"
