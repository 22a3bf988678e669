// The FTP route end to end against the local print service: what the upload host received
// (commands, stored bytes, thumbnails, the cart-info file) for normal uploads and for every
// kind of failure the route has to survive or report.

#include "upload/UploadFixture.h"
#include "upload/UploadTexts.h"
#include "upload/UploadThumbnails.h"
#include "util/FtpClient.h"
#include "util/FtpDirectories.h"
#include "util/UploadNames.h"

#include <QDateTime>
#include <QImage>
#include <QtTest>

using namespace uploadtest;

class TestFtpRoute : public QObject
{
    Q_OBJECT
    UPLOAD_SERVICE_FIXTURE

    // Runs one upload for User over the service; the recorder keeps what it showed.
    bool upload(Photos &photos, Recorder &rec, const QString &User = QStringLiteral("kim"),
        const std::function<void(UploadSettings &)> &tune = {})
    {
        UploadEngine engine(rec);
        UploadRequest request = RequestFor(service, User, photos);
        if (tune)
            tune(request.Settings);
        hookEngine = &engine;
        const bool ok = engine.RunUpload(std::move(request));
        hookEngine = nullptr;
        reconnects = engine.ReconnectCount();
        return ok;
    }

    QByteArray cartInfoFile(const QString &User)
    {
        bool ok = false;
        const QByteArray bytes = service.readFile(
            OrdersPath(User, UploadEngine::CartInfoFileName(Stamp, User)), &ok);
        return ok ? bytes : QByteArray("(missing)");
    }

    int cartInfoPosts() { return service.httpRequests("/upload_cartinfo.php").size(); }

    UploadEngine *hookEngine = nullptr;
    int reconnects = 0;

private slots:
    void initTestCase() { startService(); }
    void init() { resetService(); }

    void storesPhotosThumbnailsAndCartInfoOnAFreshDay()
    {
        // Twelve photos: the last one carries index 00011.
        Photos photos;
        for (int i = 0; i < 12; ++i)
            photos.Add(QStringLiteral("p%1.jpg").arg(i), 60 + i, 40, unsigned(i + 1));
        Recorder rec;
        QVERIFY(upload(photos, rec));

        // Both folder paths made level by level, each after a listing of its parent.
        QCOMPARE(Args(service, "MKD"),
            (QList<QByteArray>{"/images/thumbs/20240520", "/images/thumbs/20240520/kim",
                "/images/orders/20240520", "/images/orders/20240520/kim"}));
        QCOMPARE(Args(service, "LIST").size(), 8); // every level of both paths, root included

        // Photo, thumbnail, photo, thumbnail ... under absolute paths, in list order.
        QList<QByteArray> expected;
        QByteArray cartInfo;
        for (int i = 0; i < 12; ++i) {
            const QString name = UploadName(Stamp, i, photos.At(i).FileName);
            expected << OrdersPath("kim", name) << ThumbsPath("kim", name);
            cartInfo += toCp949(name + u':' + FourBySixLine);
            bool ok = false;
            QCOMPARE(service.readFile(OrdersPath("kim", name), &ok), ReadLocal(photos.At(i).FileName));
            QVERIFY(ok);
        }
        QCOMPARE(Args(service, "STOR"), expected);
        QVERIFY(expected.last().contains("_00011_p11.jpg"));
        QVERIFY(expected.first().contains("202405201230451_00000_p0.jpg"));

        // The thumbnail: a baseline JPEG of 120 x 105.
        const QByteArray thumb = service.readFile(expected.at(1));
        QVERIFY(thumb.startsWith("\xFF\xD8"));
        QVERIFY(thumb.contains("\xFF\xC0")); // SOF0: baseline
        QVERIFY(!thumb.contains("\xFF\xC2"));
        QCOMPARE(QImage::fromData(thumb, "JPEG").size(), QSize(120, 105));

        QCOMPARE(cartInfoFile("kim"), cartInfo);
        QCOMPARE(cartInfoPosts(), 1);

        QCOMPARE(rec.Of("Exception").first(), QStringLiteral("이미지 전송중...  (1 / 12)"));
        QCOMPARE(rec.Of("Exception").last(), QStringLiteral("이미지 전송중...  (12 / 12)"));
        QCOMPARE(rec.Of("Message").first(), UploadTexts::Connecting);
        QCOMPARE(rec.Of("Message").last(), UploadTexts::Done);
        QVERIFY(rec.Of("Box").isEmpty());
        QVERIFY(rec.Of("Error").isEmpty());
        QCOMPARE(rec.Browser.size(), 1);
        QCOMPARE(rec.Browser.first(),
            toCp949(service.webUrl())
                + "/mymenu/Basket_Process_P.html?cartinfo=kim[202405201230451]CartInfo.txt"
                  "&dir=20240520&id=kim&httpapp=2");
    }

