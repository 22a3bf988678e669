#include "cart/CartFixtures.h"
#include "cart/cShape.h"
#include "cart/cSizeIndicator.h"
#include "cart/cThumbView.h"
#include "cart/uOrderBrowser.h"
#include "cart/uOrderFrame.h"
#include "common/ModalWatcher.h"
#include "model/LoadThumbThreadObj.h"

#include <QLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest>

namespace {

constexpr int Size4x6 = 2;

// A wheel turn over the point At of Top, delivered to the widget under it as a mouse would.
void Wheel(QWidget *Top, QPoint At, int Delta)
{
    QWidget *target = Top->childAt(At);
    if (!target)
        target = Top;
    const QPoint local = target->mapFrom(Top, At);
    QWheelEvent event(local, Top->mapToGlobal(At), QPoint(), QPoint(0, Delta), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

} // namespace

class tst_orderbrowser : public QObject
{
    Q_OBJECT

private:
    PhotoFolder m_photos;
    QStringList m_paths;

    // A browser whose panel has the designed size of the waiting-list page, 747 x 498.
    std::unique_ptr<TOrderBrowser> browser(int Orders, QSize PanelSize = {747, 498})
    {
        auto b = std::make_unique<TOrderBrowser>();
        b->resize(PanelSize.width() + 17, PanelSize.height() + 19);
        b->show();
        b->layout()->activate();
        for (int i = 0; i < Orders; ++i)
            b->AddOrder(TOrder::Create(m_paths[i % m_paths.size()]));
        b->RefreshView();
        return b;
    }

    static QPoint middle(TOrderBrowser *B) { return B->Panel()->geometry().center(); }

private slots:
    void initTestCase()
    {
        for (int i = 0; i < 8; ++i)
            m_paths << m_photos.Photo(
                QStringLiteral("photo%1.jpg").arg(i), 1024 - 16 * i, 768 - 12 * i, unsigned(i + 1));
    }

    void cleanupTestCase() { WaitForThumbnailLoads(); }

    void cardPositions_data()
    {
        QTest::addColumn<int>("card");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("Order0") << 0 << QPoint(0, 0);
        QTest::newRow("Order1") << 1 << QPoint(250, 0);
        QTest::newRow("Order2") << 2 << QPoint(0, 273);
        QTest::newRow("Order3") << 3 << QPoint(250, 273);
        QTest::newRow("Order4") << 4 << QPoint(0, 546);
        QTest::newRow("Order5") << 5 << QPoint(250, 546);
    }

    void cardPositions()
    {
        QFETCH(int, card);
        QFETCH(QPoint, place);
        auto b = browser(0);
        QCOMPARE(b->Panel()->size(), QSize(747, 498));
        QCOMPARE(b->Columns(), 2);
        QCOMPARE(b->Rows(), 3);
        QCOMPARE(int(b->Frames().size()), 6);
        TOrderFrame *frame = b->Frames()[card];
        QCOMPARE(frame->objectName(), QStringLiteral("Order%1").arg(card));
        QCOMPARE(frame->parentWidget(), b->Panel());
        QCOMPARE(frame->geometry(), QRect(place, QSize(250, 273)));
        QVERIFY(frame->isHidden());
    }

    void scrollRange_data()
    {
        QTest::addColumn<int>("orders");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("pageSize");
        QTest::newRow("empty") << 0 << 498 << 498;
        QTest::newRow("2 orders: content 273 within 498") << 2 << 498 << 498;
        QTest::newRow("3 orders: 546, 454.2") << 3 << 546 << 454;
        QTest::newRow("6 orders: 819, 302.8") << 6 << 819 << 303;
        QTest::newRow("7 orders: 1092, 227.1") << 7 << 1092 << 227;
        QTest::newRow("200 orders: at least 5") << 200 << 27300 << 9;
    }

    void scrollRange()
    {
        QFETCH(int, orders);
        QFETCH(int, maximum);
        QFETCH(int, pageSize);
        auto b = browser(orders);
        QCOMPARE(b->ScrollBar()->maximum(), maximum);
        QCOMPARE(b->ScrollBar()->pageStep(), pageSize);
        QCOMPARE(b->StatusText(0), QString::asprintf("총 %d개의 사진", orders));
        int shown = 0;
        for (TOrderFrame *f : b->Frames())
            shown += f->isVisible();
        QCOMPARE(shown, qMin(orders, 6));
    }

    void pageSizeRoundsHalfToEven_data()
    {
        // Panel heights and contents (2 columns) where V * V / C lies exactly on a half.
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("orders");
        QTest::addColumn<int>("pageSize");
        QTest::newRow("136.5 to 136") << 273 << 4 << 136;
        QTest::newRow("409.5 to 410") << 819 << 12 << 410;
        QTest::newRow("3.3 raised to 5") << 60 << 8 << 5;
    }

    void pageSizeRoundsHalfToEven()
    {
        QFETCH(int, height);
        QFETCH(int, orders);
        QFETCH(int, pageSize);
        auto b = browser(orders, QSize(500, height));
        QCOMPARE(b->Panel()->height(), height);
        QCOMPARE(b->ScrollBar()->pageStep(), pageSize);
    }

    void wheelStepsWithTwoOrders_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("firstShown");
        QTest::newRow("one step") << 1 << 100 << -100 << true;
        QTest::newRow("two steps") << 2 << 200 << -200 << true;
        QTest::newRow("300: third order on, all hidden") << 3 << 300 << -27 << false;
        QTest::newRow("four steps") << 4 << 400 << -127 << false;
        QTest::newRow("fifth step reaches 498: nothing changes") << 5 << 498 << -127 << false;
    }

    void wheelStepsWithTwoOrders()
    {
        QFETCH(int, steps);
        QFETCH(int, position);
        QFETCH(int, offset);
        QFETCH(bool, firstShown);
        auto b = browser(2);
        for (int i = 0; i < steps; ++i)
            Wheel(b.get(), middle(b.get()), -120);
        QCOMPARE(b->ScrollBar()->value(), position);
        QCOMPARE(b->AppliedOffset(), offset);
        QCOMPARE(b->Frames()[0]->y(), offset);
        QCOMPARE(b->Frames()[5]->y(), 546 + offset);
        QCOMPARE(b->Frames()[0]->isVisible(), firstShown);
        QCOMPARE(b->Frames()[1]->isVisible(), firstShown);
    }

    void wheelAnywhere_data()
    {
        QTest::addColumn<QString>("over");
        QTest::newRow("a quantity field") << "SpinEdit3";
        QTest::newRow("a card's label") << "Label6";
        QTest::newRow("the scroll bar") << "ScrollBar";
        QTest::newRow("the status bar") << "StatusPanel1";
    }

    void wheelAnywhere()
    {
        QFETCH(QString, over);
        auto b = browser(7);
        QWidget *w = b->findChild<QWidget *>(over);
        QVERIFY(w);
        const QPoint at = w->mapTo(b.get(), w->rect().center());
        QWidget *under = b->childAt(at);
        QVERIFY(under == w || w->isAncestorOf(under));
        Wheel(b.get(), at, -120);
        Wheel(b.get(), at, -30); // the size of the turn does not matter
        QCOMPARE(b->ScrollBar()->value(), 200);
        Wheel(b.get(), b->Frames()[0]->mapTo(b.get(), QPoint(40, 5)), 120); // back up
        QCOMPARE(b->ScrollBar()->value(), 100);
        QCOMPARE(b->Frames()[0]->SpinEdit(Size4x6)->value(), 0);
        for (int i = 0; i < 3; ++i)
            Wheel(b.get(), middle(b.get()), 120);
        QCOMPARE(b->ScrollBar()->value(), 0); // clamped at the top
    }

    void position546()
    {
        auto b = browser(7);
        b->ScrollBar()->setValue(546);
        QCOMPARE(b->FirstVisibleIndex(), 4);
        QCOMPARE(b->Frames()[0]->Order(), b->OrderAt(4));
        QCOMPARE(b->Frames()[2]->Order(), b->OrderAt(6));
        QVERIFY(b->Frames()[3]->isHidden());
        QCOMPARE(b->AppliedOffset(), 0);
        QCOMPARE(b->Frames()[0]->pos(), QPoint(0, 0));
    }

    void wheelToTheMaximumChangesNothing()
    {
        auto b = browser(7);
        b->ScrollBar()->setValue(1050);
        QCOMPARE(b->AppliedOffset(), -231);
        QCOMPARE(b->FirstVisibleIndex(), 6);
        Wheel(b.get(), middle(b.get()), -120);
        QCOMPARE(b->ScrollBar()->value(), 1092);
        QCOMPARE(b->AppliedOffset(), -231);
        QCOMPARE(b->FirstVisibleIndex(), 6);
        QCOMPARE(b->Frames()[0]->Order(), b->OrderAt(6));
    }

    void emptyListStatus()
    {
        auto b = browser(0);
        QCOMPARE(b->StatusText(0), QStringLiteral("총 0개의 사진"));
        QCOMPARE(b->StatusText(1), QStringLiteral("[사진 추가하기] 버튼을 클릭하세요."));
    }

    void quantityStatus_data()
    {
        QTest::addColumn<QList<int>>("preset"); // 4x6 prints per order before the edit
        QTest::addColumn<QString>("typed"); // into the first card's 4x6 field
        QTest::addColumn<QString>("status");
        QTest::newRow("2 of 5 without") << QList<int> {0, 1, 1, 0,
            0} << "1" << QString::asprintf("수량선택이 되지않은 사진이 %d개 있습니다", 2);
        QTest::newRow("all 5 without")
            << QList<int> {2, 0, 0, 0, 0} << "0" << QStringLiteral("수량을 선택해 해주세요");
        QTest::newRow("none without") << QList<int> {0, 1, 3, 1,
            9} << "4" << QStringLiteral("수량선택이 완료되었습니다. 주문하기 버튼을 눌러주세요");
    }

    void quantityStatus()
    {
        QFETCH(QList<int>, preset);
        QFETCH(QString, typed);
        QFETCH(QString, status);
        auto b = browser(5);
        for (int i = 0; i < 5; ++i)
            b->OrderAt(i)->SetQuantity(Size4x6, preset[i]);
        b->RefreshView();
        QSpinBox *spin = b->Frames()[0]->SpinEdit(Size4x6);
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, typed);
        QCOMPARE(b->OrderAt(0)->GetQuantity(Size4x6), typed.toInt());
        QCOMPARE(b->StatusText(1), status);
    }

