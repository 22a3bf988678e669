// The upload window's changing texts (the step, the file being sent, the speed, the reconnect
// messages) are read with their text and announced as they change.

#include "common/AccessibilityProbe.h"
#include "common/WindowTestMain.h"
#include "upload/UploadFrm.h"

#include <QLabel>
#include <QtTest>

class tst_uploadaccessibility : public QObject
{
    Q_OBJECT

    AccessibilityProbe m_probe;

private slots:
    void initTestCase() { QVERIFY(AccessibilityProbe::Active()); }

    void labelsReadTheirText_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("shortName");
        QTest::addColumn<QString>("text");
        QTest::newRow("step") << QStringLiteral("lblMessage") << QStringLiteral("진행 단계")
                              << QStringLiteral("IMG_0001.jpg 전송 중 (3/12)");
        QTest::newRow("speed") << QStringLiteral("lblSpeed") << QStringLiteral("평균 전송 속도")
                               << QStringLiteral("1024");
        QTest::newRow("reconnect")
            << QStringLiteral("ExceptionLabel") << QStringLiteral("전송 상황")
            << QStringLiteral("재접속 중입니다 (1)");
    }

    void labelsReadTheirText()
    {
        QFETCH(QString, label);
        QFETCH(QString, shortName);
        QFETCH(QString, text);
        TfrmUpload window;
        window.show();
        auto *shown = window.findChild<QLabel *>(label);
        QVERIFY(shown);
        m_probe.Clear();
        shown->setText(text);
        QCOMPARE(AccessibilityProbe::Name(shown), shortName + QStringLiteral(": ") + text);
        QVERIFY2(m_probe.Count(QAccessible::NameChanged, shown) == 1,
            qPrintable(m_probe.Describe(shown)));
    }
};

KB_WINDOW_TEST_MAIN(tst_uploadaccessibility)
#include "tst_uploadaccessibility.moc"
