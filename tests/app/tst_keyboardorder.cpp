// One order made with the keyboard alone, against the real print service: photos chosen in the
// grid with keys, put on the list, quantities typed into the cards, layouts chosen with the
// arrow keys, a crop moved with the arrow keys in the trimming window, the order sent. Every
// key goes to the widget that has the focus, and controls are reached with Tab. The same order
// made with the mouse must leave the service the same cart-info file.

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
#include "folder/FolderPage.h"
#include "folder/FolderTree.h"
#include "folder/PhotoGrid.h"
#include "model/uBrimvaleOrders.h"
#include "notices/NoticeWindows.h"
#include "trim/TrimmingFrm.h"
#include "upload/UploadFixture.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

using uploadtest::Stamp;

namespace {

constexpr int Size3x5 = 0;
constexpr int Size4x6 = 2;

// What a test step left wrong; the order goes on so that every fault shows at once.
struct Faults
{
    QStringList List;
    void operator()(const QString &What) { List << What; }
};

QString describe(const QWidget *W)
{
    if (!W)
        return QStringLiteral("(nothing)");
    return QStringLiteral("%1 %2").arg(QString::fromLatin1(W->metaObject()->className()),
        W->objectName().isEmpty() ? W->accessibleName() : W->objectName());
}

QString ModalWatcherText(QWidget *W)
{
    auto *box = qobject_cast<QMessageBox *>(W);
    return box ? box->text() : W->windowTitle();
}

// A window that comes up gets the focus, as the desktop gives it (the offscreen platform leaves
// it where it was); true when the focus is inside W.
bool takeFocus(QWidget *W)
{
    W->activateWindow();
    QTest::qWaitForWindowActive(W);
    return QTest::qWaitFor(
        [W] {
            QWidget *focus = QApplication::focusWidget();
            return focus && focus->window() == W;
        },
        5000);
}

// A key to whatever has the focus, as the keyboard sends it.
bool press(int Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier)
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus)
        return false;
    QTest::keyClick(focus, Qt::Key(Key), Modifiers);
    return true;
}

// Tab until the focus is on a widget that Wanted accepts; false (and the way taken) when the
// focus chain does not get there.
bool tabTo(const std::function<bool(QWidget *)> &Wanted, const QString &What, Faults &Fault)
{
    QStringList way;
    for (int n = 0; n < 400; ++n) {
        QWidget *focus = QApplication::focusWidget();
        if (focus && Wanted(focus))
            return true;
        if (n < 40)
            way << describe(focus);
        if (!press(Qt::Key_Tab))
            break;
    }
    Fault(QStringLiteral("Tab does not reach %1; the focus went: %2").arg(What, way.join(" > ")));
    return false;
}

bool tabTo(QWidget *Target, Faults &Fault)
{
    return tabTo([Target](QWidget *W) { return W == Target; }, describe(Target), Fault);
}

// The up arrow of a spin box, where the mouse clicks it.
QPoint upArrow(QSpinBox *Spin)
{
    QStyleOptionSpinBox option;
    option.initFrom(Spin);
    option.rect = Spin->rect();
    option.subControls = QStyle::SC_All;
    option.frame = Spin->hasFrame();
    option.buttonSymbols = Spin->buttonSymbols();
    option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    return Spin->style()
        ->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, Spin)
        .center();
}

// A click on a radio button's indicator.
void clickRadio(QRadioButton *Button)
{
    QTest::mouseClick(Button, Qt::LeftButton, Qt::NoModifier, QPoint(8, Button->height() / 2));
}

// The order made in both ways: card 0 (third photo) 2 prints of 4x6, paper-full with border,
// its crop moved 10 pixels up; card 1 (first photo) 3 of 3x5 and 1 of 4x6, image-full without
// border.
constexpr int CropStep = 10;

} // namespace

class TestKeyboardOrder : public QObject
{
    Q_OBJECT

    PhotoFolder m_photos;
    QTemporaryDir m_tmp;
    QString m_folder;
    int m_completed = 0;