    void onePhotoIntoExistingFolders()
    {
        QVERIFY(service.control("mkdir", {{"path", "/images/orders/20240520/kim"}}).value("ok").toBool());
        QVERIFY(service.control("mkdir", {{"path", "/images/thumbs/20240520/kim"}}).value("ok").toBool());
        Photos photos;
        photos.Add("one.jpg");
        Recorder rec;
        QVERIFY(upload(photos, rec));
        QVERIFY(Args(service, "MKD").isEmpty());
        QCOMPARE(Args(service, "STOR").size(), 2);
        QCOMPARE(rec.Of("Exception"), QStringList{QStringLiteral("이미지 전송중...  (1 / 1)")});
        QCOMPARE(cartInfoFile("kim"),
            toCp949(UploadName(Stamp, 0, photos.At(0).FileName) + u':' + FourBySixLine));
    }

    void folderInAnotherLetterCaseCountsAsMissing()
    {
        QVERIFY(service.control("mkdir", {{"path", "/images/orders/20240520/KIM"}}).value("ok").toBool());
        Photos photos;
        photos.Add("one.jpg");
        Recorder rec;
        QVERIFY(upload(photos, rec));
        QVERIFY(Args(service, "MKD").contains("/images/orders/20240520/kim"));
    }

    void folderWalkSkipsBlankNamesAndKeepsBlanksInNames()
    {
        FtpClient client(service.ftpUrl(), "kestrun_ftp", "mbqrwz!");
        QVERIFY(client.Connect());
        MakeFtpDirectories(client, QStringLiteral("/images/orders/a b/  //c/"));
        QCOMPARE(Args(service, "MKD"),
            (QList<QByteArray>{"/images/orders/a b", "/images/orders/a b/c"}));
        // The walk ends in the last folder.
        QCOMPARE(PrintService::bytes(service.ftpCommands("CWD").last().toObject().value("arg")),
            QByteArray("/images/orders/a b/c"));
        // A folder that cannot be made is an error of the walk.
        QVERIFY(service.control("put", {{"path", "/images/orders/file"}, {"data_b64", "eA=="}})
                    .value("ok")
                    .toBool());
        QVERIFY_THROWS_EXCEPTION(FtpError, MakeFtpDirectories(client, "/images/orders/file/x"));
    }

    void namesWithPercentBlanksUnderscoreAndHangul()
    {
        Photos photos;
        const QString path = photos.Add(QStringLiteral("50% 할인_똠 사진.jpg"));
        Recorder rec;
        QVERIFY(upload(photos, rec, QStringLiteral("홍길동")));
        const QString name = QStringLiteral("202405201230451_00000_50％ 할인_똠 사진.jpg");
        QCOMPARE(UploadName(Stamp, 0, path), name);
        QCOMPARE(Args(service, "STOR"),
            (QList<QByteArray>{OrdersPath(QStringLiteral("홍길동"), name),
                ThumbsPath(QStringLiteral("홍길동"), name)}));
        QVERIFY(Args(service, "STOR").at(1).contains("50\xA3\xA5_"));
        QCOMPARE(service.readFile(OrdersPath(QStringLiteral("홍길동"), name)), ReadLocal(path));
        QCOMPARE(rec.Of("Message").at(1), QStringLiteral("전송중 : 50％ 할인_똠 사진.jpg"));
        QCOMPARE(cartInfoFile(QStringLiteral("홍길동")), toCp949(name + u':' + FourBySixLine));
    }