    void addingWithoutRefreshShowsNothing()
    {
        auto b = browser(2);
        WaitForThumbnailLoads();
        QCoreApplication::processEvents();
        const QImage before = b->grab().toImage();
        b->AddOrder(TOrder::Create(m_paths[3]));
        QCOMPARE(b->OrderCount(), 3);
        QVERIFY(b->ContainsFileName(m_paths[3]));
        QCOMPARE(b->StatusText(0), QStringLiteral("총 2개의 사진"));
        QVERIFY(b->Frames()[2]->isHidden());
        QCOMPARE(b->ScrollBar()->maximum(), 498);
        QCOMPARE(b->grab().toImage(), before);
    }

    void deleteOnlyOrderOfLastRow()
    {
        auto b = browser(7);
        QCOMPARE(b->ScrollBar()->maximum(), 1092);
        b->ScrollBar()->setValue(546);
        TOrderFrame *last = b->Frames()[2];
        QCOMPARE(last->Order(), b->OrderAt(6));
        const QString name = last->Order()->FileName;
        ModalWatcher watcher(ModalWatcher::Dismiss, 300);
        QTest::mouseClick(last->btnDelete(), Qt::LeftButton);
        QCOMPARE(b->OrderCount(), 6);
        QCOMPARE(b->ScrollBar()->maximum(), 819);
        QCOMPARE(b->ScrollBar()->pageStep(), 303);
        QVERIFY(last->isHidden());
        QCOMPARE(b->Frames()[0]->Order(), b->OrderAt(4));
        QCOMPARE(int(b->Frames().size()), 6); // the pool stays
        // Another order with the same photo keeps the name listed.
        QVERIFY(!b->ContainsFileName(name));
        QTest::qWait(50);
        QVERIFY(!watcher.Seen());
    }

