#include "cart/CartFixtures.h"
#include "cart/cShape.h"
#include "cart/cSizeIndicator.h"
#include "cart/cThumbView.h"
#include "cart/uOrderFrame.h"
#include "common/ModalWatcher.h"
#include "model/LoadThumbThreadObj.h"
#include "notices/NoticeWindows.h"
#include "notices/SizeAlertFrm.h"
#include "trim/TrimmingFrm.h"
#include "ui/ModalResult.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

using namespace ModalResult;

namespace {

constexpr int Size4x6 = 2;
constexpr int Size11x14 = 7;

// Replaces the field's text by Text as the user types it.
void Type(QSpinBox *Spin, const QString &Text)
{
    Spin->setFocus();
    Spin->selectAll();
    QTest::keyClicks(Spin, Text);
}

} // namespace

class tst_orderframe : public QObject
{
    Q_OBJECT

private:
    PhotoFolder m_photos;
    QWidget m_owner;
    QString m_large, m_portrait, m_other;

    std::unique_ptr<TOrderFrame> card()
    {
        auto frame = std::make_unique<TOrderFrame>();
        frame->setFixedSize(250, 273);
        return frame;
    }

private slots:
    void initTestCase()
    {
        // The warning's page comes from nowhere; its window is what matters here.
        qputenv("KESTRUN_WEBVIEW", "text");
        qputenv("KESTRUN_WEB_URL", "http://127.0.0.1:9");
        CreateNoticeWindows(&m_owner);
        QVERIFY(frmSizeAlert());
        m_large = m_photos.Photo("large.jpg", 1024, 768);
        m_portrait = m_photos.Photo("portrait.jpg", 600, 900, 2);
        m_other = m_photos.Photo("other.jpg", 800, 600, 3);
    }

    void cleanupTestCase() { WaitForThumbnailLoads(); }

    void controlsAsDesigned()
    {
        TOrderFrame frame;
        QCOMPARE(frame.size(), QSize(250, 275));
        QCOMPARE(frame.Shape()->geometry(), QRect(2, 2, 246, 271));
        QCOMPARE(frame.Shape()->PenColor(), QColor(0xC0, 0xC0, 0xC0));
        QCOMPARE(frame.Shape()->PenWidth(), 3);
        QCOMPARE(frame.Thumb()->geometry(), QRect(12, 29, 93, 84));
        QCOMPARE(frame.btnEdit()->text(), QStringLiteral("편집하기"));
        QCOMPARE(frame.btnDelete()->text(), QStringLiteral("삭제"));
        QVERIFY(frame.RadioButton(0)->isChecked());
        QVERIFY(!frame.RadioButton(0)->isEnabled());
        const int tops[] = {26, 48, 70, 92, 114, 136, 158, 180, 202, 224, 248};
        for (int i = 0; i < PrintSizeCount; ++i) {
            QCOMPARE(frame.SpinEdit(i)->property("Tag").toInt(), i);
            QCOMPARE(frame.SpinEdit(i)->geometry(), QRect(168, tops[i], 53, 19));
            QCOMPARE(frame.SpinEdit(i)->maximum(), 9999);
            QCOMPARE(frame.SizeIndicator(i)->ImageList(), &SizeMarkImageList());
            QVERIFY(!frame.SpinEdit(i)->accessibleName().isEmpty());
            QVERIFY(!frame.SizeIndicator(i)->accessibleName().isEmpty());
        }
        QCOMPARE(frame.SizeIndicator(10)->y(), 246);
        QVERIFY(!frame.isVisible());
    }