    void refusedStoreSucceedsAfterReconnection()
    {
        QVERIFY(service.setFaults({{"stor", QJsonArray{QJsonObject{
                                               {"action", "refuse"}, {"match", "/images/orders/"}, {"nth", 2}}}}}));
        Photos photos;
        photos.Add("a.jpg");
        photos.Add("b.jpg");
        Recorder rec;
        QVERIFY(upload(photos, rec));
        const QByteArray second = OrdersPath("kim", UploadName(Stamp, 1, photos.At(1).FileName));
        QCOMPARE(Args(service, "STOR").count(second), 2);
        QCOMPARE(service.readFile(second), ReadLocal(photos.At(1).FileName));
        QVERIFY(rec.Of("Exception").contains(UploadTexts::Reconnecting));
        QVERIFY(rec.Of("Exception").contains(QStringLiteral("Reconnected (1)")));
        QCOMPARE(reconnects, 1);
        QCOMPARE(Args(service, "PASS").size(), 2); // a fresh login
        QCOMPARE(cartInfoPosts(), 1);
    }

    // A 226 is not proof: the host is asked the file's size after every store.
    void everyStoreIsConfirmedByItsSize()
    {
        Photos photos;
        photos.Add("a.jpg");
        photos.Add("b b.jpg");
        Recorder rec;
        QVERIFY(upload(photos, rec));
        const QList<QByteArray> stored = Args(service, "STOR");
        QCOMPARE(stored.size(), 4); // two photos, two thumbnails
        QCOMPARE(Args(service, "SIZE"), stored);
    }

    void storeHeldShortIsStoredAgain_data()
    {
        QTest::addColumn<QString>("match");
        QTest::newRow("photo") << "/images/orders/";
        QTest::newRow("thumbnail") << "/images/thumbs/";
    }
    void storeHeldShortIsStoredAgain()
    {
        QFETCH(QString, match);
        QVERIFY(service.setFaults({{"stor", QJsonArray {QJsonObject {
                                               {"action", "short"}, {"match", match}, {"bytes", 100}}}}}));
        Photos photos;
        const QString photo = photos.Add("a.jpg", 320, 240);
        Recorder rec;
        QVERIFY(upload(photos, rec));
        const QString name = UploadName(Stamp, 0, photo);
        const QByteArray remote = match.contains("orders") ? OrdersPath("kim", name) : ThumbsPath("kim", name);
        QCOMPARE(Args(service, "STOR").count(remote), 2);
        QCOMPARE(service.readFile(OrdersPath("kim", name)), ReadLocal(photo));
        QImage thumb;
        QVERIFY(thumb.loadFromData(service.readFile(ThumbsPath("kim", name)), "JPEG"));
        QCOMPARE(thumb.size(), QSize(120, 105));
        QCOMPARE(reconnects, 1);
        QCOMPARE(cartInfoPosts(), 1);
    }

