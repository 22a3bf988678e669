// Every window as a screen reader meets it: its QAccessible tree walked from the window down.
// Every control a customer works has a role, a name and the actions its kind needs, its states
// follow the widget, and a status line whose text changes tells so with its new text.

#include "app/KestrunApplication.h"
#include "app/LoginFrm.h"
#include "app/MainFrm.h"
#include "cart/CartFixtures.h"
#include "cart/uOrderBrowser.h"
#include "cart/uOrderFrame.h"
#include "common/AccessibilityProbe.h"
#include "common/AppTestMain.h"
#include "folder/FolderPage.h"
#include "folder/FolderTree.h"
#include "folder/PhotoGrid.h"
#include "model/uBrimvaleOrders.h"
#include "notices/NoticeWindows.h"
#include "notices/OptionAlertFrm.h"
#include "notices/SizeAlertFrm.h"
#include "notices/uAutoBJFrm.h"
#include "trim/TrimmingFrm.h"
#include "upload/BasketAddressFrm.h"
#include "upload/UploadFixture.h"
#include "upload/UploadFrm.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <memory>

using namespace uploadtest;

namespace {

enum class Window {
    Login,
    MainFolder,
    MainCart,
    Card,
    Trimming,
    Upload,
    SizeAlert,
    OptionAlert,
    AutoBJ,
    BasketAddress
};

// Item views list at most this many items to the walk: enough to see how items are exposed,
// bounded for the folder tree, which holds the whole disk.
constexpr int MaxItems = 200;

QString roleName(QAccessible::Role Role)
{
    return QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(Role));
}

// The walk: every fault found, each line naming the window and the control.
class Walker
{
public:
    explicit Walker(QString WindowName)
        : m_window(std::move(WindowName))
    { }

    // A window is exposed as one; a part of a window (a card) only holds controls.
    QStringList Walk(QWidget *Top, bool IsWindow = true)
    {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(Top);
        if (!iface) {
            m_faults << m_window + ": no accessible interface";
            return m_faults;
        }
        const QAccessible::Role role = iface->role();
        if (IsWindow && role != QAccessible::Window && role != QAccessible::Dialog)
            fault(iface, Top, QStringLiteral("a window exposed as ") + roleName(role));
        if (iface->text(QAccessible::Name).trimmed().isEmpty())
            fault(iface, Top, QStringLiteral("window without a name"));
        visitChildren(iface, 0);
        return m_faults;
    }
    int Controls() const { return m_controls; }

private:
    void fault(QAccessibleInterface *Iface, const QObject *Object, const QString &What)
    {
        const QString name = Object && !Object->objectName().isEmpty()
            ? Object->objectName()
            : QStringLiteral("(no name)");
        const QString cls = Object ? QString::fromLatin1(Object->metaObject()->className())
                                   : QStringLiteral("(item)");
        m_faults << QStringLiteral("%1 / %2 / %3 / %4 \"%5\": %6")
                        .arg(m_window, name, cls, roleName(Iface->role()),
                            Iface->text(QAccessible::Name), What);
    }

    void visitChildren(QAccessibleInterface *Iface, int Depth)
    {
        if (Depth > 40)
            return;
        for (int i = 0; i < Iface->childCount(); ++i) {
            QAccessibleInterface *child = Iface->child(i);
            if (!child || !child->isValid() || child->state().invisible)
                continue;
            if (visit(child))
                visitChildren(child, Depth + 1);
        }
    }

    static bool hasAction(QAccessibleInterface *Iface, const QStringList &Wanted)
    {
        QAccessibleActionInterface *actions = Iface->actionInterface();
        if (!actions)
            return false;
        for (const QString &a : actions->actionNames())
            if (Wanted.contains(a))
                return true;
        return false;
    }

