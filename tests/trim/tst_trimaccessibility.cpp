// The trimming window's size and layout groups act on every change of the chosen item, once,
// however it is made: mouse, keys, an assistive tool's toggle, or code.

#include "common/AccessibilityProbe.h"
#include "common/ButtonWays.h"
#include "trim/TrimmingFrm.h"

#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

class tst_trimaccessibility : public QObject
{
    Q_OBJECT

    AccessibilityProbe m_probe;
    QTemporaryDir m_dir;
    QString m_photo;

    QAbstractButton *item(TfrmTrimming &Window, const char *Group, int Index)
    {
        return Window.findChild<QRadioButton *>(QStringLiteral("%1%2").arg(Group).arg(Index));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(AccessibilityProbe::Active());
        QVERIFY(m_dir.isValid());
        QImage photo(1200, 900, QImage::Format_RGB32);
        photo.fill(Qt::darkCyan);
        m_photo = m_dir.filePath(QStringLiteral("landscape-1200x900.jpg"));
        QVERIFY(photo.save(m_photo));
    }

    void layoutItemReachesWorkingOrder_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<ButtonWay>("way");
        QTest::addColumn<int>("layout");
        QTest::addColumn<bool>("bordered");
        const struct
        {
            int Index;
            int Layout;
            bool Bordered;
        } items[] = {{1, TOrder::LayoutPaperFull, true}, {2, TOrder::LayoutImageFull, false},
            {3, TOrder::LayoutImageFull, true}};
        for (ButtonWay way : {ButtonWay::Click, ButtonWay::Space, ButtonWay::ArrowKey,
                 ButtonWay::ToggleAction, ButtonWay::Code})
            for (const auto &i : items)
                QTest::addRow("%s %d", ButtonWayName(way), i.Index)
                    << i.Index << way << i.Layout << i.Bordered;
    }

    void layoutItemReachesWorkingOrder()
    {
        QFETCH(int, index);
        QFETCH(ButtonWay, way);
        QFETCH(int, layout);
        QFETCH(bool, bordered);
        auto order = TOrder::Create(m_photo);
        order->SetQuantity(2, 1);
        // The arrow moves from the item above, so the order starts there.
        const int start = way == ButtonWay::ArrowKey ? index - 1 : 0;
        order->SetLayout(start < 2 ? TOrder::LayoutPaperFull : TOrder::LayoutImageFull);
        order->Bordered = start % 2 == 1;
        TfrmTrimming window;
        window.OpenForOrder(*order);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.LayoutItemIndex(), start);

        QVERIFY(
            ChangeButton(item(window, "rbLayout", index), way, item(window, "rbLayout", start)));
        QCOMPARE(window.LayoutItemIndex(), index);
        QCOMPARE(int(window.WorkingOrder()->Layout), layout);
        QCOMPARE(window.WorkingOrder()->Bordered, bordered);
    }

    void sizeItemLaysOutItsSize_data()
    {
        QTest::addColumn<ButtonWay>("way");
        for (ButtonWay way : {ButtonWay::Click, ButtonWay::Space, ButtonWay::ArrowKey,
                 ButtonWay::ToggleAction, ButtonWay::Code})
            QTest::newRow(ButtonWayName(way)) << way;
    }

    void sizeItemLaysOutItsSize()
    {
        QFETCH(ButtonWay, way);
        auto order = TOrder::Create(m_photo);
        order->SetQuantity(2, 1); // 4x6
        order->SetQuantity(3, 1); // D5, the next item
        order->SetLayout(TOrder::LayoutPaperFull);
        TfrmTrimming window;
        window.OpenForOrder(*order);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.SizeItemIndex(), 2);

        QVERIFY(ChangeButton(item(window, "rbSize", 3), way, item(window, "rbSize", 2)));
        QCOMPARE(window.SizeItemIndex(), 3);
        QCOMPARE(
            window.findChild<QLabel *>(QStringLiteral("lblTitle"))->text(), QStringLiteral("D5"));
    }
};

QTEST_MAIN(tst_trimaccessibility)
#include "tst_trimaccessibility.moc"