    std::unique_ptr<TfrmMain> openMainWindow()
    {
        auto window = std::make_unique<TfrmMain>(QStringList {"KestrunBrimvale", "kim"});
        // Counted instead of ending the test program.
        QObject::disconnect(window->Cart(), &TCartPage::OrderCompleted, nullptr, nullptr);
        QObject::connect(window->Cart(), &TCartPage::OrderCompleted, [this] { ++m_completed; });
        CreateNoticeWindows(window.get());
        // The folder chosen in the tree, as the customer does before he picks photos.
        if (!window->Folders()->tvFolder()->SelectFolder(m_folder))
            return nullptr;
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            return nullptr;
        return window;
    }

    // The focus goes back to the main window when a modal window closes, as a desktop gives it.
    static void regainFocus(QWidget *Window)
    {
        if (!QApplication::focusWidget()) {
            Window->activateWindow();
            QTest::qWaitForWindowActive(Window);
        }
    }

    void orderByKeyboard(TfrmMain &W, bool WebRoute, Faults &Fault)
    {
        PhotoGrid *grid = W.Folders()->ivList();
        if (!tabTo(grid, Fault))
            return;
        // The third photo, then the first.
        press(Qt::Key_Home);
        press(Qt::Key_Right);
        press(Qt::Key_Right);
        press(Qt::Key_Space);
        press(Qt::Key_Home);
        press(Qt::Key_Space);
        if (grid->SelectedImagesCount() != 2 || grid->SelectedImage(0) != 2
            || grid->SelectedImage(1) != 0)
            Fault(QStringLiteral("the keys chose %1 photos").arg(grid->SelectedImagesCount()));

        if (!tabTo(W.ToolButton("btnAddToList"), Fault))
            return;
        {
            ModalWatcher unexpected([&](QWidget *Window) {
                Fault(QStringLiteral("putting on the list showed %1 \"%2\"")
                          .arg(describe(Window), ModalWatcherText(Window)));
                ModalWatcher::Dismiss(Window);
            });
            press(Qt::Key_Space);
        }
        TOrderBrowser *browser = W.OrderBrowser();
        if (browser->OrderCount() != 2) {
            Fault(QStringLiteral("%1 photos on the list").arg(browser->OrderCount()));
            return;
        }
        TOrderFrame *first = browser->Frames().at(0);
        TOrderFrame *second = browser->Frames().at(1);

        const auto typeInto = [&](QSpinBox *Spin, const char *Digits) {
            if (tabTo(Spin, Fault))
                QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(Digits));
        };
        typeInto(first->SpinEdit(Size4x6), "2");
        typeInto(second->SpinEdit(Size3x5), "3");
        typeInto(second->SpinEdit(Size4x6), "1");

        chooseLayout(first, 2, Fault);
        chooseLayout(second, 3, Fault);

        // The trimming window, opened from the card and worked by keys.
        if (tabTo(first->btnEdit(), Fault)) {
            ModalWatcher trimming([&](QWidget *Window) { cropByKeyboard(Window, Fault); });
            press(Qt::Key_Space);
            if (!trimming.Seen())
                Fault(QStringLiteral("the edit button opened no trimming window"));
        }
        regainFocus(&W);