    // Checks one control; true when the walk goes on below it.
    bool visit(QAccessibleInterface *Iface)
    {
        QWidget *w = qobject_cast<QWidget *>(Iface->object());
        if (!w)
            return true;
        const QAccessible::State state = Iface->state();
        const QAccessible::Role role = Iface->role();
        QList<QAccessible::Role> roles; // what the widget's kind must be exposed as
        QStringList actions; // one of these is needed while the control is enabled
        bool goOn = true;
        if (qobject_cast<QCheckBox *>(w)) {
            roles = {QAccessible::CheckBox};
            actions = {QAccessibleActionInterface::toggleAction(),
                QAccessibleActionInterface::pressAction()};
        } else if (qobject_cast<QRadioButton *>(w)) {
            roles = {QAccessible::RadioButton};
            actions = {QAccessibleActionInterface::toggleAction(),
                QAccessibleActionInterface::pressAction()};
        } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            roles = {QAccessible::Button, QAccessible::ButtonMenu, QAccessible::ButtonDropDown};
            actions = {b->isCheckable() ? QAccessibleActionInterface::toggleAction()
                                        : QAccessibleActionInterface::pressAction(),
                QAccessibleActionInterface::showMenuAction()};
        } else if (auto *spin = qobject_cast<QAbstractSpinBox *>(w)) {
            roles = {QAccessible::SpinBox};
            QAccessibleValueInterface *value = Iface->valueInterface();
            if (!value)
                fault(Iface, w, QStringLiteral("spin box without a value"));
            else if (auto *s = qobject_cast<QSpinBox *>(spin);
                     s && value->currentValue().toInt() != s->value())
                fault(Iface, w,
                    QStringLiteral("value %1, the field shows %2")
                        .arg(value->currentValue().toString())
                        .arg(s->value()));
            goOn = false;
        } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            if (qobject_cast<QComboBox *>(w->parentWidget()))
                return false; // the box is the control
            roles = {QAccessible::EditableText};
            if (!Iface->editableTextInterface() || !Iface->textInterface())
                fault(Iface, w, QStringLiteral("line edit without editable text"));
            else if (edit->echoMode() == QLineEdit::Normal
                && Iface->text(QAccessible::Value) != edit->text())
                fault(Iface, w, QStringLiteral("value differs from the text"));
            goOn = false;
        } else if (qobject_cast<QComboBox *>(w)) {
            roles = {QAccessible::ComboBox};
            actions = {QAccessibleActionInterface::showMenuAction(),
                QAccessibleActionInterface::pressAction()};
            goOn = false;
        } else if (auto *view = qobject_cast<QAbstractItemView *>(w)) {
            roles = {QAccessible::List, QAccessible::Tree, QAccessible::Table};
            if (qobject_cast<QTreeView *>(w))
                roles = {QAccessible::Tree};
            visitItems(Iface, view);
            goOn = false;
        } else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            roles = {QAccessible::PageTabList};
            visitTabs(Iface, tabs);
            goOn = false;
        } else if (auto *bar = qobject_cast<QScrollBar *>(w)) {
            // A view's own scroll bars sit in its containers; a free one is a control.
            if (bar->parentWidget()
                && bar->parentWidget()->objectName().startsWith("qt_scrollarea"))
                return false;
            roles = {QAccessible::ScrollBar};
            if (!Iface->valueInterface())
                fault(Iface, w, QStringLiteral("scroll bar without a value"));
            goOn = false;
        } else {
            return true; // not a control: its children may be
        }
        ++m_controls;

        if (role == QAccessible::NoRole || !roles.contains(role))
            fault(Iface, w, QStringLiteral("role does not fit the control"));
        if (Iface->text(QAccessible::Name).trimmed().isEmpty())
            fault(Iface, w, QStringLiteral("no name"));
        if (!actions.isEmpty() && w->isEnabled() && !hasAction(Iface, actions))
            fault(Iface, w,
                QStringLiteral("none of the actions %1 (has: %2)")
                    .arg(actions.join(u'/'),
                        Iface->actionInterface()
                            ? Iface->actionInterface()->actionNames().join(u'/')
                            : QStringLiteral("none")));
        if (bool(state.disabled) != !w->isEnabled())
            fault(Iface, w,
                QStringLiteral("disabled state %1, widget enabled %2")
                    .arg(bool(state.disabled))
                    .arg(w->isEnabled()));
        if (bool(state.focused) != w->hasFocus())
            fault(Iface, w,
                QStringLiteral("focused state %1, widget focus %2")
                    .arg(bool(state.focused))
                    .arg(w->hasFocus()));
        if (auto *b = qobject_cast<QAbstractButton *>(w); b && b->isCheckable()) {
            if (bool(state.checked) != b->isChecked())
                fault(Iface, w,
                    QStringLiteral("checked state %1, widget checked %2")
                        .arg(bool(state.checked))
                        .arg(b->isChecked()));
        }
        return goOn;
    }

    // The items of a list, grid or tree: a name each, and the selected state of the view's
    // selection (the photo grid keeps its own).
    void visitItems(QAccessibleInterface *Iface, QAbstractItemView *View)
    {
        auto *grid = qobject_cast<PhotoGrid *>(View);
        int items = 0;
        for (int i = 0; i < Iface->childCount() && items < MaxItems; ++i) {
            QAccessibleInterface *item = Iface->child(i);
            // hidden columns of the tree are invisible items
            if (!item || !item->isValid() || item->state().invisible)
                continue;
            const QAccessible::Role role = item->role();
            if (role == QAccessible::ColumnHeader || role == QAccessible::RowHeader)
                continue;
            ++items;
            QAccessibleTableCellInterface *cell = item->tableCellInterface();
            const QString where = cell ? QStringLiteral("item %1").arg(cell->rowIndex())
                                       : QStringLiteral("child %1").arg(i);
            if (role != QAccessible::ListItem && role != QAccessible::TreeItem
                && role != QAccessible::Cell)
                fault(item, View, where + QStringLiteral(" exposed as ") + roleName(role));
            if (item->text(QAccessible::Name).trimmed().isEmpty())
                fault(item, View, where + QStringLiteral(" without a name"));
            if (!cell)
                continue;
            const int row = cell->rowIndex();
            bool selected = false;
            if (grid)
                selected = grid->IsSelected(row);
            else if (View->selectionModel() && View->model())
                selected = cell->isSelected();
            if (bool(item->state().selected) != selected)
                fault(item, View,
                    where
                        + QStringLiteral(" selected state %1, chosen %2")
                              .arg(bool(item->state().selected))
                              .arg(selected));
        }
        if (grid && grid->ImageCount() > 0 && items == 0)
            fault(Iface, View, QStringLiteral("photos not exposed as items"));
    }

    void visitTabs(QAccessibleInterface *Iface, QTabBar *Tabs)
    {
        int tabs = 0;
        for (int i = 0; i < Iface->childCount(); ++i) {
            QAccessibleInterface *tab = Iface->child(i);
            if (!tab || tab->role() != QAccessible::PageTab)
                continue;
            const QString where = QStringLiteral("tab %1").arg(tabs++);
            if (tab->text(QAccessible::Name).trimmed().isEmpty())
                fault(tab, Tabs, where + QStringLiteral(" without a name"));
            if (!hasAction(tab, {QAccessibleActionInterface::pressAction()}))
                fault(tab, Tabs, where + QStringLiteral(" cannot be pressed"));
        }
        if (tabs != Tabs->count())
            fault(
                Iface, Tabs, QStringLiteral("%1 tabs exposed of %2").arg(tabs).arg(Tabs->count()));
    }

    QString m_window;
    QStringList m_faults;
    int m_controls = 0;
};