    void deleteAtPosition1000()
    {
        auto b = browser(7);
        for (int i = 0; i < 10; ++i)
            Wheel(b.get(), middle(b.get()), -120);
        QCOMPARE(b->ScrollBar()->value(), 1000);
        QCOMPARE(b->FirstVisibleIndex(), 6);
        QCOMPARE(b->AppliedOffset(), -181);
        TOrderFrame *top = b->Frames()[0];
        QCOMPARE(top->Order(), b->OrderAt(6));
        QCOMPARE(top->y(), -181);
        TOrder *doomed = b->OrderAt(6);
        QTest::mouseClick(top->btnDelete(), Qt::LeftButton);
        QCOMPARE(b->OrderCount(), 6);
        for (int i = 0; i < 6; ++i)
            QVERIFY(b->OrderAt(i) != doomed);
        QCOMPARE(b->ScrollBar()->maximum(), 819);
        QCOMPARE(b->ScrollBar()->pageStep(), 303);
        QCOMPARE(b->ScrollBar()->value(), 819);
        QCOMPARE(b->FirstVisibleIndex(), 6);
        QCOMPARE(b->AppliedOffset(), 0);
        for (TOrderFrame *f : b->Frames())
            QVERIFY(f->isHidden());
        QCOMPARE(b->StatusText(0), QStringLiteral("총 6개의 사진"));
        // Scrolling up brings the photos back.
        Wheel(b.get(), middle(b.get()), 120);
        QCOMPARE(b->FirstVisibleIndex(), 4);
        QCOMPARE(b->Frames()[0]->Order(), b->OrderAt(4));
    }