        if (!tabTo(W.ToolButton("btnUpload"), Fault))
            return;
        BoxWatcher question([&](QMessageBox *Box) {
            takeFocus(Box);
            QWidget *focus = QApplication::focusWidget();
            if (!focus || focus->window() != Box) {
                Fault(QStringLiteral("the web-route question has no focus (%1)")
                          .arg(describe(focus)));
                Box->button(QMessageBox::Yes)->click();
                return;
            }
            press(Qt::Key_Return);
        });
        press(Qt::Key_Space);
        if (question.Seen() != WebRoute)
            Fault(QStringLiteral("the web-route question came: %1").arg(question.Seen()));
    }

    // Reaches the card's layout group by Tab and moves to the Tag-th button with the arrows.
    static void chooseLayout(TOrderFrame *Card, int Tag, Faults &Fault)
    {
        const auto inGroup = [Card](QWidget *W) {
            for (int t = 0; t < 5; ++t)
                if (W == Card->RadioButton(t))
                    return true;
            return false;
        };
        if (!tabTo(inGroup,
                QStringLiteral("the layout buttons of %1").arg(Card->FilenameLabel()->text()),
                Fault))
            return;
        QRadioButton *target = Card->RadioButton(Tag);
        // Space takes the focused button; an arrow then moves the choice along the group.
        auto *focused = qobject_cast<QRadioButton *>(QApplication::focusWidget());
        if (focused != target && !focused->isChecked())
            press(Qt::Key_Space);
        for (int n = 0; n < 8 && QApplication::focusWidget() != target; ++n)
            press(Qt::Key_Down);
        if (!target->isChecked())
            press(Qt::Key_Space);
        if (!target->isChecked())
            Fault(QStringLiteral("the arrow keys did not choose %1").arg(target->text()));
    }

    // Inside the trimming window: Tab to the picture, Shift+Up moves the photo ten pixels,
    // Enter confirms.
    void cropByKeyboard(QWidget *Window, Faults &Fault)
    {
        auto *trimming = qobject_cast<TfrmTrimming *>(Window);
        if (!trimming) {
            Fault(QStringLiteral("%1 opened instead of the trimming window").arg(describe(Window)));
            ModalWatcher::Dismiss(Window);
            return;
        }
        if (!takeFocus(trimming))
            Fault(QStringLiteral("the trimming window has no focus (%1)")
                      .arg(describe(QApplication::focusWidget())));
        m_cropBefore = trimming->PhotoLayer().Location.Top;
        if (tabTo(trimming->ImageView(), Fault)) {
            press(Qt::Key_Up, Qt::ShiftModifier);
            m_cropText = trimming->WorkingOrder()->CropTexts[Size4x6];
            if (trimming->PhotoLayer().Location.Top != m_cropBefore - CropStep)
                Fault(QStringLiteral("Shift+Up moved the photo from %1 to %2")
                          .arg(m_cropBefore)
                          .arg(trimming->PhotoLayer().Location.Top));
        }
        press(Qt::Key_Return);
        if (trimming->isVisible()) {
            Fault(QStringLiteral("Enter left the trimming window open (focus on %1)")
                      .arg(describe(QApplication::focusWidget())));
            trimming->done(TfrmTrimming::mrOK);
        }
    }
    qreal m_cropBefore = 0;
    QString m_cropText;

    void orderByMouse(TfrmMain &W, bool WebRoute)
    {
        PhotoGrid *grid = W.Folders()->ivList();
        for (int position : {2, 0})
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                grid->ImageRect(position).center());
        QCOMPARE(grid->SelectedImagesCount(), 2);
        QTest::mouseClick(W.ToolButton("btnAddToList"), Qt::LeftButton);
        TOrderBrowser *browser = W.OrderBrowser();
        QCOMPARE(browser->OrderCount(), 2);
        TOrderFrame *first = browser->Frames().at(0);
        TOrderFrame *second = browser->Frames().at(1);

        const auto clickUp = [](QSpinBox *Spin, int Times) {
            for (int n = 0; n < Times; ++n)
                QTest::mouseClick(Spin, Qt::LeftButton, Qt::NoModifier, upArrow(Spin));
            QCOMPARE(Spin->value(), Times);
        };
        clickUp(first->SpinEdit(Size4x6), 2);
        clickUp(second->SpinEdit(Size3x5), 3);
        clickUp(second->SpinEdit(Size4x6), 1);
        clickRadio(first->RadioButton(2));
        clickRadio(second->RadioButton(3));

        {
            ModalWatcher trimming([](QWidget *Window) {
                auto *w = qobject_cast<TfrmTrimming *>(Window);
                QVERIFY(w);
                TTrimImageView *view = w->ImageView();
                const QPoint from = (view->PaperOrigin()
                    + QPointF(view->PaperSize().width() / 2, view->PaperSize().height() / 2))
                                        .toPoint();
                const QPoint to = from - QPoint(0, CropStep);
                QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
                QTest::mouseMove(view, from - QPoint(0, CropStep / 2));
                QTest::mouseMove(view, to);
                QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, to);
                QTest::mouseClick(w->findChild<QPushButton *>("btnClose"), Qt::LeftButton);
            });
            QTest::mouseClick(first->btnEdit(), Qt::LeftButton);
            QVERIFY(trimming.Seen());
        }
        QVERIFY(!first->Order()->CropTexts[Size4x6].isEmpty());

        BoxWatcher question([](QMessageBox *Box) { Box->button(QMessageBox::Yes)->click(); });
        QTest::mouseClick(W.ToolButton("btnUpload"), Qt::LeftButton);
        QCOMPARE(question.Seen(), WebRoute);
    }