QLabel *labelNamed(QWidget *Window, const QString &Name)
{
    return Window->findChild<QLabel *>(Name);
}

} // namespace

Q_DECLARE_METATYPE(Window)

class TestAccessibilityWalk : public QObject
{
    Q_OBJECT
    UPLOAD_SERVICE_FIXTURE

    QTemporaryDir m_tmp;
    PhotoFolder m_photos;
    std::unique_ptr<AccessibilityProbe> m_events;
    QStringList m_faults; // of the current row

    static bool show(QWidget *W)
    {
        W->show();
        W->activateWindow();
        return QTest::qWaitForWindowExposed(W) && QTest::qWaitForWindowActive(W);
    }

    // A status label's text change must be told with the new text; Change makes the change.
    void expectNameChange(
        QWidget *Window, const QString &Label, const std::function<void()> &Change)
    {
        QLabel *label = labelNamed(Window, Label);
        QVERIFY2(label, qPrintable(Label));
        const QString before = label->text();
        m_events->Clear();
        Change();
        QVERIFY2(label->text() != before, qPrintable(Label + ": the text did not change"));
        checkTold(Window, label);
    }
    // Label told of a change of its name, and its name holds its text.
    void checkTold(QWidget *Window, QLabel *Label)
    {
        const int told = m_events->Count(QAccessible::NameChanged, Label);
        const QString name = AccessibilityProbe::Name(Label);
        const QString where
            = QStringLiteral("%1 / %2 / QLabel: ")
                  .arg(QString::fromLatin1(QTest::currentDataTag()), Label->objectName());
        if (told == 0)
            m_faults << where
                    + QStringLiteral("no name-changed event for the text \"%1\"")
                          .arg(Label->text());
        else if (!name.contains(Label->text()))
            m_faults << where
                    + QStringLiteral("name \"%1\" for the text \"%2\"").arg(name, Label->text());
        Q_UNUSED(Window);
    }

