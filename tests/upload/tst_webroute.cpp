// The web route and the driver's HTTP side against the local print service: the raw multipart
// bodies as the service received them, the cart-info form, the server-time stamp, and the
// route choice when FTP cannot be opened.

#include "upload/UploadFixture.h"
#include "upload/UploadTexts.h"
#include "util/UploadNames.h"

#include <QtTest>

using namespace uploadtest;

namespace {

// One part of a raw multipart body: its header block and its value.
struct RawPart
{
    QByteArray Headers;
    QByteArray Value;
};

QList<RawPart> splitBody(const QByteArray &body, const QByteArray &boundary, bool *closed)
{
    QList<RawPart> parts;
    const QByteArray delimiter = "--" + boundary;
    *closed = body.endsWith("\r\n" + delimiter + "--\r\n");
    qsizetype at = body.indexOf(delimiter);
    while (at >= 0) {
        const qsizetype start = at + delimiter.size();
        if (body.mid(start, 2) == "--")
            break;
        const qsizetype next = body.indexOf("\r\n" + delimiter, start);
        if (next < 0)
            break;
        const QByteArray chunk = body.mid(start + 2, next - start - 2);
        const qsizetype blank = chunk.indexOf("\r\n\r\n");
        parts.append({chunk.left(blank), chunk.mid(blank + 4)});
        at = next + 2;
    }
    return parts;
}

QByteArray header(const QJsonObject &request, const QByteArray &name)
{
    for (const QJsonValue &h : request.value("headers").toArray()) {
        const QJsonArray pair = h.toArray();
        if (pair.at(0).toString().toLatin1().compare(name, Qt::CaseInsensitive) == 0)
            return pair.at(1).toString().toLatin1();
    }
    return {};
}

QList<RawPart> partsOf(const QJsonObject &request)
{
    const QByteArray type = header(request, "Content-Type");
    const QByteArray prefix = "multipart/form-data; boundary=";
    if (!type.startsWith(prefix))
        return {};
    bool closed = false;
    const QByteArray body = QByteArray::fromBase64(request.value("body_b64").toString().toLatin1());
    QList<RawPart> parts = splitBody(body, type.mid(prefix.size()), &closed);
    if (!closed)
        return {};
    return parts;
}

QByteArray textHeaders(const QByteArray &name)
{
    return "Content-Disposition: form-data; name=\"" + name + "\"";
}

} // namespace

class TestWebRoute : public QObject
{
    Q_OBJECT
    UPLOAD_SERVICE_FIXTURE

    bool upload(Photos &photos, Recorder &rec, const QString &User = QStringLiteral("kim"))
    {
        UploadEngine engine(rec);
        UploadRequest request = RequestFor(service, User, photos);
        request.Settings.StampAttempts = 3;
        const bool ok = engine.RunUpload(std::move(request));
        ftpAvailable = engine.FtpAvailable();
        return ok;
    }

    void closeFtp()
    {
        QVERIFY(!service.control("ftp", {{"listen", false}}).value("listening").toBool());
    }

    bool ftpAvailable = true;

private slots:
    void initTestCase() { startService(); }
    void init() { resetService(); }

    void unreachableFtpAndTheAnswerNo()
    {
        closeFtp();
        Photos photos;
        photos.Add("a.jpg");
        Recorder rec;
        rec.WebRouteAnswer = false;
        QVERIFY(!upload(photos, rec));
        QVERIFY(!ftpAvailable);
        QCOMPARE(rec.Of("Ask"), QStringList{UploadTexts::WebRouteQuestion});
        QCOMPARE(UploadTexts::WebRouteQuestion.count(QStringLiteral("\n\r")), 4);
        QVERIFY(service.httpRequests("/upload_file2.php").isEmpty());
        QVERIFY(service.httpRequests("/upload_cartinfo.php").isEmpty());
        QVERIFY(rec.Of("Box").isEmpty());
        QVERIFY(rec.Browser.isEmpty());
    }

