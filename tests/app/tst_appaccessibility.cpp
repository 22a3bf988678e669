// The shell's part of what a screen reader meets: the batch panel's auto-correction box reaches
// every order once however it changes, and the main window is announced as a window.

#include "app/BatchPanel.h"
#include "app/MainFrm.h"
#include "cart/CartFixtures.h"
#include "cart/uOrderBrowser.h"
#include "common/AccessibilityProbe.h"
#include "common/AppTestMain.h"
#include "common/ButtonWays.h"
#include "model/LoadThumbThreadObj.h"
#include "model/uBrimvaleOrders.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QtTest>

class tst_appaccessibility : public QObject
{
    Q_OBJECT

    AccessibilityProbe m_probe;
    PhotoFolder m_photos;

private slots:
    void initTestCase()
    {
        QVERIFY(AccessibilityProbe::Active());
        qputenv("KESTRUN_WEB_URL", "http://127.0.0.1:9");
    }

    void cleanupTestCase() { WaitForThumbnailLoads(); }

    void autoCorrectReachesEveryOrderOnce_data()
    {
        QTest::addColumn<ButtonWay>("way");
        for (ButtonWay way :
            {ButtonWay::Click, ButtonWay::Space, ButtonWay::ToggleAction, ButtonWay::Code})
            QTest::newRow(ButtonWayName(way)) << way;
    }

    void autoCorrectReachesEveryOrderOnce()
    {
        QFETCH(ButtonWay, way);
        QWidget host;
        auto *browser = new TOrderBrowser(&host);
        browser->setGeometry(0, 0, 600, 400);
        auto *panel = new TBatchPanel(browser, &host);
        panel->move(600, 0);
        for (int n = 0; n < 3; ++n) {
            auto order = TOrder::Create(m_photos.Photo(QStringLiteral("p%1.jpg").arg(n), 640, 480));
            order->AutoCorrect = TOrder::AutoCorrectOn;
            browser->AddOrder(std::move(order));
        }
        browser->RefreshView();
        host.show();
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));
        QVERIFY(panel->Chk_All()->isChecked());
        QSignalSpy applied(panel, &TBatchPanel::OptionsApplied);

        QVERIFY(ChangeButton(panel->Chk_All(), way));
        for (int n = 0; n < browser->OrderCount(); ++n)
            QCOMPARE(int(browser->OrderAt(n)->AutoCorrect), int(TOrder::AutoCorrectOff));
        QCOMPARE(applied.count(), 1);

        // Resetting the panel ticks the box again without touching the orders through it.
        panel->ResetBatchPanel();
        QVERIFY(panel->Chk_All()->isChecked());
        QCOMPARE(applied.count(), 1);
    }

    void mainWindowIsAWindow()
    {
        TfrmMain window(QStringList {QStringLiteral("KestrunBrimvale"), QStringLiteral("kim")});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(AccessibilityProbe::Role(&window), QAccessible::Window);
        QCOMPARE(AccessibilityProbe::Name(&window), QStringLiteral("케스트런 브림베일"));
    }
};

KB_APP_TEST_MAIN(tst_appaccessibility)
#include "tst_appaccessibility.moc"