    std::unique_ptr<TOrder> orderFor(const QString &Name)
    {
        auto order = TOrder::Create(m_photos.Photo(Name, 2000, 1500));
        order->SetQuantity(2, 2);
        order->SetQuantity(6, 1);
        order->SetLayout(TOrder::LayoutPaperFull);
        order->Bordered = true;
        return order;
    }

    // Walks Top; its faults join the row's. At least MinControls controls must be met, so a
    // tree that hides the controls does not pass by showing none.
    void walk(QWidget *Top, int MinControls, bool IsWindow = true)
    {
        Walker walker(QString::fromLatin1(QTest::currentDataTag()));
        m_faults << walker.Walk(Top, IsWindow);
        if (walker.Controls() < MinControls)
            m_faults << QStringLiteral("%1: %2 controls met, at least %3 expected")
                            .arg(QString::fromLatin1(QTest::currentDataTag()))
                            .arg(walker.Controls())
                            .arg(MinControls);
    }

private slots:
    void initTestCase()
    {
        m_events = std::make_unique<AccessibilityProbe>();
        QVERIFY2(AccessibilityProbe::Active(), "accessibility events cannot be had here");
        startService();
        service.applyToEnvironment();
        qputenv("KESTRUN_CONFIG", m_tmp.filePath("Kestrun.cfg").toUtf8());
        qputenv("KESTRUN_BROWSER", "/bin/true");
    }
    void cleanupTestCase() { m_events.reset(); }

    void everyWindow_data()
    {
        QTest::addColumn<Window>("window");
        QTest::addColumn<int>("controls"); // at least
        QTest::newRow("login") << Window::Login << 5;
        QTest::newRow("main window, folder page") << Window::MainFolder << 7;
        QTest::newRow("main window, cart page") << Window::MainCart << 60;
        QTest::newRow("card") << Window::Card << 18;
        QTest::newRow("trimming") << Window::Trimming << 17;
        QTest::newRow("upload, mid-transfer") << Window::Upload << 1;
        QTest::newRow("low-resolution warning") << Window::SizeAlert << 3;
        QTest::newRow("print-option notice") << Window::OptionAlert << 1;
        QTest::newRow("auto-correction explanation") << Window::AutoBJ << 1;
        QTest::newRow("basket address") << Window::BasketAddress << 3;
    }

