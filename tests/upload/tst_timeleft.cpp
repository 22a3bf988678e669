// The time left of an upload: when it is shown, how often, and how it reads.

#include "upload/TimeLeft.h"

#include <QtTest>

class TestTimeLeft : public QObject
{
    Q_OBJECT

private slots:
    void format_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("done") << qint64(0) << "남은 시간 약 1초";
        QTest::newRow("seconds") << qint64(45) << "남은 시간 약 45초";
        QTest::newRow("a minute") << qint64(60) << "남은 시간 약 1분";
        QTest::newRow("ten-second steps") << qint64(200) << "남은 시간 약 3분 20초";
        QTest::newRow("rounded down to the step") << qint64(209) << "남은 시간 약 3분 20초";
        QTest::newRow("hours") << qint64(3900) << "남은 시간 약 1시간 5분";
    }
    void format()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(TimeLeft::Format(seconds), text);
    }

    void shownAfterTwoSecondsAtMostTwiceASecond()
    {
        TimeLeft t;
        t.Begin(10'000'000);
        QVERIFY(!t.Update(0, 1000)); // the clock starts at the first report
        QVERIFY(!t.Update(500'000, 2000));
        QVERIFY(!t.Update(1'000'000, 2999));
        // 1 MB in 2 s: 9 MB left take 18 s.
        QCOMPARE(t.Update(1'000'000, 3000).value_or("none"), QStringLiteral("남은 시간 약 18초"));
        QVERIFY(!t.Update(1'100'000, 3400)); // too soon
        QCOMPARE(t.Update(2'000'000, 4000).value_or("none"), QStringLiteral("남은 시간 약 12초"));
        QVERIFY(!t.Update(2'307'692, 4600)); // 12 s again: the same text is not sent twice
        QCOMPARE(t.Update(10'000'000, 6000).value_or("none"), QStringLiteral("남은 시간 약 1초"));
    }

    void newUploadStartsAfresh()
    {
        TimeLeft t;
        t.Begin(1000);
        QVERIFY(!t.Update(0, 0));
        QVERIFY(t.Update(500, 5000).has_value());
        t.Begin(1000);
        QVERIFY(!t.Update(500, 6000)); // a new start: no figure before two seconds of it
        QVERIFY(!t.Update(600, 7999));
        QVERIFY(t.Update(600, 8000).has_value());
    }
};

QTEST_GUILESS_MAIN(TestTimeLeft)
#include "tst_timeleft.moc"
