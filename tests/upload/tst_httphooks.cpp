// The HTTP client's public hooks as the upload uses them, against the local print service: the
// progress hook sees a form post as the server reads it and can stop it, and the client goes
// on working after that.

#include "upload/HttpForm.h"
#include "upload/UploadFixture.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace uploadtest;

class TestHttpHooks : public QObject
{
    Q_OBJECT
    UPLOAD_SERVICE_FIXTURE

    QByteArray photoScript() const { return service.uploadUrl().toLatin1() + "/upload_file2.php"; }

    QList<FormPart> photoForm(const QString &File, const QByteArray &Name) const
    {
        return {FormPart::Text("dst_dir", "/images/orders/20240520/kim/"),
            FormPart::Text("dst_filename", Name),
            FormPart::File("file", File, Name, "application/unknown")};
    }

private slots:
    void initTestCase() { startService(); }
    void init() { resetService(); }

    void progressHookStopsAPostMidway()
    {
        // About 8 s for the whole photo at this pace.
        QVERIFY(service.setFaults({{"throttle", QJsonObject {{"http", 250000}}}}));
        Photos photos;
        const QString big = photos.AddLarge("big.jpg", 2000000);
        const qint64 size = QFileInfo(big).size();
        HttpClient http;
        http.SetStallTimeout(10);
        std::int64_t total = 0;
        std::int64_t reached = 0;
        http.SetProgress([&](const HttpClient::Progress &Now) {
            total = Now.UploadTotal;
            reached = Now.UploadNow;
            return Now.UploadNow < 300000;
        });
        QElapsedTimer clock;
        clock.start();
        const HttpResult stopped
            = http.PostForm(photoScript(), photoForm(big, "big.jpg"), UploadAnswerLimit);
        QVERIFY(stopped.Cancelled);
        QVERIFY(!stopped.Error.isEmpty());
        QVERIFY2(clock.elapsed() < 6000, "the post ran on after the hook said stop");
        QVERIFY(total > size); // the whole form: the photo and its parts' headers
        QVERIFY2(reached >= 300000 && reached < size, qPrintable(QString::number(reached)));

        // The next request goes out as usual, its progress seen to the end.
        QVERIFY(service.setFaults({{"clear", true}}));
        http.SetProgress([&](const HttpClient::Progress &Now) {
            reached = Now.UploadNow;
            return true;
        });
        const QString small = photos.Add("small.jpg");
        const HttpResult sent
            = http.PostForm(photoScript(), photoForm(small, "small.jpg"), UploadAnswerLimit);
        QVERIFY2(sent.Ok(), qPrintable(http.ErrorText(sent)));
        QVERIFY(reached > QFileInfo(small).size());
        QCOMPARE(service.readFile(OrdersPath("kim", "small.jpg")), ReadLocal(small));
        bool stored = false;
        service.readFile(OrdersPath("kim", "big.jpg"), &stored);
        QVERIFY(!stored);
    }

    void errorStatusIsTheLastStatusLine()
    {
        QVERIFY(service.setFaults({{"http",
            QJsonArray {QJsonObject {
                {"path", "/upload_file2.php"}, {"action", "status"}, {"status", 503}}}}}));
        Photos photos;
        const QString small = photos.Add("small.jpg");
        HttpClient http;
        const HttpResult answer
            = http.PostForm(photoScript(), photoForm(small, "s.jpg"), UploadAnswerLimit);
        QCOMPARE(answer.Status, 503L);
        QVERIFY(answer.Error.isEmpty());
        QVERIFY2(http.LastStatusLine().startsWith("HTTP/1."), http.LastStatusLine().constData());
        QVERIFY(http.LastStatusLine().contains(" 503"));
        QCOMPARE(http.ErrorText(answer), QString::fromLatin1(http.LastStatusLine()));
    }
};

QTEST_GUILESS_MAIN(TestHttpHooks)
#include "tst_httphooks.moc"