    void everyWindow()
    {
        QFETCH(Window, window);
        QFETCH(int, controls);
        resetService();
        m_faults.clear();
        switch (window) {
        case Window::Login: {
            TfrmLogin w;
            QVERIFY(show(&w));
            walk(&w, controls);
            break;
        }
        case Window::MainFolder: {
            TfrmMain w({"KestrunBrimvale", "kim"});
            const QString folder = m_tmp.filePath("folder");
            QDir().mkpath(folder);
            for (int i = 0; i < 6; ++i)
                QFile::copy(m_photos.Photo(QStringLiteral("IMG_%1.jpg").arg(i), 640, 480),
                    QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i));
            w.Folders()->ShowFolder(folder);
            QVERIFY(show(&w));
            PhotoGrid *grid = w.Folders()->ivList();
            QTRY_COMPARE(grid->ImageCount(), 6);
            // Chosen as the customer chooses: clicks in the grid; the status line tells.
            expectNameChange(&w, "sbListPanel", [&] {
                QTest::mouseClick(
                    grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->ImageRect(1).center());
            });
            expectNameChange(&w, "sbListPanel", [&] {
                QTest::mouseClick(
                    grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->ImageRect(4).center());
            });
            QCOMPARE(grid->SelectedImagesCount(), 2);
            grid->setFocus();
            walk(&w, controls);
            break;
        }
        case Window::MainCart: {
            TfrmMain w({"KestrunBrimvale", "kim"});
            CreateNoticeWindows(&w);
            w.btnCartViewClick();
            QVERIFY(show(&w));
            TOrderBrowser *browser = w.OrderBrowser();
            expectNameChange(&w, "StatusPanel0", [&] {
                for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
                    browser->AddOrder(TOrder::Create(m_photos.Photo(name, 2000, 1500)));
                browser->RefreshView();
            });
            browser->Frames().front()->RadioButton(1)->click();
            expectNameChange(&w, "StatusPanel1", [&] {
                for (QSpinBox *spin = browser->Frames().front()->SpinEdit(2); spin->value() < 2;)
                    spin->stepUp();
            });
            browser->Frames().front()->SpinEdit(2)->setFocus();
            walk(&w, controls);
            break;
        }
        case Window::Card: {
            auto order = orderFor("card.jpg");
            TOrderFrame card;
            card.SetOrder(order.get());
            QVERIFY(show(&card));
            card.SpinEdit(2)->setFocus();
            walk(&card, controls, false);
            // What an assistive tool does to a layout button reaches the order.
            QAccessibleInterface *radio
                = QAccessible::queryAccessibleInterface(card.RadioButton(3));
            if (QAccessibleActionInterface *actions = radio->actionInterface()) {
                const QStringList names = actions->actionNames();
                actions->doAction(names.contains(QAccessibleActionInterface::toggleAction())
                        ? QAccessibleActionInterface::toggleAction()
                        : QAccessibleActionInterface::pressAction());
            }
            if (!card.RadioButton(3)->isChecked() || order->Layout != TOrder::LayoutImageFull
                || order->Bordered)
                m_faults << QStringLiteral("card / RadioButton3 / QRadioButton: the accessible "
                                           "action left the order at layout %1, bordered %2")
                                .arg(order->Layout)
                                .arg(order->Bordered);
            break;
        }
        case Window::Trimming: {
            auto order = orderFor("trim.jpg");
            TfrmTrimming w;
            w.OpenForOrder(*order);
            QVERIFY(show(&w));
            walk(&w, controls);
            break;
        }
        case Window::Upload: {
            QVERIFY(service.setFaults({{"throttle", QJsonObject {{"ftp", 400000}}}}));
            Photos photos;
            photos.AddLarge("big.jpg", 3000000);
            photos.Add("small.jpg");
            TfrmUpload w;
            w.Orders = photos.Orders();
            w.UserID = QStringLiteral("kim");
            w.Settings() = SettingsFor(service);
            m_events->Clear();
            w.open();
            QVERIFY(QTest::qWaitFor([&] { return w.FileGauge()->value() > 50; }, 20000));
            QVERIFY(w.lblMessage()->text().contains(QStringLiteral("big.jpg")));
            // The step and the file being sent were told as they came.
            for (QLabel *label : {w.lblMessage(), w.ExceptionLabel()}) {
                QVERIFY2(!label->text().isEmpty(), qPrintable(label->objectName()));
                checkTold(&w, label);
            }
            walk(&w, controls);
            QTest::mouseClick(w.btnCancel(), Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
            break;
        }
        case Window::SizeAlert:
        case Window::OptionAlert:
        case Window::AutoBJ: {
            QWidget owner;
            CreateNoticeWindows(&owner);
            QDialog *notice = window == Window::SizeAlert ? static_cast<QDialog *>(frmSizeAlert())
                : window == Window::OptionAlert           ? static_cast<QDialog *>(frmOptionAlert())
                                                          : static_cast<QDialog *>(AutoBJ());
            if (window == Window::SizeAlert)
                notice->setWindowTitle(QStringLiteral("IMG_0001.JPG"));
            QVERIFY(show(notice));
            walk(notice, controls);
            if (window == Window::SizeAlert) {
                // The caller puts the photo's file name in the caption: it must be heard too.
                QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(notice);
                const QString told
                    = iface->text(QAccessible::Name) + u' ' + iface->text(QAccessible::Description);
                if (!told.contains(QStringLiteral("IMG_0001.JPG")))
                    m_faults << QStringLiteral("%1: the caption IMG_0001.JPG is not told (\"%2\")")
                                    .arg(QString::fromLatin1(QTest::currentDataTag()), told);
            }
            notice->hide();
            break;
        }
        case Window::BasketAddress: {
            TfrmBasketAddress w(service.webUrl() + "/mymenu/Basket_Process_P.html?cartinfo=x");
            QVERIFY(show(&w));
            expectNameChange(
                &w, "lblCopied", [&] { QTest::mouseClick(w.btnCopy(), Qt::LeftButton); });
            walk(&w, controls);
            break;
        }
        }
        QVERIFY2(m_faults.isEmpty(), qPrintable(u'\n' + m_faults.join(u'\n')));
    }