    void newOrder()
    {
        auto order = TOrder::Create(m_large);
        auto frame = card();
        frame->SetOrder(order.get());
        QVERIFY(frame->isVisible());
        QVERIFY(frame->RadioButton(0)->isChecked());
        QCOMPARE(frame->RadioButton(0)->text(), QStringLiteral("선택안됨"));
        QCOMPARE(frame->Shape()->PenColor(), TOrderFrame::IncompleteColor());
        QCOMPARE(TOrderFrame::IncompleteColor(), QColor(Qt::yellow));
        QCOMPARE(frame->FilenameLabel()->text(), QStringLiteral("large.jpg"));
        QCOMPARE(frame->lblSize()->text(), QStringLiteral("1024x768"));
        QVERIFY(frame->Check()->isHidden());
        for (int i = 0; i < PrintSizeCount; ++i) {
            QCOMPARE(frame->SizeIndicator(i)->SizeStatus(), order->GetSizeStatus(i));
            QCOMPARE(frame->SpinEdit(i)->value(), 0);
        }
        QCOMPARE(frame->SizeIndicator(Size4x6)->SizeStatus(), ssOptimal);
        QCOMPARE(frame->SizeIndicator(Size11x14)->SizeStatus(), ssBad);
        // The thumbnail arrives in the background and is shown fitted with its proportions.
        QTRY_COMPARE(frame->Thumb()->Bitmap()->Width(), ThumbnailWidth);
        QCOMPARE(frame->Thumb()->PictureRect().size(), QSize(93, 81));
    }

    void bindingShowsTheOrder()
    {
        auto order = TOrder::Create(m_portrait);
        order->Quantities[0] = 2;
        order->Quantities[10] = 4;
        order->Layout = TOrder::LayoutImageFull;
        order->Bordered = true;
        order->AutoCorrect = TOrder::AutoCorrectOn;
        auto frame = card();
        int reported = 0;
        frame->OnQuantityChange = [&](TOrderFrame *) { ++reported; };
        frame->SetOrder(order.get());
        QCOMPARE(frame->SpinEdit(0)->value(), 2);
        QCOMPARE(frame->SpinEdit(10)->value(), 4);
        QVERIFY(frame->RadioButton(4)->isChecked());
        QVERIFY(frame->Check()->isChecked());
        QCOMPARE(frame->Shape()->PenColor(), TOrderFrame::CompleteColor());
        QCOMPARE(reported, 1); // once per binding that changed shown quantities
        QCOMPARE(order->Quantities[0], 2);

        frame->SetOrder(nullptr);
        QVERIFY(!frame->isVisible());
        QCOMPARE(frame->Order(), nullptr);
    }

    void outline_data()
    {
        QTest::addColumn<int>("layoutButton");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("paper-full, 1 print") << 1 << "1" << TOrderFrame::CompleteColor();
        QTest::newRow("image-full bordered, 5 prints") << 4 << "5" << TOrderFrame::CompleteColor();
        QTest::newRow("no layout, 1 print") << 0 << "1" << TOrderFrame::IncompleteColor();
        QTest::newRow("paper-full, no print") << 2 << "0" << TOrderFrame::IncompleteColor();
    }

    void outline()
    {
        QFETCH(int, layoutButton);
        QFETCH(QString, typed);
        QFETCH(QColor, colour);
        auto order = TOrder::Create(m_large);
        auto frame = card();
        frame->show();
        frame->SetOrder(order.get());
        if (layoutButton > 0)
            QTest::mouseClick(frame->RadioButton(layoutButton), Qt::LeftButton);
        Type(frame->SpinEdit(Size4x6), typed);
        QCOMPARE(order->GetQuantity(Size4x6), typed.toInt());
        QCOMPARE(frame->Shape()->PenColor(), colour);
        // And back: no print is never complete.
        Type(frame->SpinEdit(Size4x6), "0");
        QCOMPARE(order->GetQuantity(Size4x6), 0);
        QCOMPARE(frame->Shape()->PenColor(), TOrderFrame::IncompleteColor());
    }

