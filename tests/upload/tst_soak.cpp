// A shortened soak: a few seeds per route of many faults in one upload (drops during and
// between stores, refused stores and logins, stalls, error answers and dropped posts), with a
// photo deleted and one saved over on the way. Every run must end completed with everything
// on the host, or not completed with the error shown and nothing handed to the basket.

#include "upload/SoakRun.h"

#include <QtTest>

class TestSoak : public QObject
{
    Q_OBJECT
    PrintService service;
    std::unique_ptr<soak::PhotoSet> set;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(service.start(&error), qPrintable(error));
        set = std::make_unique<soak::PhotoSet>(36);
    }

    // Found by the soak: a photo saved over in place while it travels, to the same size, went
    // to the host as a mix of both versions and the upload completed. It is sent again.
    void photoSavedOverInPlaceDuringItsTransferIsSentAgain_data()
    {
        QTest::addColumn<QString>("route");
        QTest::newRow("ftp") << QStringLiteral("ftp");
        QTest::newRow("web") << QStringLiteral("http");
    }
    void photoSavedOverInPlaceDuringItsTransferIsSentAgain()
    {
        QFETCH(QString, route);
        using namespace uploadtest;
        QVERIFY(service.reset(true));
        QVERIFY(service.control("stamp", {{"value", Stamp}}).value("ok").toBool());
        const bool web = route == QLatin1String("http");
        service.control("ftp", {{"listen", !web}});
        // Slow enough that the save lands while most of the photo is still to be read.
        QVERIFY(service.setFaults({{"throttle", QJsonObject {{route, 32 << 20}}}}));
        Photos photos;
        const QString big = photos.AddLarge("큰 사진_50%.jpg", 16 << 20);
        photos.Add("after.jpg");
        // The second version: the same size, other bytes early and late in the file, so that
        // a mix of the two is neither.
        QByteArray second = ReadLocal(big);
        for (qsizetype at : {qsizetype(1) << 20, qsizetype(14) << 20})
            for (qsizetype i = at; i < at + 100000; ++i)
                second[i] = char(second[i] ^ 0x01);
        Recorder rec;
        rec.WebRouteAnswer = true;
        bool saved = false;
        rec.GaugeHook = [&](std::int64_t Max, std::int64_t Progress) {
            if (!saved && Max >= (16 << 20) && Progress > (2 << 20) && Progress < (8 << 20)) {
                QFile f(big);
                saved = f.open(QIODevice::WriteOnly | QIODevice::Truncate)
                    && f.write(second) == second.size();
            }
        };
        UploadEngine engine(rec);
        UploadRequest request = RequestFor(service, QStringLiteral("kim"), photos);
        request.Settings.PhotoPauseMs = 0;
        const bool completed = engine.RunUpload(std::move(request));
        service.setFaults({{"clear", true}});
        service.control("ftp", {{"listen", true}});
        QVERIFY(saved);
        QVERIFY2(completed, qPrintable(rec.Calls().join(u'\n')));
        const QString name = UploadName(Stamp, 0, big);
        QVERIFY(service.readFile(OrdersPath("kim", name)) == second);
        if (!web)
            QCOMPARE(service.readFile(ThumbsPath("kim", name)), UploadThumbnails::Make(big));
    }

    void runEndsCompleteOrReported_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<unsigned>("seed");
        QTest::addColumn<QJsonObject>("rates");
        const QJsonObject ftp {{"stor_refuse", 0.03}, {"stor_drop", 0.03}, {"stor_stall", 0.02},
            {"drop_after", 0.03}, {"login_refuse", 0.1}, {"http_status", 0.05}};
        const QJsonObject web {{"http_status", 0.04}, {"http_drop", 0.04}};
        for (unsigned seed : {11u, 12u, 13u})
            QTest::addRow("ftp %u", seed) << QStringLiteral("ftp") << seed << ftp;
        for (unsigned seed : {21u, 22u})
            QTest::addRow("web %u", seed) << QStringLiteral("http") << seed << web;
    }
    void runEndsCompleteOrReported()
    {
        QFETCH(QString, route);
        QFETCH(unsigned, seed);
        QFETCH(QJsonObject, rates);
        soak::Options opt;
        opt.Route = route;
        opt.Seed = seed;
        opt.Photos = 36;
        opt.Rates = rates;
        opt.RunLimitMs = 45000;
        const soak::Outcome out = soak::Run(service, *set, opt);
        qInfo("%s, %d reconnections, %lld ms; %s; %s", out.Completed ? "completed" : "stopped",
            out.Reconnects, out.Ms, qPrintable(out.Events), qPrintable(out.Ending));
        QVERIFY2(out.Sound(), qPrintable(out.Faults.join(QStringLiteral("; "))));
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