    void clearOrders()
    {
        auto b = browser(7);
        b->ScrollBar()->setValue(600);
        b->ClearOrders();
        QCOMPARE(b->OrderCount(), 0);
        QCOMPARE(b->ScrollBar()->value(), 0);
        QCOMPARE(b->AppliedOffset(), 0);
        QCOMPARE(b->Frames()[0]->pos(), QPoint(0, 0));
        for (TOrderFrame *f : b->Frames()) {
            QVERIFY(f->isHidden());
            QCOMPARE(f->Order(), nullptr);
        }
        for (const QString &p : m_paths)
            QVERIFY(!b->ContainsFileName(p));
        QCOMPARE(b->StatusText(0), QStringLiteral("총 0개의 사진"));
        QCOMPARE(b->StatusText(1), QStringLiteral("[사진 추가하기] 버튼을 클릭하세요."));
    }

    void fileNamesFollowTheList()
    {
        auto b = browser(0);
        b->AddOrder(TOrder::Create(m_paths[0]));
        b->AddOrder(TOrder::Create(m_paths[0]));
        b->AddOrder(TOrder::Create(m_paths[1]));
        b->RefreshView();
        QVERIFY(!b->ContainsFileName(m_paths[0].toUpper()));
        b->OnDeleteOrder(b->Frames()[0]);
        QVERIFY(b->ContainsFileName(m_paths[0])); // the second copy is still listed
        b->OnDeleteOrder(b->Frames()[0]);
        QVERIFY(!b->ContainsFileName(m_paths[0]));
        QVERIFY(b->ContainsFileName(m_paths[1]));
        QCOMPARE(b->OrderCount(), 1);
    }

    void resize_data()
    {
        QTest::addColumn<QSize>("panel");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::newRow("designed") << QSize(747, 498) << 2 << 3;
        QTest::newRow("exactly two cards wide") << QSize(500, 273) << 2 << 2;
        QTest::newRow("wide and tall") << QSize(1010, 700) << 4 << 4;
        QTest::newRow("narrower than a card") << QSize(180, 300) << 1 << 3;
    }