    void layoutButtons_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("layout");
        QTest::addColumn<bool>("bordered");
        QTest::addColumn<bool>("cropsKept");
        QTest::newRow("페이퍼풀/무테") << 1 << int(TOrder::LayoutPaperFull) << false << true;
        QTest::newRow("페이퍼풀/유테") << 2 << int(TOrder::LayoutPaperFull) << true << true;
        QTest::newRow("이미지풀/무테") << 3 << int(TOrder::LayoutImageFull) << false << false;
        QTest::newRow("이미지풀/유테") << 4 << int(TOrder::LayoutImageFull) << true << false;
    }

    void layoutButtons()
    {
        QFETCH(int, button);
        QFETCH(int, layout);
        QFETCH(bool, bordered);
        QFETCH(bool, cropsKept);
        auto order = TOrder::Create(m_large);
        for (int i = 0; i < PrintSizeCount; ++i) {
            order->CropRects[i] = TFloatRect {1, 2, 30, 40};
            order->CropTexts[i] = QStringLiteral("1,2,30,40");
        }
        auto frame = card();
        frame->show();
        frame->SetOrder(order.get());
        QTest::mouseClick(frame->RadioButton(button), Qt::LeftButton);
        QVERIFY(frame->RadioButton(button)->isChecked());
        QCOMPARE(int(order->Layout), layout);
        QCOMPARE(order->Bordered, bordered);
        for (int i = 0; i < PrintSizeCount; ++i) {
            QCOMPARE(order->CropTexts[i].isEmpty(), !cropsKept);
            QCOMPARE(order->CropRects[i].Right == 30, cropsKept);
        }
    }

    void checkClick()
    {
        auto order = TOrder::Create(m_large);
        order->AutoCorrect = TOrder::AutoCorrectNotSet;
        auto frame = card();
        frame->SetOrder(order.get());
        frame->Check()->setChecked(false);
        frame->CheckClick();
        QCOMPARE(order->AutoCorrect, TOrder::AutoCorrectOff);
        frame->Check()->setChecked(true);
        frame->CheckClick();
        QCOMPARE(order->AutoCorrect, TOrder::AutoCorrectOn);
    }

    void lowResolution_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("tickAll");
        QTest::addColumn<int>("quantity");
        QTest::addColumn<int>("status");
        QTest::newRow("no") << "btnNo" << false << 0 << int(ssBad);
        QTest::newRow("no to all") << "btnNo" << true << 0 << int(ssBad);
        QTest::newRow("yes") << "btnYes" << false << 3 << int(ssWarning);
        QTest::newRow("yes to all") << "btnYes" << true << 3 << int(ssWarning);
    }

    void lowResolution()
    {
        QFETCH(QString, button);
        QFETCH(bool, tickAll);
        QFETCH(int, quantity);
        QFETCH(int, status);
        TfrmSizeAlert *alert = frmSizeAlert();
        alert->findChild<QCheckBox *>("chkAll")->setChecked(tickAll);
        auto order = TOrder::Create(m_large);
        order->Layout = TOrder::LayoutPaperFull;
        auto frame = card();
        frame->show();
        frame->SetOrder(order.get());
        int reported = 0;
        frame->OnQuantityChange = [&](TOrderFrame *) { ++reported; };
        const QImage crossBefore = frame->SizeIndicator(Size11x14)->Picture();

        ModalWatcher watcher([&](QWidget *w) {
            QTest::mouseClick(w->findChild<QPushButton *>(button), Qt::LeftButton);
        });
        Type(frame->SpinEdit(Size11x14), "3");
        QVERIFY(watcher.Seen());
        QCOMPARE(watcher.ObjectName(), alert->objectName());
        QCOMPARE(watcher.Title(), QStringLiteral("large.jpg"));
        QCOMPARE(frame->SpinEdit(Size11x14)->value(), quantity);
        QCOMPARE(order->GetQuantity(Size11x14), quantity);
        QCOMPARE(int(order->GetSizeStatus(Size11x14)), status);
        QCOMPARE(int(frame->SizeIndicator(Size11x14)->SizeStatus()), status);
        // Refused or accepted, the mark stays the red cross.
        QCOMPARE(frame->SizeIndicator(Size11x14)->Picture(), crossBefore);
        QVERIFY(reported >= 1);

        // Asked once per size of a photo: once accepted, later changes go through.
        ModalWatcher again(ModalWatcher::Dismiss, 500);
        Type(frame->SpinEdit(Size11x14), "5");
        QTest::qWait(100);
        QCOMPARE(again.Seen(), status == ssBad);
        if (status == ssWarning)
            QCOMPARE(order->GetQuantity(Size11x14), 5);
        else
            QCOMPARE(order->GetQuantity(Size11x14), 0);
        alert->findChild<QCheckBox *>("chkAll")->setChecked(false);
    }

    void closingTheWarningRefuses()
    {
        auto order = TOrder::Create(m_large);
        auto frame = card();
        frame->show();
        frame->SetOrder(order.get());
        ModalWatcher watcher(ModalWatcher::Dismiss); // the close box: Cancel (2)
        frame->SpinEdit(Size11x14)->setValue(1);
        QVERIFY(watcher.Seen());
        QCOMPARE(frame->SpinEdit(Size11x14)->value(), 0);
        QCOMPARE(order->GetQuantity(Size11x14), 0);
        QCOMPARE(order->GetSizeStatus(Size11x14), ssBad);
    }

    void rebindingTheSameOrderLoadsNothing()
    {
        auto first = TOrder::Create(m_large);
        auto second = TOrder::Create(m_other);
        auto frame = card();
        frame->SetOrder(first.get());
        const std::uint64_t bound = frame->Thumb()->Bitmap()->CurrentBinding();
        frame->lblSize()->setText(QStringLiteral("marker"));
        frame->SetOrder(first.get());
        QCOMPARE(frame->Thumb()->Bitmap()->CurrentBinding(), bound);
        QCOMPARE(frame->lblSize()->text(), QStringLiteral("marker"));
        frame->SetOrder(second.get());
        QCOMPARE(frame->Thumb()->Bitmap()->CurrentBinding(), bound + 1);
        QCOMPARE(frame->Thumb()->Bitmap()->BoundFileName(), m_other);
        QCOMPARE(frame->lblSize()->text(), QStringLiteral("800x600"));
        // The photo left behind no longer writes into this card's label.
        QVERIFY(first->SizeLabel.isNull());
        // The last binding wins the picture.
        WaitForThumbnailLoads();
        QCoreApplication::processEvents();
        QCOMPARE(frame->Thumb()->Bitmap()->BoundFileName(), m_other);
    }

    void editNeedsQuantityAndLayout_data()
    {
        QTest::addColumn<int>("quantity");
        QTest::addColumn<int>("layout");
        QTest::addColumn<QString>("message");
        QTest::newRow("no quantity")
            << 0 << int(TOrder::LayoutPaperFull) << QStringLiteral("주문수량을 설정해 주세요");
        QTest::newRow("no quantity, no layout")
            << 0 << int(TOrder::LayoutNotChosen) << QStringLiteral("주문수량을 설정해 주세요");
        QTest::newRow("no layout: nothing") << 2 << int(TOrder::LayoutNotChosen) << QString();
    }

    void editNeedsQuantityAndLayout()
    {
        QFETCH(int, quantity);
        QFETCH(int, layout);
        QFETCH(QString, message);
        auto order = TOrder::Create(m_large);
        order->Quantities[Size4x6] = quantity;
        order->Layout = std::uint8_t(layout);
        auto frame = card();
        frame->show();
        frame->SetOrder(order.get());
        ModalWatcher watcher(ModalWatcher::Dismiss, 400);
        QTest::mouseClick(frame->btnEdit(), Qt::LeftButton);
        QTest::qWait(message.isEmpty() ? 450 : 0);
        QCOMPARE(watcher.Seen(), !message.isEmpty());
        QCOMPARE(watcher.Text(), message);
        if (!message.isEmpty())
            QCOMPARE(watcher.Title(), QString());
        QVERIFY(!frame->findChild<TfrmTrimming *>());
    }

    void trimming_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("copied");
        QTest::newRow("cancel leaves the order") << "sBitBtn1" << false;
        QTest::newRow("close box leaves the order") << QString() << false;
        QTest::newRow("OK copies back") << "btnClose" << true;
    }

    void trimming()
    {
        QFETCH(QString, button);
        QFETCH(bool, copied);
        auto order = TOrder::Create(m_large);
        order->Quantities[Size4x6] = 2;
        order->Layout = TOrder::LayoutPaperFull;
        order->CropRects[Size4x6] = TFloatRect {10, 20, 300, 220};
        order->CropTexts[Size4x6] = QStringLiteral("10,20,300,220");
        order->SizeStatuses[Size11x14] = ssWarning;
        auto frame = card();
        frame->show();
        frame->SetOrder(order.get());
        QVERIFY(frame->RadioButton(1)->isChecked());

        bool sawTrimming = false;
        ModalWatcher watcher([&](QWidget *w) {
            auto *trim = qobject_cast<TfrmTrimming *>(w);
            if (!trim)
                return ModalWatcher::Dismiss(w);
            sawTrimming = true;
            QCOMPARE(trim->parentWidget(), frame.get());
            // Image-full without border in the window, then leave it.
            QTest::mouseClick(trim->findChild<QRadioButton *>("rbLayout2"), Qt::LeftButton);
            QCOMPARE(int(trim->WorkingOrder()->Layout), int(TOrder::LayoutImageFull));
            if (button.isEmpty())
                trim->reject();
            else
                QTest::mouseClick(trim->findChild<QPushButton *>(button), Qt::LeftButton);
        });
        QTest::mouseClick(frame->btnEdit(), Qt::LeftButton);
        QVERIFY(watcher.Seen());
        QVERIFY(sawTrimming);
        QVERIFY(!frame->findChild<TfrmTrimming *>()); // freed after the edit
        QCOMPARE(order->Quantities[Size4x6], 2);
        QCOMPARE(order->SizeStatuses[Size11x14], ssWarning); // never copied
        if (copied) {
            QCOMPARE(int(order->Layout), int(TOrder::LayoutImageFull));
            QCOMPARE(order->Bordered, false);
            QVERIFY(order->CropTexts[Size4x6].isEmpty());
            QVERIFY(frame->RadioButton(3)->isChecked());
        } else {
            QCOMPARE(int(order->Layout), int(TOrder::LayoutPaperFull));
            QCOMPARE(order->CropTexts[Size4x6], QStringLiteral("10,20,300,220"));
            QCOMPARE(order->CropRects[Size4x6].Right, 300.0f);
            QVERIFY(frame->RadioButton(1)->isChecked());
        }
        QCOMPARE(frame->Shape()->PenColor(), TOrderFrame::CompleteColor());
    }

    void deleteAsksNothing()
    {
        auto order = TOrder::Create(m_large);
        auto frame = card();
        frame->show();
        frame->SetOrder(order.get());
        TOrderFrame *asked = nullptr;
        frame->OnDeleteOrder = [&](TOrderFrame *f) { asked = f; };
        ModalWatcher watcher(ModalWatcher::Dismiss, 300);
        QTest::mouseClick(frame->btnDelete(), Qt::LeftButton);
        QCOMPARE(asked, frame.get());
        QTest::qWait(350);
        QVERIFY(!watcher.Seen());

        frame->OnDeleteOrder = nullptr;
        QTest::mouseClick(frame->btnDelete(), Qt::LeftButton); // unset: nothing happens
    }
};

QTEST_MAIN(tst_orderframe)
#include "tst_orderframe.moc"
