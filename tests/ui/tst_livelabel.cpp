// A label bound by ExposeLabelText is read as its short name and its current text, and every
// change of the text is announced once, whichever way the text is set.

#include "common/AccessibilityProbe.h"
#include "ui/LiveLabel.h"

#include <QApplication>
#include <QLabel>
#include <QtTest>

class tst_livelabel : public QObject
{
    Q_OBJECT

    AccessibilityProbe m_probe;

private slots:
    void initTestCase() { QVERIFY(AccessibilityProbe::Active()); }

    void nameFollowsText_data()
    {
        QTest::addColumn<QString>("shortName");
        QTest::addColumn<Qt::TextFormat>("format");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("short name and text")
            << QStringLiteral("진행 단계") << Qt::PlainText << QStringLiteral("접속 중")
            << QStringLiteral("진행 단계: 접속 중");
        QTest::newRow("text only")
            << QString() << Qt::PlainText << QStringLiteral("3장") << QStringLiteral("3장");
        QTest::newRow("empty text reads the short name") << QStringLiteral(
            "전송 상황") << Qt::PlainText << QString() << QStringLiteral("전송 상황");
        QTest::newRow("rich text read as plain")
            << QStringLiteral("안내") << Qt::AutoText << QStringLiteral("<b>재접속</b> 1회")
            << QStringLiteral("안내: 재접속 1회");
        QTest::newRow("plain text keeps its markup")
            << QStringLiteral("안내") << Qt::PlainText << QStringLiteral("<b>x</b>")
            << QStringLiteral("안내: <b>x</b>");
    }

    void nameFollowsText()
    {
        QFETCH(QString, shortName);
        QFETCH(Qt::TextFormat, format);
        QFETCH(QString, text);
        QFETCH(QString, name);
        QLabel label;
        label.setTextFormat(format);
        label.setText(QStringLiteral("처음"));
        label.setAccessibleName(shortName);
        label.show();
        // Qt's own interface of the label exists already, as it does with a screen reader on.
        QVERIFY(AccessibilityProbe::Interface(&label));
        ExposeLabelText(&label);

        m_probe.Clear();
        label.setText(text);
        QCOMPARE(AccessibilityProbe::Name(&label), name);
        QCOMPARE(AccessibilityProbe::Role(&label), QAccessible::StaticText);
        QVERIFY2(m_probe.Count(QAccessible::NameChanged, &label) == 1,
            qPrintable(m_probe.Describe(&label)));
        label.setText(text); // the same text again is no news
        QCOMPARE(m_probe.Count(QAccessible::NameChanged, &label), 1);
    }

    void textSetThroughASlot()
    {
        QLabel label;
        label.setAccessibleName(QStringLiteral("평균 전송 속도"));
        ExposeLabelText(&label);
        ExposeLabelText(&label); // a second binding changes nothing
        connect(this, &tst_livelabel::speed, &label, &QLabel::setText);
        m_probe.Clear();
        emit speed(QStringLiteral("512"));
        QCOMPARE(AccessibilityProbe::Name(&label), QStringLiteral("평균 전송 속도: 512"));
        QCOMPARE(m_probe.Count(QAccessible::NameChanged, &label), 1);
    }

signals:
    void speed(const QString &Text);
};

QTEST_MAIN(tst_livelabel)
#include "tst_livelabel.moc"
