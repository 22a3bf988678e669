#include "cart/CartFixtures.h"
#include "cart/uOrderFrame.h"
#include "common/WindowTestMain.h"
#include "model/LoadThumbThreadObj.h"
#include "model/uBrimvaleOrders.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

// A photo card used by keyboard alone, under the program's skin.
class tst_cardkeys : public QObject
{
    Q_OBJECT

private:
    PhotoFolder m_photos;

    // The names of the controls Tab visits from the first quantity until it comes back.
    static QStringList tabChain(QWidget &Window, QWidget *First)
    {
        First->setFocus(Qt::TabFocusReason);
        QStringList names;
        for (int i = 0; i < 40; ++i) {
            QWidget *focus = QApplication::focusWidget();
            if (!focus || (i > 0 && focus == First))
                break;
            names.append(focus->objectName());
            QTest::keyClick(&Window, Qt::Key_Tab);
        }
        return names;
    }

private slots:
    void cleanupTestCase() { WaitForThumbnailLoads(); }

    void tabFollowsReadingOrder_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<bool>("bordered");
        QTest::addColumn<QString>("layoutButton");
        // Nothing chosen: the checked "선택안됨" is disabled, so Tab meets the first choice.
        QTest::newRow("none chosen") << int(TOrder::LayoutNotChosen) << false << "RadioButton1";
        QTest::newRow("paper-full") << int(TOrder::LayoutPaperFull) << false << "RadioButton1";
        QTest::newRow("image-full bordered")
            << int(TOrder::LayoutImageFull) << true << "RadioButton4";
    }

    void tabFollowsReadingOrder()
    {
        QFETCH(int, layout);
        QFETCH(bool, bordered);
        QFETCH(QString, layoutButton);
        auto order = TOrder::Create(m_photos.Photo("card.jpg", 1024, 768));
        order->Quantities[2] = 1;
        order->Bordered = bordered;
        order->SetLayout(std::uint8_t(layout));
        TOrderFrame card;
        card.setFixedSize(250, 273);
        card.SetOrder(order.get());
        card.show();
        QVERIFY(QTest::qWaitForWindowActive(&card));

        // Quantities top to bottom, then the layout (its chosen button; the arrow keys move
        // within the group), then the auto-correction box and the two buttons.
        QStringList expected;
        for (int i = 1; i <= 11; ++i)
            expected.append(QStringLiteral("SpinEdit%1").arg(i));
        expected << layoutButton;
        if (card.Check()->isVisible())
            expected << "Check";
        expected << "sButton1"
                 << "sButton2";
        QCOMPARE(tabChain(card, card.SpinEdit(0)), expected);

        const QString shots = qEnvironmentVariable("KB_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            card.SpinEdit(2)->setFocus(Qt::TabFocusReason);
            card.grab().save(shots + "/card-" + QTest::currentDataTag() + ".png");
        }
    }
};

KB_WINDOW_TEST_MAIN(tst_cardkeys)
#include "tst_cardkeys.moc"