private slots:
    void initTestCase()
    {
        qputenv("KESTRUN_BROWSER", "/bin/true");
        qputenv("KESTRUN_CONFIG", m_tmp.filePath("Kestrun.cfg").toUtf8());
        m_folder = m_tmp.filePath("photos");
        QDir().mkpath(m_folder);
        unsigned seed = 1;
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
            QVERIFY(QFile::copy(m_photos.Photo(name, 2000, 1500, seed++), m_folder + u'/' + name));
    }

    void sameOrderByKeyboardAndMouse_data()
    {
        QTest::addColumn<bool>("webRoute");
        QTest::newRow("FTP route") << false;
        QTest::newRow("web route, the question answered by Enter") << true;
    }

    void sameOrderByKeyboardAndMouse()
    {
        QFETCH(bool, webRoute);
        PrintService service(webRoute ? QStringList {"--no-ftp"} : QStringList {});
        QString error;
        QVERIFY2(service.start(&error), qPrintable(error));
        QVERIFY(service.control("stamp", QJsonObject {{"value", Stamp}}).value("ok").toBool());
        service.applyToEnvironment();
        const QByteArray cartInfo
            = uploadtest::OrdersPath("kim", QStringLiteral("kim[%1]CartInfo.txt").arg(Stamp));

        m_completed = 0;
        m_cropText.clear();
        Faults fault;
        {
            std::unique_ptr<TfrmMain> window = openMainWindow();
            QVERIFY(window);
            QTRY_COMPARE(window->Folders()->ivList()->ImageCount(), 3);
            orderByKeyboard(*window, webRoute, fault);
        }
        bool ok = false;
        const QByteArray byKeyboard = service.readFile(cartInfo, &ok);
        if (m_completed != 1 || !ok)
            fault(QStringLiteral("the order by keyboard did not go through"));
        QVERIFY2(fault.List.isEmpty(), qPrintable(u'\n' + fault.List.join(u'\n')));
        QVERIFY(!m_cropText.isEmpty());

        // The same stamp again: the mouse's cart-info file takes the keyboard's place (a reset
        // would also end the service's refusal of FTP).
        {
            std::unique_ptr<TfrmMain> window = openMainWindow();
            QVERIFY(window);
            QTRY_COMPARE(window->Folders()->ivList()->ImageCount(), 3);
            orderByMouse(*window, webRoute);
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(m_completed, 2);
        const QByteArray byMouse = service.readFile(cartInfo, &ok);
        QVERIFY(ok);

        QCOMPARE(PrintService::text(byKeyboard), PrintService::text(byMouse));
        // And it is the order meant: the third photo first, cropped as moved.
        const QStringList records
            = PrintService::text(byKeyboard).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(records.size(), 2);
        QVERIFY2(records[0].contains(QStringLiteral("_c.jpg:0:0:0:0:0:2:0:0:0:0:0:")),
            qPrintable(records[0]));
        QVERIFY2(records[0].contains(u':' + m_cropText + u':'), qPrintable(records[0]));
        QVERIFY2(records[1].contains(QStringLiteral("_a.jpg:0:0:0:0:3:1:0:0:0:0:0:")),
            qPrintable(records[1]));
    }
};

KB_APP_TEST_MAIN(TestKeyboardOrder)
#include "tst_keyboardorder.moc"
