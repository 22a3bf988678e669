// The low-resolution warning as a screen reader meets it: its "일괄적용" box changes the answers
// however it is changed, and its name carries the photo's file name like its caption.

#include "common/AccessibilityProbe.h"
#include "common/ButtonWays.h"
#include "common/WindowTestMain.h"
#include "notices/SizeAlertFrm.h"
#include "ui/ModalResult.h"

#include <QCheckBox>
#include <QtTest>

using namespace ModalResult;

class tst_noticeaccessibility : public QObject
{
    Q_OBJECT

    AccessibilityProbe m_probe;

private slots:
    void initTestCase()
    {
        QVERIFY(AccessibilityProbe::Active());
        qputenv("KESTRUN_WEB_URL", "http://127.0.0.1:9");
    }

    void applyToAllChangesAnswers_data()
    {
        QTest::addColumn<ButtonWay>("way");
        for (ButtonWay way :
            {ButtonWay::Click, ButtonWay::Space, ButtonWay::ToggleAction, ButtonWay::Code})
            QTest::newRow(ButtonWayName(way)) << way;
    }

    void applyToAllChangesAnswers()
    {
        QFETCH(ButtonWay, way);
        TfrmSizeAlert alert;
        alert.show();
        alert.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&alert));
        auto *all = alert.findChild<QCheckBox *>(QStringLiteral("chkAll"));
        QVERIFY(all);

        QVERIFY(ChangeButton(all, way));
        QCOMPARE(alert.YesResult(), int(mrYesToAll));
        QCOMPARE(alert.NoResult(), int(mrNoToAll));
        QVERIFY(ChangeButton(all, way));
        QCOMPARE(alert.YesResult(), int(mrYes));
        QCOMPARE(alert.NoResult(), int(mrNo));
    }

    void nameCarriesTheFileName()
    {
        TfrmSizeAlert alert;
        m_probe.Clear();
        alert.setWindowTitle(QStringLiteral("가족사진_001.jpg"));
        QCOMPARE(AccessibilityProbe::Name(&alert), QStringLiteral("해상도 경고: 가족사진_001.jpg"));
        QVERIFY2(m_probe.Count(QAccessible::NameChanged, &alert) >= 1,
            qPrintable(m_probe.Describe(&alert)));
        alert.setWindowTitle(QStringLiteral("next.jpg"));
        QCOMPARE(AccessibilityProbe::Name(&alert), QStringLiteral("해상도 경고: next.jpg"));
    }
};

KB_WINDOW_TEST_MAIN(tst_noticeaccessibility)
#include "tst_noticeaccessibility.moc"
