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

    void runEndsCompleteOrReported_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<unsigned>("seed");
        QTest::addColumn<QJsonObject>("rates");
        const QJsonObject ftp{{"stor_refuse", 0.03}, {"stor_drop", 0.03}, {"stor_stall", 0.02},
            {"drop_after", 0.03}, {"login_refuse", 0.1}, {"http_status", 0.05}};
        const QJsonObject web{{"http_status", 0.04}, {"http_drop", 0.04}};
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
