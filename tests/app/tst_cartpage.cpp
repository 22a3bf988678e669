// The cart page's batch panel and commands on the real main window: quantities for every photo
// with the low-resolution question, layout and border for all, reset, emptying the list and the
// checks before ordering.

#include "app/BatchPanel.h"
#include "app/CartPage.h"
#include "app/KestrunApplication.h"
#include "app/MainFrm.h"
#include "cart/CartFixtures.h"
#include "cart/uOrderBrowser.h"
#include "cart/uOrderFrame.h"
#include "common/AppTestMain.h"
#include "common/BoxWatcher.h"
#include "common/ModalWatcher.h"
#include "common/PrintService.h"
#include "model/uBrimvaleOrders.h"
#include "notices/NoticeWindows.h"
#include "ui/ModalResult.h"
#include "ui/Skin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include <memory>
#include <vector>

using namespace ModalResult;

namespace {

constexpr int Size4x6 = 2;
constexpr int Size8x10 = 6;

// Answers the low-resolution warnings in turn: "yes"/"no", a "*" suffix ticks "일괄적용".
class AlertAnswers
{
public:
    explicit AlertAnswers(QStringList Answers)
        : m_answers(std::move(Answers))
    {
        next();
    }
    QStringList Captions;

private:
    void next()
    {
        if (m_answers.isEmpty())
            return;
        const QString answer = m_answers.takeFirst();
        m_watchers.push_back(std::make_unique<ModalWatcher>([this, answer](QWidget *w) {
            Captions << w->windowTitle();
            auto *all = w->findChild<QCheckBox *>("chkAll");
            if (all && all->isChecked() != answer.endsWith(u'*'))
                all->click();
            next();
            w->findChild<QPushButton *>(answer.startsWith(u"yes") ? "btnYes" : "btnNo")->click();
        }));
    }
    QStringList m_answers;
    std::vector<std::unique_ptr<ModalWatcher>> m_watchers;
};

} // namespace

class TestCartPage : public QObject
{
    Q_OBJECT

    PhotoFolder m_photos;
    std::unique_ptr<TfrmMain> m_window;
    int m_terminated = 0;

    TOrderBrowser *browser() const { return m_window->OrderBrowser(); }
    TBatchPanel *panel() const { return m_window->Cart()->Batch(); }
    TOrder *order(int n) const { return browser()->OrderAt(n); }

