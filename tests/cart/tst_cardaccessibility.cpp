#include "cart/CartFixtures.h"
#include "cart/uOrderBrowser.h"
#include "cart/uOrderFrame.h"
#include "common/AccessibilityProbe.h"
#include "common/ButtonWays.h"
#include "model/LoadThumbThreadObj.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>

// A card's layout and auto-correction buttons reach the order on every change of state, once,
// however it is made; the cart's status panels are read with their text.
class tst_cardaccessibility : public QObject
{
    Q_OBJECT

    AccessibilityProbe m_probe;
    PhotoFolder m_photos;
    QString m_photo;

private slots:
    void initTestCase()
    {
        QVERIFY(AccessibilityProbe::Active());
        m_photo = m_photos.Photo("card.jpg", 800, 600);
    }

    void cleanupTestCase() { WaitForThumbnailLoads(); }

    void buttonReachesOrderOnce_data()
    {
        QTest::addColumn<int>("button"); // 1 to 4 a layout button, -1 the check box
        QTest::addColumn<ButtonWay>("way");
        QTest::addColumn<int>("layout");
        QTest::addColumn<bool>("bordered");
        QTest::addColumn<int>("autoCorrect");

        const struct
        {
            int Button;
            int Layout;
            bool Bordered;
        } targets[] = {{1, TOrder::LayoutPaperFull, false}, {2, TOrder::LayoutPaperFull, true},
            {3, TOrder::LayoutImageFull, false}, {4, TOrder::LayoutImageFull, true}};
        for (ButtonWay way :
            {ButtonWay::Click, ButtonWay::Space, ButtonWay::ToggleAction, ButtonWay::Code})
            for (const auto &t : targets)
                QTest::addRow("%s %d", ButtonWayName(way), t.Button)
                    << t.Button << way << t.Layout << t.Bordered << int(TOrder::AutoCorrectOff);
        // The arrow key moves from the button above, which the order's layout checks.
        QTest::addRow("arrow 2") << 2 << ButtonWay::ArrowKey << int(TOrder::LayoutPaperFull) << true
                                 << int(TOrder::AutoCorrectOff);
        QTest::addRow("arrow 4") << 4 << ButtonWay::ArrowKey << int(TOrder::LayoutImageFull) << true
                                 << int(TOrder::AutoCorrectOff);
        for (ButtonWay way :
            {ButtonWay::Click, ButtonWay::Space, ButtonWay::ToggleAction, ButtonWay::Code})
            QTest::addRow("%s check", ButtonWayName(way))
                << -1 << way << int(TOrder::LayoutNotChosen) << false << int(TOrder::AutoCorrectOn);
    }

    void buttonReachesOrderOnce()
    {
        QFETCH(int, button);
        QFETCH(ButtonWay, way);
        QFETCH(int, layout);
        QFETCH(bool, bordered);
        QFETCH(int, autoCorrect);

        auto order = TOrder::Create(m_photo);
        order->SetQuantity(2, 1);
        order->AutoCorrect = TOrder::AutoCorrectOff;
        // An arrow row starts on the button above its target.
        if (way == ButtonWay::ArrowKey) {
            order->SetLayout(button == 2 ? TOrder::LayoutPaperFull : TOrder::LayoutImageFull);
            order->Bordered = false;
        }
        auto expected = order->Clone();
        if (layout != TOrder::LayoutNotChosen)
            expected->SetLayout(std::uint8_t(layout));
        expected->Bordered = bordered;
        expected->AutoCorrect = std::uint8_t(autoCorrect);

        TOrderFrame card;
        card.setFixedSize(250, 273);
        card.SetOrder(order.get());
        card.Check()->show(); // hidden on the cart page; its handling is the same
        card.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&card));
        int handled = 0;
        card.OnOptionChange = [&](TOrderFrame *) { ++handled; };

        QAbstractButton *target
            = button < 0 ? static_cast<QAbstractButton *>(card.Check()) : card.RadioButton(button);
        QVERIFY(ChangeButton(target, way, button > 0 ? card.RadioButton(button - 1) : nullptr));
        QCOMPARE(order->CartInfoLine(), expected->CartInfoLine());
        QCOMPARE(int(order->Layout), layout);
        QCOMPARE(order->Bordered, bordered);
        QCOMPARE(int(order->AutoCorrect), autoCorrect);
        QCOMPARE(handled, 1);
    }

    // Showing another order's choice, and the trimming window's, is no change by the customer.
    void bindingChangesNothing()
    {
        auto first = TOrder::Create(m_photo);
        auto second = TOrder::Create(m_photo);
        second->SetLayout(TOrder::LayoutImageFull);
        second->Bordered = true;
        second->AutoCorrect = TOrder::AutoCorrectOn;
        TOrderFrame card;
        card.SetOrder(first.get());
        int handled = 0;
        card.OnOptionChange = [&](TOrderFrame *) { ++handled; };
        card.SetOrder(second.get());
        QVERIFY(card.RadioButton(4)->isChecked());
        card.SetOrder(first.get());
        QVERIFY(card.RadioButton(0)->isChecked());
        QCOMPARE(handled, 0);
        QCOMPARE(int(first->Layout), int(TOrder::LayoutNotChosen));
        QCOMPARE(int(second->AutoCorrect), int(TOrder::AutoCorrectOn));
    }

    void statusPanelsReadTheirText_data()
    {
        QTest::addColumn<int>("panel");
        QTest::addColumn<QString>("shortName");
        QTest::newRow("photo count") << 0 << QStringLiteral("사진 수");
        QTest::newRow("quantity state") << 1 << QStringLiteral("수량 선택 상태");
    }

    void statusPanelsReadTheirText()
    {
        QFETCH(int, panel);
        QFETCH(QString, shortName);
        TOrderBrowser browser;
        browser.resize(800, 600);
        browser.show();
        auto *label = browser.findChild<QLabel *>(QStringLiteral("StatusPanel%1").arg(panel));
        QVERIFY(label);
        m_probe.Clear();
        const QString text = QStringLiteral("수량선택이 되지않은 사진이 3개 있습니다");
        browser.SetStatusText(panel, text);
        QCOMPARE(AccessibilityProbe::Name(label), shortName + QStringLiteral(": ") + text);
        QVERIFY2(m_probe.Count(QAccessible::NameChanged, label) == 1,
            qPrintable(m_probe.Describe(label)));
    }
};

QTEST_MAIN(tst_cardaccessibility)
#include "tst_cardaccessibility.moc"