    void resize()
    {
        QFETCH(QSize, panel);
        QFETCH(int, columns);
        QFETCH(int, rows);
        auto b = browser(9, panel);
        QCOMPARE(b->Panel()->size(), panel);
        QCOMPARE(b->Columns(), columns);
        QCOMPARE(b->Rows(), rows);
        QCOMPARE(int(b->Frames().size()), columns * rows);
        for (int i = 0; i < int(b->Frames().size()); ++i) {
            const QPoint at(250 * (i % columns), 273 * (i / columns));
            QCOMPARE(b->Frames()[i]->pos(), at);
            QCOMPARE(b->Frames()[i]->Order(), i < 9 ? b->OrderAt(i) : nullptr);
        }
        // Smaller again: the cards are laid out anew, the pool never shrinks.
        const int pool = int(b->Frames().size());
        b->resize(b->width() - 260, b->height());
        QCoreApplication::processEvents();
        QCOMPARE(int(b->Frames().size()), pool);
        QVERIFY(b->Columns() >= 1);
        for (int i = 1; i < pool; ++i) {
            const QPoint prev = b->Frames()[i - 1]->pos();
            const QPoint at = b->Frames()[i]->pos();
            QVERIFY(at == prev + QPoint(250, 0) || at == QPoint(0, prev.y() + 273));
        }
    }

    void mouseMoveGivesTheScrollBarTheFocus()
    {
        auto b = browser(3);
        b->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(b.get()));
        QSpinBox *spin = b->Frames()[1]->SpinEdit(0);
        spin->setFocus();
        QVERIFY(spin->hasFocus());
        QTest::mouseMove(b->Frames()[1], QPoint(200, 8)); // over its file name
        QTRY_VERIFY(b->ScrollBar()->hasFocus());
        spin->setFocus();
        QTest::mouseMove(b->Panel(), QPoint(600, 400)); // the bare panel
        QTRY_VERIFY(b->ScrollBar()->hasFocus());
    }

    // The page as the user sees it: landscape, portrait, a low-resolution photo and a complete
    // order. KB_SCREENSHOT_DIR keeps the picture for looking at.
    void onScreen()
    {
        auto b = browser(0);
        b->AddOrder(TOrder::Create(m_photos.Photo("landscape.jpg", 1600, 1000, 11)));
        b->AddOrder(TOrder::Create(m_photos.Photo("portrait.jpg", 900, 1400, 12)));
        b->AddOrder(TOrder::Create(m_photos.Photo("small.jpg", 480, 360, 13)));
        b->AddOrder(TOrder::Create(m_photos.Photo("complete.jpg", 2400, 1800, 14)));
        TOrder *complete = b->OrderAt(3);
        complete->SetQuantity(Size4x6, 2);
        complete->SetQuantity(0, 1);
        complete->SetLayout(TOrder::LayoutPaperFull);
        complete->Bordered = true;
        b->RefreshView();
        WaitForThumbnailLoads();
        QCoreApplication::processEvents();
        const QImage page = b->grab().toImage();
        if (const QString dir = qEnvironmentVariable("KB_SCREENSHOT_DIR"); !dir.isEmpty())
            page.save(dir + "/cart-browser.png");

        // Outline band: yellow on an incomplete card, red on the complete one.
        QCOMPARE(page.pixelColor(b->Frames()[0]->mapTo(b.get(), QPoint(3, 100))),
            TOrderFrame::IncompleteColor());
        QCOMPARE(page.pixelColor(b->Frames()[3]->mapTo(b.get(), QPoint(3, 100))),
            TOrderFrame::CompleteColor());
        // The thumbnail shows inside its box on every card.
        for (int i = 0; i < 4; ++i) {
            TOrderFrame *f = b->Frames()[i];
            const QPoint centre = f->Thumb()->mapTo(b.get(), f->Thumb()->rect().center());
            QVERIFY2(page.pixelColor(centre) != QColor(Qt::white), qPrintable(f->objectName()));
        }
        int crosses = 0;
        for (int i = 0; i < PrintSizeCount; ++i)
            crosses += b->Frames()[2]->SizeIndicator(i)->SizeStatus() == ssBad;
        QVERIFY(crosses >= 9);
    }
};

QTEST_MAIN(tst_orderbrowser)
#include "tst_orderbrowser.moc"