    // Pictures for a person to look at: the card with its quantity fields, a folder tree twelve
    // levels deep and the trimming window. Run once plainly and once with QT_SCALE_FACTOR=2.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("KB_SCREENSHOTS");
        if (dir.isEmpty())
            QSKIP("KB_SCREENSHOTS names no folder");
        QDir().mkpath(dir);
        const QString scale = QStringLiteral("@%1x").arg(qApp->devicePixelRatio());

        TfrmMain main({"KestrunBrimvale", "kim"});
        CreateNoticeWindows(&main);
        QString deep = m_tmp.filePath("tree");
        for (int level = 1; level <= 12; ++level)
            deep += QStringLiteral("/%1단계_폴더_이름이_긴_사진들").arg(level, 2, 10, QChar(u'0'));
        QVERIFY(QDir().mkpath(deep));
        QVERIFY(show(&main));
        QVERIFY(main.Folders()->tvFolder()->SelectFolder(deep));
        QTest::qWait(500); // the model lists the folders on its own thread
        main.Folders()->tvFolder()->scrollTo(main.Folders()->tvFolder()->NodeOf(deep));
        main.grab().save(dir + "/folder-tree-12-levels" + scale + ".png");
        main.FolderTreePanel()->grab().save(dir + "/folder-tree-panel" + scale + ".png");

        main.btnCartViewClick();
        TOrderBrowser *browser = main.OrderBrowser();
        browser->AddOrder(orderFor("card.jpg"));
        browser->RefreshView();
        TOrderFrame *card = browser->Frames().front();
        card->SpinEdit(2)->setFocus();
        QTest::qWait(300); // the thumbnail
        card->grab().save(dir + "/card" + scale + ".png");
        main.grab().save(dir + "/cart-page" + scale + ".png");

        auto order = orderFor("trim.jpg");
        TfrmTrimming trimming;
        trimming.OpenForOrder(*order);
        QVERIFY(show(&trimming));
        trimming.grab().save(dir + "/trimming" + scale + ".png");
    }
};

KB_APP_TEST_MAIN(TestAccessibilityWalk)
#include "tst_accessibilitywalk.moc"