    void photoHeldShortTwiceIsAnFtpError()
    {
        QVERIFY(service.setFaults({{"stor", QJsonArray {QJsonObject {{"action", "short"},
                                               {"match", "/images/orders/"}, {"always", true}}}}}));
        Photos photos;
        photos.Add("a.jpg", 320, 240);
        photos.Add("b.jpg");
        Recorder rec;
        QVERIFY(!upload(photos, rec));
        const QStringList errors = rec.Of("Error") + rec.Of("Box");
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("holds") && errors[0].contains("bytes sent"), qPrintable(errors[0]));
        QCOMPARE(Args(service, "STOR").size(), 2); // the photo twice, nothing after it
        QCOMPARE(cartInfoPosts(), 0);
        QVERIFY(rec.Browser.isEmpty());
    }

    void hostWithoutSizeIsTrusted_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("500") << 500;
        QTest::newRow("502") << 502;
    }
    void hostWithoutSizeIsTrusted()
    {
        QFETCH(int, code);
        QVERIFY(service.setFaults({{"size_refuse", code}}));
        Photos photos;
        photos.Add("a.jpg");
        photos.Add("b.jpg");
        Recorder rec;
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("upload host does not know SIZE"));
        QVERIFY(upload(photos, rec));
        QCOMPARE(Args(service, "SIZE").size(), 1); // asked once, then no more
        QCOMPARE(Args(service, "STOR").size(), 4);
        QCOMPARE(reconnects, 0);
        QVERIFY(rec.Of("Box").isEmpty() && rec.Of("Error").isEmpty()); // not the customer's business
        QCOMPARE(cartInfoPosts(), 1);
    }

    void storeInterruptedIsStoredAgain_data()
    {
        QTest::addColumn<QJsonObject>("rule");
        QTest::newRow("drop during store")
            << QJsonObject{{"action", "drop"}, {"after_bytes", 100000}, {"match", "/images/orders/"}};
        QTest::newRow("stall longer than the limit")
            << QJsonObject{{"action", "stall"}, {"seconds", 4}, {"after_bytes", 100000},
                   {"match", "/images/orders/"}};
    }
    void storeInterruptedIsStoredAgain()
    {
        QFETCH(QJsonObject, rule);
        QVERIFY(service.setFaults({{"stor", QJsonArray{rule}}}));
        Photos photos;
        const QString big = photos.AddLarge("big.jpg", 600000);
        Recorder rec;
        QVERIFY(upload(photos, rec, "kim", [](UploadSettings &s) { s.FtpStallTimeout = 1; }));
        const QByteArray remote = OrdersPath("kim", UploadName(Stamp, 0, big));
        QCOMPARE(Args(service, "STOR").count(remote), 2);
        QCOMPARE(service.readFile(remote), ReadLocal(big));
        QVERIFY(rec.Of("Exception").contains(QStringLiteral("Reconnected (1)")));
    }

    void dropsBetweenPhotosAreReconnectedAndCounted()
    {
        // The connection closes after the first and the second thumbnail.
        QVERIFY(service.setFaults({{"stor", QJsonArray{QJsonObject{
                                               {"action", "drop_after"}, {"match", "/images/thumbs/"}, {"times", 2}}}}}));
        Photos photos;
        for (int i = 0; i < 3; ++i)
            photos.Add(QStringLiteral("p%1.jpg").arg(i));
        Recorder rec;
        QVERIFY(upload(photos, rec));
        const QStringList texts = rec.Of("Exception");
        const qsizetype first = texts.indexOf(QStringLiteral("Reconnected (1)"));
        QVERIFY(first > 0);
        QCOMPARE(texts.at(first - 1), UploadTexts::Reconnecting);
        QVERIFY(texts.indexOf(QStringLiteral("Reconnected (2)")) > first);
        for (int i = 0; i < 3; ++i) {
            const QByteArray remote = OrdersPath("kim", UploadName(Stamp, i, photos.At(i).FileName));
            QCOMPARE(service.readFile(remote), ReadLocal(photos.At(i).FileName));
        }
        QCOMPARE(cartInfoPosts(), 1);
    }

    void failedReconnectionEndsTheUpload()
    {
        Photos photos;
        photos.Add("a.jpg");
        photos.Add("b.jpg");
        Recorder rec;
        // Once the first photo is on its way: its store is refused and no login succeeds.
        rec.Hook = [&](const QString &kind, const QString &text) {
            if (kind == "Message" && text.startsWith(UploadTexts::Sending)) {
                service.setFaults({{"stor", QJsonArray{QJsonObject{{"action", "refuse"},
                                                {"text", "Disk full."}, {"always", true}}}},
                    {"login_refuse", true}});
                rec.Hook = {};
            }
        };
        QVERIFY(!upload(photos, rec));
        QCOMPARE(rec.Of("Box"), QStringList{QStringLiteral("FTP Error : 550 Disk full.")});
        QCOMPARE(rec.Of("Exception").last(), QStringLiteral("Reconnected (1)"));
        QCOMPARE(Args(service, "STOR").size(), 1); // nothing more was sent
        QCOMPARE(cartInfoPosts(), 0);
        QVERIFY(rec.Browser.isEmpty());
        QVERIFY(!rec.Of("Message").contains(UploadTexts::Done));
    }

    void thumbnailsDrawnAheadShowThePhotosAsSent()
    {
        // Both photos' thumbnails are made while they sit on the list; then the second photo
        // is saved over with another picture. The upload must not store its old thumbnail.
        Photos photos;
        const QString same = photos.Add("same.jpg");
        const QString changed = photos.Add("changed.jpg");
        const auto paint = [](const QString &Path, QColor Colour) {
            QFile f(Path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(fixtures::EncodeJpeg(fixtures::Solid(64, 48, Colour)));
        };
        paint(same, Qt::red);
        paint(changed, Qt::red);
        UploadThumbnails &thumbnails = UploadThumbnails::Shared();
        thumbnails.Prepare(same);
        thumbnails.Prepare(changed);
        thumbnails.WaitForBackground();
        const std::uint64_t madeBefore = thumbnails.Statistics().Made;
        paint(changed, Qt::blue);
        QFile stamp(changed);
        QVERIFY(stamp.open(QIODevice::ReadWrite));
        QVERIFY(stamp.setFileTime(QDateTime::currentDateTime().addSecs(3), QFileDevice::FileModificationTime));
        stamp.close();

        Recorder rec;
        QVERIFY(upload(photos, rec));
        QCOMPARE(thumbnails.Statistics().Made, madeBefore + 1); // the changed photo alone
        const auto middle = [&](int Index) {
            const QString name = UploadName(Stamp, Index, photos.At(Index).FileName);
            const QImage image = QImage::fromData(service.readFile(ThumbsPath("kim", name)), "JPEG");
            return image.isNull() ? QColor() : image.pixelColor(60, 52);
        };
        QVERIFY(middle(0).red() > 200 && middle(0).blue() < 60);
        QVERIFY(middle(1).blue() > 200 && middle(1).red() < 60);
        const QString name = UploadName(Stamp, 1, changed);
        QCOMPARE(service.readFile(OrdersPath("kim", name)), ReadLocal(changed));
    }

    // A photo saved over while earlier photos are on their way, after its thumbnail was asked
    // for ahead: the thumbnail stored is still that of the bytes sent.
    void photoSavedOverDuringTheUploadGetsItsNewThumbnail()
    {
        Photos photos;
        QStringList files;
        for (int i = 0; i < 3; ++i)
            files << photos.Add(QStringLiteral("p%1.jpg").arg(i));
        const auto paint = [](const QString &Path, QColor Colour, int Seconds) {
            QFile f(Path);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return false;
            f.write(fixtures::EncodeJpeg(fixtures::Solid(64, 48, Colour)));
            return f.setFileTime(QDateTime::currentDateTime().addSecs(Seconds),
                QFileDevice::FileModificationTime);
        };
        for (const QString &file : files)
            QVERIFY(paint(file, Qt::red, 0));
        Recorder rec;
        bool repainted = false;
        // The second photo's turn: the third one's thumbnail has been asked for by now.
        rec.Hook = [&](const QString &Kind, const QString &Text) {
            if (Kind == "Message" && Text.endsWith(QLatin1String("p1.jpg")) && !repainted)
                repainted = paint(files[2], Qt::blue, 7);
        };
        QVERIFY(upload(photos, rec));
        QVERIFY(repainted);
        const QString name = UploadName(Stamp, 2, files[2]);
        QCOMPARE(service.readFile(OrdersPath("kim", name)), ReadLocal(files[2]));
        const QImage thumb = QImage::fromData(service.readFile(ThumbsPath("kim", name)), "JPEG");
        QVERIFY(!thumb.isNull());
        const QColor middle = thumb.pixelColor(60, 52);
        QVERIFY2(middle.blue() > 200 && middle.red() < 60, qPrintable(middle.name()));
    }

    void failedThumbnailStoreIsIgnored()
    {
        QVERIFY(service.setFaults({{"stor", QJsonArray{QJsonObject{
                                               {"action", "refuse"}, {"match", "/images/thumbs/"}, {"always", true}}}}}));
        Photos photos;
        photos.Add("a.jpg");
        photos.Add("b.jpg");
        Recorder rec;
        QVERIFY(upload(photos, rec));
        QCOMPARE(cartInfoFile("kim"),
            toCp949(UploadName(Stamp, 0, photos.At(0).FileName) + u':' + FourBySixLine
                + UploadName(Stamp, 1, photos.At(1).FileName) + u':' + FourBySixLine));
        QCOMPARE(reconnects, 0);
        QVERIFY(rec.Of("Box").isEmpty());
    }

    void cancelBetweenPhotos()
    {
        Photos photos;
        photos.Add("a.jpg");
        photos.Add("b.jpg");
        Recorder rec;
        rec.Hook = [&](const QString &kind, const QString &text) {
            if (kind == "Total" && text == "1/2")
                hookEngine->RequestCancel();
        };
        QVERIFY(!upload(photos, rec));
        QCOMPARE(Args(service, "STOR").size(), 2); // the first photo and its thumbnail
        QCOMPARE(cartInfoPosts(), 0);
        QVERIFY(rec.Browser.isEmpty());
        QVERIFY(rec.Of("Box").isEmpty());
    }

    // The gauge and the speed follow the bytes the server has received, not those handed to
    // the socket, whose buffers take much of a photo at once.
    void gaugeFollowsWhatTheServerReceived()
    {
        constexpr double Rate = 500000; // bytes per second
        Photos photos;
        Recorder rec;
        GaugeTimeline gauge;
        QVERIFY(gauge.SlowPhoto(service, "ftp", Rate, photos, rec));
        QVERIFY(upload(photos, rec));
        const QString fault = gauge.Fault(Rate);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    void cancelDuringAStoreAbortsIt()
    {
        // The whole photo would take 20 s at this pace: far beyond the bound below, which a busy
        // machine does not reach.
        QVERIFY(service.setFaults({{"throttle", QJsonObject{{"ftp", 100000}}}}));
        Photos photos;
        const QString big = photos.AddLarge("big.jpg", 2000000);
        photos.Add("b.jpg");
        Recorder rec;
        rec.GaugeHook = [&](std::int64_t max, std::int64_t progress) {
            if (max > 1000000 && progress > 100000)
                hookEngine->RequestCancel();
        };
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!upload(photos, rec));
        QVERIFY2(clock.elapsed() < 10000, "the store ran on after the cancel");
        const auto files = StoredFiles(service);
        QVERIFY(files.isEmpty() || !files.first().second); // cut short, if anything
        QCOMPARE(Args(service, "STOR").size(), 1);
        QCOMPARE(reconnects, 0);
        QCOMPARE(cartInfoPosts(), 0);
        QVERIFY(rec.Browser.isEmpty());
    }

    void cancelBeforeTheFtpConnection()
    {
        Photos photos;
        photos.Add("a.jpg");
        Recorder rec;
        rec.Hook = [&](const QString &kind, const QString &text) {
            if (kind == "Message" && text == UploadTexts::Connecting)
                hookEngine->RequestCancel();
        };
        QVERIFY(!upload(photos, rec));
        QVERIFY(service.ftpCommands().isEmpty());
        QVERIFY(rec.Of("Ask").isEmpty());
        QCOMPARE(cartInfoPosts(), 0);
    }

    void photoDeletedBeforeTheUpload()
    {
        Photos photos;
        photos.Add("a.jpg");
        const QString gone = photos.Add("gone.jpg");
        QFile::remove(gone);
        Recorder rec;
        QVERIFY(!upload(photos, rec));
        QCOMPARE(rec.Of("Error").size(), 1);
        QVERIFY(rec.Of("Error").first().contains(gone));
        QCOMPARE(Args(service, "STOR").size(), 2); // the first photo went
        QCOMPARE(reconnects, 0);
        QCOMPARE(cartInfoPosts(), 0);
        QCOMPARE(rec.Of("Cancel").last(), QStringLiteral("on")); // the window can be left
    }

    // The cart may change while the upload runs: what is sent is the list as it stood when
    // the upload began, down to each order's prints and layout.
    void ordersEditedOrRemovedDuringTheUploadChangeNothingSent()
    {
        Photos photos;
        const QString a = photos.Add("a.jpg");
        const QString b = photos.Add("b.jpg", 64, 48, 2);
        Recorder rec;
        bool edited = false;
        rec.Hook = [&](const QString &kind, const QString &text) {
            if (edited || kind != "Message" || !text.startsWith(UploadTexts::Sending))
                return;
            edited = true;
            photos.At(0).SetQuantity(2, 9);
            photos.At(0).SetLayout(TOrder::LayoutImageFull);
            photos.Remove(1);
        };
        QVERIFY2(upload(photos, rec), qPrintable(rec.Calls().join(u'\n')));
        QVERIFY(edited);
        const QString nameA = UploadName(Stamp, 0, a);
        const QString nameB = UploadName(Stamp, 1, b);
        QCOMPARE(Args(service, "STOR"),
            (QList<QByteArray>{OrdersPath("kim", nameA), ThumbsPath("kim", nameA),
                OrdersPath("kim", nameB), ThumbsPath("kim", nameB)}));
        QCOMPARE(service.readFile(OrdersPath("kim", nameB)), ReadLocal(b));
        QCOMPARE(cartInfoFile("kim"),
            toCp949(nameA + u':' + FourBySixLine + nameB + u':' + FourBySixLine));
    }

    void userIdWithAmpersandAndBlanks()
    {
        Photos photos;
        photos.Add("a.jpg");
        Recorder rec;
        const QString user = QStringLiteral("kim & lee");
        QVERIFY(upload(photos, rec, user));
        QCOMPARE(rec.Browser.value(0),
            toCp949(service.webUrl())
                + "/mymenu/Basket_Process_P.html?cartinfo=kim & lee[202405201230451]CartInfo.txt"
                  "&dir=20240520&id=kim & lee&httpapp=2");
        QVERIFY(Args(service, "STOR").first().startsWith("/images/orders/20240520/kim & lee/"));
        QVERIFY(Args(service, "STOR").at(1).startsWith("/images/thumbs/20240520/kim_&_lee/"));
        // The thumbnail arrived: its folder was made under the same name.
        bool thumbStored = false;
        for (const QJsonValue &v : service.record(QJsonObject{{"kinds", QJsonArray{"file"}}}))
            thumbStored |= v.toObject().value("path").toString().startsWith(
                "/images/thumbs/20240520/kim_&_lee/");
        QVERIFY(thumbStored);
        QCOMPARE(cartInfoFile(user),
            toCp949(UploadName(Stamp, 0, photos.At(0).FileName) + u':' + FourBySixLine));
    }
};

QTEST_GUILESS_MAIN(TestFtpRoute)
#include "tst_ftproute.moc"