    // Fresh main window with the given photos on the list.
    void listPhotos(const QList<QSize> &Sizes)
    {
        m_window = std::make_unique<TfrmMain>(QStringList {"KestrunBrimvale", "kim"});
        // Counted instead of ending the test program.
        QObject::disconnect(m_window->Cart(), &TCartPage::OrderCompleted, nullptr, nullptr);
        QObject::connect(m_window->Cart(), &TCartPage::OrderCompleted, [this] { ++m_terminated; });
        CreateNoticeWindows(m_window.get());
        int n = 0;
        for (const QSize &size : Sizes) {
            const QString name
                = QStringLiteral("p%1_%2x%3.jpg").arg(n++).arg(size.width()).arg(size.height());
            browser()->AddOrder(TOrder::Create(m_photos.Photo(name, size.width(), size.height())));
        }
        browser()->RefreshView();
        m_window->btnCartViewClick();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    // Replaces the field's text by Keys as the user types it.
    static void type(QSpinBox *Spin, const QString &Keys)
    {
        Spin->setFocus();
        Spin->selectAll();
        for (const QChar c : Keys)
            QTest::keyClick(Spin, c.toLatin1());
    }

private slots:
    void initTestCase() { qputenv("KESTRUN_WEB_URL", "http://127.0.0.1:9"); }
    void cleanup() { m_window.reset(); }

    void panelAsBuilt()
    {
        listPhotos({});
        QCOMPARE(m_window->BatchPanel()->width(), 193);
        QCOMPARE(panel()->cbLayout()->currentIndex(), -1);
        QCOMPARE(panel()->cbLayout()->currentText(), TBatchPanel::LayoutPrompt());
        QCOMPARE(panel()->cbBorder()->currentText(), QStringLiteral("무테"));
        QVERIFY(!panel()->Chk_All()->isVisibleTo(panel()));
        for (int i = 0; i < PrintSizeCount; ++i) {
            QSpinBox *spin = panel()->SpinEdit(i);
            QCOMPARE(spin->property("Tag").toInt(), i);
            QCOMPARE(spin->maximum(), 9999);
            QVERIFY(!spin->accessibleName().isEmpty());
        }
        // Digits only, at most four; an empty field is 0.
        QSpinBox *spin = panel()->SpinEdit(0);
        type(spin, "12345");
        QCOMPARE(spin->value(), 1234);
        for (const char key : {'-', 'a', '5'})
            QTest::keyClick(spin, key);
        QCOMPARE(spin->value(), 1234);
        spin->selectAll();
        QTest::keyClick(spin, Qt::Key_Backspace);
        QCOMPARE(spin->value(), 0);
        if (const QByteArray dir = qgetenv("KB_SCREENSHOT_DIR"); !dir.isEmpty())
            panel()->grab().save(QString::fromUtf8(dir) + "/batch-panel.png");
    }

    void screenshot()
    {
        const QByteArray dir = qgetenv("KB_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("KB_SCREENSHOT_DIR names no folder");
        listPhotos({{3000, 2000}, {2000, 3000}, {400, 300}, {3200, 2400}});
        panel()->SpinEdit(Size4x6)->setValue(0);
        order(0)->Quantities[Size4x6] = 2;
        panel()->cbLayout()->setCurrentIndex(0);
        QTest::qWait(800); // thumbnails
        m_window->grab().save(QString::fromUtf8(dir) + "/cart-page.png");
    }

    void typingReachesEveryOrderAtEachKey()
    {
        listPhotos({{3000, 2000}, {2000, 3000}, {3200, 2400}});
        type(panel()->SpinEdit(Size4x6), "1");
        for (int n = 0; n < 3; ++n)
            QCOMPARE(order(n)->Quantities[Size4x6], 1);
        QTest::keyClick(panel()->SpinEdit(Size4x6), '2');
        for (int n = 0; n < 3; ++n)
            QCOMPARE(order(n)->Quantities[Size4x6], 12);
        // The arrow clicks too.
        QTest::keyClick(panel()->SpinEdit(Size4x6), Qt::Key_Up);
        QCOMPARE(order(2)->Quantities[Size4x6], 13);
        // The cards show it.
        QCOMPARE(browser()->Frames().front()->SpinEdit(Size4x6)->value(), 13);
    }

    void lowResolutionAnswers_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QList<int>>("quantities");
        QTest::addColumn<QList<int>>("statuses");
        const int bad = ssBad, warn = ssWarning;
        QTest::newRow("yes, then no") << QStringList {"yes", "no"} << 2 << QList<int> {1, 0, 1}
                                      << QList<int> {warn, bad, ssOptimal};
        QTest::newRow("yes for all") << QStringList {"yes*"} << 1 << QList<int> {1, 1, 1}
                                     << QList<int> {warn, warn, ssOptimal};
        QTest::newRow("no for all")
            << QStringList {"no*"} << 1 << QList<int> {0, 0, 1} << QList<int> {bad, bad, ssOptimal};
    }
    void lowResolutionAnswers()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, asked);
        QFETCH(QList<int>, quantities);
        QFETCH(QList<int>, statuses);
        listPhotos({{300, 200}, {320, 240}, {4000, 3000}});
        QCOMPARE(order(0)->SizeStatuses[Size8x10], ssBad);
        QCOMPARE(order(1)->SizeStatuses[Size8x10], ssBad);
        QCOMPARE(order(2)->SizeStatuses[Size8x10], ssOptimal);
        {
            AlertAnswers answerer(answers);
            panel()->SpinEdit(Size8x10)->setValue(1);
            QCOMPARE(answerer.Captions.size(), asked);
            QCOMPARE(answerer.Captions.value(0), QFileInfo(order(0)->FileName).fileName());
            if (asked == 2)
                QCOMPARE(answerer.Captions.value(1), QFileInfo(order(1)->FileName).fileName());
        }
        for (int n = 0; n < 3; ++n) {
            QCOMPARE(order(n)->Quantities[Size8x10], quantities[n]);
            QCOMPARE(int(order(n)->SizeStatuses[Size8x10]), statuses[n]);
        }
        // Back to 0: no question, every order 0.
        ModalWatcher none(ModalWatcher::Dismiss, 500);
        panel()->SpinEdit(Size8x10)->setValue(0);
        QTest::qWait(600);
        QVERIFY(!none.Seen());
        for (int n = 0; n < 3; ++n)
            QCOMPARE(order(n)->Quantities[Size8x10], 0);
        // An accepted photo is not asked again; a declined one is.
        AlertAnswers again({"no", "no"});
        panel()->SpinEdit(Size8x10)->setValue(2);
        QCOMPARE(again.Captions.size(), 2 - statuses.count(ssWarning));
    }

    void layoutAndBorderForAll()
    {
        listPhotos({{3000, 2000}, {2000, 3000}});
        for (int n = 0; n < 2; ++n) {
            order(n)->CropRects[Size4x6] = TFloatRect {1, 2, 30, 40};
            order(n)->CropTexts[Size4x6] = QStringLiteral("1,2,30,40");
        }
        // A border chosen before any layout keeps the layouts chosen on the cards.
        order(1)->Layout = TOrder::LayoutPaperFull;
        panel()->cbBorder()->setCurrentIndex(1);
        QCOMPARE(order(0)->Layout, TOrder::LayoutNotChosen);
        QCOMPARE(order(1)->Layout, TOrder::LayoutPaperFull);
        QVERIFY(order(0)->Bordered && order(1)->Bordered);
        QCOMPARE(order(0)->CropTexts[Size4x6], QStringLiteral("1,2,30,40"));

        panel()->cbLayout()->setCurrentIndex(1); // 이미지풀
        for (int n = 0; n < 2; ++n) {
            QCOMPARE(order(n)->Layout, TOrder::LayoutImageFull);
            QVERIFY(order(n)->Bordered);
            QVERIFY(order(n)->CropTexts[Size4x6].isEmpty());
            QCOMPARE(order(n)->CropRects[Size4x6].Right, 0.f);
        }
        panel()->cbLayout()->setCurrentIndex(0); // 페이퍼풀: the crops do not come back
        panel()->cbBorder()->setCurrentIndex(0);
        for (int n = 0; n < 2; ++n) {
            QCOMPARE(order(n)->Layout, TOrder::LayoutPaperFull);
            QVERIFY(!order(n)->Bordered);
            QVERIFY(order(n)->CropTexts[Size4x6].isEmpty());
        }
        // Typed text that names no item leaves the layouts as they are.
        order(0)->Layout = TOrder::LayoutImageFull;
        panel()->cbLayout()->setEditText(QStringLiteral("아무거나"));
        QCOMPARE(order(0)->Layout, TOrder::LayoutImageFull);
        QCOMPARE(order(1)->Layout, TOrder::LayoutPaperFull);
    }

    void resetKeepsPhotosAndCrops()
    {
        listPhotos({{3000, 2000}, {2000, 3000}});
        panel()->SpinEdit(Size4x6)->setValue(3);
        panel()->cbLayout()->setCurrentIndex(0);
        panel()->cbBorder()->setCurrentIndex(1);
        order(0)->CropTexts[Size4x6] = QStringLiteral("5,5,50,50");
        order(1)->AutoCorrect = TOrder::AutoCorrectOn;
        QTest::mouseClick(m_window->ToolButton("btnInitialize"), Qt::LeftButton);
        QCOMPARE(browser()->OrderCount(), 2);
        for (int n = 0; n < 2; ++n) {
            QVERIFY(order(n)->HasNoQuantity());
            QCOMPARE(order(n)->Layout, TOrder::LayoutNotChosen);
            QVERIFY(!order(n)->Bordered);
            QCOMPARE(order(n)->AutoCorrect, TOrder::AutoCorrectNotSet);
        }
        QCOMPARE(order(0)->CropTexts[Size4x6], QStringLiteral("5,5,50,50"));
        QCOMPARE(panel()->SpinEdit(Size4x6)->value(), 0);
        QCOMPARE(panel()->cbLayout()->currentText(), TBatchPanel::LayoutPrompt());
        QCOMPARE(panel()->cbBorder()->currentIndex(), 0);
        QVERIFY(panel()->Chk_All()->isChecked());
    }

    void emptyTheListWithoutAsking()
    {
        listPhotos({{3000, 2000}, {2000, 3000}});
        panel()->SpinEdit(0)->setValue(4);
        panel()->cbLayout()->setCurrentIndex(1);
        ModalWatcher none(ModalWatcher::Dismiss, 500);
        QTest::mouseClick(m_window->ToolButton("btnClear"), Qt::LeftButton);
        QTest::qWait(600);
        QVERIFY(!none.Seen());
        QCOMPARE(browser()->OrderCount(), 0);
        QCOMPARE(panel()->SpinEdit(0)->value(), 0);
        QCOMPARE(panel()->cbLayout()->currentText(), TBatchPanel::LayoutPrompt());
        QVERIFY(!m_window->WaitPanel()->isVisible());
    }

    void orderChecksStopAtTheFirstFault_data()
    {
        QTest::addColumn<QList<int>>("prints"); // per order: prints of 4x6
        QTest::addColumn<QList<int>>("layouts"); // per order: Layout
        QTest::addColumn<QString>("shown"); // message text, or the window's object name
        QTest::newRow("empty list") << QList<int> {} << QList<int> {} << TCartPage::NoPhotosText();
        QTest::newRow("no layout first")
            << QList<int> {2, 0} << QList<int> {2, 2} << QStringLiteral("TfrmOptionAlert");
        QTest::newRow("no prints first")
            << QList<int> {0, 2} << QList<int> {2, 2} << TCartPage::NoQuantityText();
        QTest::newRow("second without prints")
            << QList<int> {1, 0} << QList<int> {1, 0} << TCartPage::NoQuantityText();
    }
    void orderChecksStopAtTheFirstFault()
    {
        QFETCH(QList<int>, prints);
        QFETCH(QList<int>, layouts);
        QFETCH(QString, shown);
        QList<QSize> sizes;
        for (int n = 0; n < prints.size(); ++n)
            sizes << QSize(3000, 2000);
        listPhotos(sizes);
        for (int n = 0; n < prints.size(); ++n) {
            order(n)->Quantities[Size4x6] = prints[n];
            order(n)->Layout = std::uint8_t(layouts[n]);
        }
        ModalWatcher watcher(ModalWatcher::Dismiss);
        QTest::mouseClick(m_window->ToolButton("btnUpload"), Qt::LeftButton);
        QTRY_VERIFY(watcher.Seen());
        if (shown.startsWith(u'T')) {
            QCOMPARE(watcher.ObjectName(), shown);
        } else {
            QCOMPARE(watcher.Text(), shown);
            QVERIFY(watcher.Title().isEmpty());
        }
        QCOMPARE(browser()->OrderCount(), prints.size());
        for (int n = 0; n < prints.size(); ++n)
            QCOMPARE(order(n)->Quantities[Size4x6], prints[n]);
        QCOMPARE(m_terminated, 0);
    }

    void declinedOrderLeavesEverything()
    {
        PrintService service({"--no-ftp"});
        QVERIFY(service.start());
        service.applyToEnvironment();
        listPhotos({{3000, 2000}});
        panel()->SpinEdit(Size4x6)->setValue(2);
        panel()->cbLayout()->setCurrentIndex(0);
        BoxWatcher question([](QMessageBox *b) { b->findChild<QPushButton *>("btnNo")->click(); });
        QTest::mouseClick(m_window->ToolButton("btnUpload"), Qt::LeftButton);
        QVERIFY(question.Seen());
        QCOMPARE(question.Title(), QStringLiteral("Confirm"));
        QCOMPARE(browser()->OrderCount(), 1);
        QCOMPARE(order(0)->Quantities[Size4x6], 2);
        QCOMPARE(panel()->SpinEdit(Size4x6)->value(), 2);
        QCOMPARE(m_terminated, 0);
        QVERIFY(!m_window->findChild<QDialog *>("TfrmUpload"));
    }

    void completedOrderEndsTheProgram()
    {
        PrintService service;
        QVERIFY(service.start());
        service.applyToEnvironment();
        qputenv("KESTRUN_BROWSER", "/bin/true");
        listPhotos({{3000, 2000}, {400, 300}});
        panel()->cbLayout()->setCurrentIndex(0);
        {
            AlertAnswers yes({"yes"});
            panel()->SpinEdit(Size4x6)->setValue(1);
        }
        QTest::mouseClick(m_window->ToolButton("btnUpload"), Qt::LeftButton);
        QCOMPARE(m_terminated, 1);
        QCOMPARE(browser()->OrderCount(), 0);
        QCOMPARE(panel()->SpinEdit(Size4x6)->value(), 0);
        QCOMPARE(service.httpRequests("/upload_cartinfo.php").size(), 1);
        qunsetenv("KESTRUN_BROWSER");
    }
};

KB_APP_TEST_MAIN(TestCartPage)
#include "tst_cartpage.moc"