    // As on the FTP route, the gauge follows what the upload script has received.
    void gaugeFollowsWhatTheServerReceived()
    {
        closeFtp();
        constexpr double Rate = 500000; // bytes per second
        Photos photos;
        Recorder rec;
        GaugeTimeline gauge;
        QVERIFY(gauge.SlowPhoto(service, "http", Rate, photos, rec));
        rec.WebRouteAnswer = true;
        QVERIFY(upload(photos, rec));
        const QString fault = gauge.Fault(Rate);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    void webRoutePostsEveryPhotoThenTheCartInfo()
    {
        closeFtp();
        Photos photos;
        const QString first = photos.Add(QStringLiteral("50% 할인_a b.jpg"));
        photos.Add("b.jpg");
        photos.Add("c.jpg");
        Recorder rec;
        rec.WebRouteAnswer = true;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(upload(photos, rec));
        QVERIFY(clock.elapsed() >= 300); // 100 ms after every photo, the last one included
        QCOMPARE(rec.Of("Cancel"), QStringList{QStringLiteral("off")});

        const QJsonArray posts = service.httpRequests("/upload_file2.php");
        QCOMPARE(posts.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QJsonObject post = posts.at(i).toObject();
            QCOMPARE(header(post, "User-Agent"), QByteArray("Mozilla/3.0 (compatible; Indy Library)"));
            QCOMPARE(header(post, "Accept"), QByteArray("text/html, */*"));
            QVERIFY(header(post, "Expect").isEmpty());
            const QList<RawPart> parts = partsOf(post);
            QCOMPARE(parts.size(), 3);
            const TOrder &order = photos.At(i);
            QCOMPARE(parts[0].Headers, textHeaders("dst_dir"));
            QCOMPARE(parts[0].Value, QByteArray("/images/orders/20240520/kim/"));
            QCOMPARE(parts[1].Headers, textHeaders("dst_filename"));
            QCOMPARE(parts[1].Value, toCp949(UploadName(Stamp, i, order.FileName)));
            QCOMPARE(parts[2].Headers,
                "Content-Disposition: form-data; name=\"file\"; filename=\"" + toCp949(order.FileName)
                    + "\"\r\nContent-Type: application/unknown\r\n"
                      "Content-Transfer-Encoding: binary");
            QCOMPARE(parts[2].Value, ReadLocal(order.FileName));
        }
        // "%" becomes "％" in the stored name but stays in the local path.
        QCOMPARE(partsOf(posts.at(0).toObject())[1].Value,
            toCp949(QStringLiteral("202405201230451_00000_50％ 할인_a b.jpg")));
        QVERIFY(partsOf(posts.at(0).toObject())[2].Headers.contains(toCp949(first)));
        QVERIFY(partsOf(posts.at(2).toObject())[1].Value.contains("_00002_c.jpg"));

        // The cart-info form: empty "dir", the whole path in "filename", two "contents".
        const QJsonArray cart = service.httpRequests("/upload_cartinfo.php");
        QCOMPARE(cart.size(), 1);
        QByteArray text;
        for (int i = 0; i < 3; ++i)
            text += toCp949(UploadName(Stamp, i, photos.At(i).FileName) + u':' + FourBySixLine);
        const QList<RawPart> parts = partsOf(cart.at(0).toObject());
        QCOMPARE(parts.size(), 4);
        QCOMPARE(parts[0].Headers, textHeaders("dir"));
        QCOMPARE(parts[0].Value, QByteArray());
        QCOMPARE(parts[1].Headers, textHeaders("filename"));
        QCOMPARE(parts[1].Value,
            QByteArray("/images/orders/20240520/kim//kim[202405201230451]CartInfo.txt"));
        QCOMPARE(parts[2].Headers, textHeaders("contents"));
        QCOMPARE(parts[2].Value, text);
        QCOMPARE(parts[3].Headers, textHeaders("contents"));
        QCOMPARE(parts[3].Value, text);
        QVERIFY(text.contains("\xA3\xA5")); // the upload name holds "％" already

        QCOMPARE(rec.Browser.size(), 1);
        QVERIFY(rec.Browser.first().endsWith(
            "?cartinfo=kim[202405201230451]CartInfo.txt&dir=20240520&id=kim&httpapp=2"));
        QCOMPARE(rec.Of("Message").last(), UploadTexts::Done);
    }

    // The server-time page hands out a session cookie; every later request of the upload
    // returns it: photos and cart info by the web route, the cart info by the FTP route.
    void sessionCookieKeptAcrossTheUpload_data()
    {
        QTest::addColumn<bool>("webRoute");
        QTest::newRow("web route") << true;
        QTest::newRow("FTP route") << false;
    }
    void sessionCookieKeptAcrossTheUpload()
    {
        QFETCH(bool, webRoute);
        QVERIFY(service.setFaults({{"set_cookie", "KBSESS=5f3a9c; path=/"}}));
        if (webRoute)
            closeFtp();
        Photos photos;
        photos.Add("a.jpg");
        photos.Add("b.jpg");
        Recorder rec;
        rec.WebRouteAnswer = true;
        QVERIFY(upload(photos, rec));
        QCOMPARE(ftpAvailable, !webRoute);

        const QJsonArray stamps = service.httpRequests("/Brimvale/NowDateTime.html");
        QCOMPARE(stamps.size(), 1);
        QVERIFY(header(stamps.at(0).toObject(), "Cookie").isEmpty()); // a new upload has none yet
        QJsonArray later = service.httpRequests("/upload_file2.php");
        QCOMPARE(later.size(), webRoute ? 2 : 0);
        const QJsonArray cart = service.httpRequests("/upload_cartinfo.php");
        QCOMPARE(cart.size(), 1);
        later.append(cart.at(0));
        for (const QJsonValue &request : std::as_const(later))
            QCOMPARE(header(request.toObject(), "Cookie"), QByteArray("KBSESS=5f3a9c"));
    }

    void photoPostFailure_data()
    {
        QTest::addColumn<QJsonObject>("rule");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("error status") << QJsonObject{{"action", "status"}, {"status", 500}, {"path", "/upload_file2.php"}, {"nth", 2}} << false;
        QTest::newRow("200 with an error page") << QJsonObject{{"action", "error_page"}, {"path", "/upload_file2.php"}, {"nth", 2}} << true;
    }
    void photoPostFailure()
    {
        QFETCH(QJsonObject, rule);
        QFETCH(bool, accepted);
        closeFtp();
        QVERIFY(service.setFaults({{"http", QJsonArray{rule}}}));
        Photos photos;
        photos.Add("a.jpg");
        photos.Add("b.jpg");
        photos.Add("c.jpg");
        Recorder rec;
        rec.WebRouteAnswer = true;
        QCOMPARE(upload(photos, rec), accepted);
        if (accepted) {
            QCOMPARE(service.httpRequests("/upload_file2.php").size(), 3);
            QVERIFY(rec.Of("Box").isEmpty());
        } else {
            QCOMPARE(service.httpRequests("/upload_file2.php").size(), 2);
            QCOMPARE(rec.Of("Box").size(), 1);
            QVERIFY(rec.Of("Box").first().startsWith(QStringLiteral("HTTP Error : ")));
            QVERIFY(rec.Of("Box").first().contains(QStringLiteral("500")));
            QVERIFY(service.httpRequests("/upload_cartinfo.php").isEmpty());
            QVERIFY(rec.Browser.isEmpty());
        }
    }

    void failedCartInfoPost()
    {
        QVERIFY(service.setFaults({{"http", QJsonArray{QJsonObject{{"action", "status"}, {"status", 503}, {"path", "/upload_cartinfo.php"}}}}}));
        Photos photos;
        photos.Add("a.jpg");
        Recorder rec;
        QVERIFY(!upload(photos, rec));
        QCOMPARE(rec.Of("Box").size(), 1);
        QVERIFY(rec.Of("Box").first().startsWith(QStringLiteral("HTTP Error : ")));
        QVERIFY(!rec.Of("Message").contains(UploadTexts::Done));
        QVERIFY(rec.Browser.isEmpty());
        // The photo stays on the server.
        QVERIFY(!service.readFile(OrdersPath("kim", UploadName(Stamp, 0, photos.At(0).FileName))).isEmpty());
    }

    void serverTimeOfTheWrongLength_data()
    {
        QTest::addColumn<int>("wrongAnswers");
        QTest::addColumn<bool>("completed");
        QTest::newRow("once, then right") << 1 << true;
        QTest::newRow("always") << -1 << false;
    }
    void serverTimeOfTheWrongLength()
    {
        QFETCH(int, wrongAnswers);
        QFETCH(bool, completed);
        QJsonObject rule{{"action", "body"}, {"body", "2024052012304"}, {"path", "/Brimvale/NowDateTime.html"}};
        rule.insert(wrongAnswers < 0 ? "always" : "times", wrongAnswers < 0 ? QJsonValue(true) : QJsonValue(wrongAnswers));
        QVERIFY(service.setFaults({{"http", QJsonArray{rule}}}));
        Photos photos;
        photos.Add("a.jpg");
        Recorder rec;
        QCOMPARE(upload(photos, rec), completed);
        const qsizetype asked = service.httpRequests("/Brimvale/NowDateTime.html").size();
        if (completed) {
            QCOMPARE(asked, 2);
            QVERIFY(rec.Of("Error").isEmpty());
        } else {
            QCOMPARE(asked, 3); // bounded
            QCOMPARE(rec.Of("Error"), QStringList{UploadTexts::NoServerTime});
            QVERIFY(service.ftpCommands().isEmpty());
        }
    }

    void serverTimeRequestFailing()
    {
        QVERIFY(service.setFaults({{"http", QJsonArray{QJsonObject{{"action", "status"}, {"status", 404}, {"path", "/Brimvale/NowDateTime.html"}}}}}));
        Photos photos;
        photos.Add("a.jpg");
        Recorder rec;
        QVERIFY(!upload(photos, rec));
        QCOMPARE(rec.Of("Error").size(), 1);
        QVERIFY(rec.Of("Error").first().contains(QStringLiteral("404")));
        QCOMPARE(rec.Of("Cancel").last(), QStringLiteral("on"));
    }

    void photoDeletedBeforeTheWebRoute()
    {
        closeFtp();
        Photos photos;
        const QString gone = photos.Add("gone.jpg");
        QFile::remove(gone);
        Recorder rec;
        rec.WebRouteAnswer = true;
        QVERIFY(!upload(photos, rec));
        QCOMPARE(rec.Of("Error").size(), 1);
        QVERIFY(rec.Of("Error").first().contains(gone));
        QVERIFY(service.httpRequests("/upload_file2.php").isEmpty());
        QCOMPARE(rec.Of("Cancel").last(), QStringLiteral("on")); // the window can be left
    }
};

QTEST_GUILESS_MAIN(TestWebRoute)
#include "tst_webroute.moc"
