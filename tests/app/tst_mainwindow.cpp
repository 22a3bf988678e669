#include "app/CommandLine.h"
#include "app/KestrunApplication.h"
#include "app/LoginFrm.h"
#include "app/MainFrm.h"
#include "cart/uOrderBrowser.h"
#include "common/AppTestMain.h"
#include "common/JpegFixtures.h"
#include "common/ModalWatcher.h"
#include "common/PrintService.h"
#include "notices/NoticeWindows.h"
#include "notices/WebView.h"
#include "notices/uAutoBJFrm.h"
#include "ui/Skin.h"
#include "upload/UploadThumbnails.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

class tst_mainwindow : public QObject
{
    Q_OBJECT

private:
    PrintService m_service;
    QTemporaryDir m_dir;

    static QStringList args(std::initializer_list<QString> Rest)
    {
        QStringList list {QStringLiteral("KestrunBrimvale")};
        list.append(Rest);
        return list;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_service.start(&error), qPrintable(error));
        m_service.applyToEnvironment();
        qputenv("KESTRUN_CONFIG", m_dir.filePath("Kestrun.cfg").toUtf8());
    }

    void paramStr_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("first");
        QTest::newRow("plain") << "KestrunBrimvale kim"
                               << "kim";
        QTest::newRow("later arguments ignored") << "KestrunBrimvale kim lee"
                                                 << "kim";
        QTest::newRow("quoted with blanks") << "KestrunBrimvale \"kim lee\" x"
                                            << "kim lee";
        QTest::newRow("quoted program path") << "\"C:\\Program Files\\KB.exe\" guest"
                                             << "guest";
        QTest::newRow("quotes inside an argument") << "p ki\"m l\"ee x"
                                                   << "kim lee";
        QTest::newRow("runs of blanks and tabs") << "p \t  kim  "
                                                 << "kim";
        QTest::newRow("empty quoted counts as none") << "p \"\" kim"
                                                     << "";
        QTest::newRow("no argument") << "KestrunBrimvale"
                                     << "";
        QTest::newRow("trailing blank only") << "KestrunBrimvale "
                                             << "";
        QTest::newRow("unclosed quote runs to the end") << "p \"kim lee"
                                                        << "kim lee";
    }

    void paramStr()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, first);
        QCOMPARE(ParamStr(commandLine, 1), first);
    }

    void identityFromArguments_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::newRow("plain") << "kim";
        QTest::newRow("guest") << "guest";
        QTest::newRow("with blanks, untrimmed") << " kim lee ";
    }

    void identityFromArguments()
    {
        QFETCH(QString, argument);
        ModalWatcher watcher(ModalWatcher::Dismiss, 200);
        TfrmMain w(args({argument, QStringLiteral("ignored")}));
        QTest::qWait(250);
        QVERIFY(!watcher.Seen()); // no login window
        QCOMPARE(w.UserID, argument);
        QCOMPARE(w.pcMain()->currentIndex(), int(TfrmMain::FolderPageIndex));
        QCOMPARE(w.wbBanner()->Address(),
            m_service.webUrl() + QStringLiteral("/clients/brimvale_1.2A_top.html"));
    }

    void loginWindowWithoutArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("guest");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none, Escape") << args({}) << false << "";
        QTest::newRow("empty quoted, Escape") << args({QString()}) << false << "";
        QTest::newRow("none, guest") << args({}) << true << "guest";
    }

    void loginWindowWithoutArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, guest);
        QFETCH(QString, expected);
        QPointer<QWidget> login;
        ModalWatcher watcher([&](QWidget *W) {
            login = W;
            if (guest)
                QTest::mouseClick(W->findChild<QWidget *>("btnGuest"), Qt::LeftButton);
            else
                QTest::keyClick(W->focusWidget() ? W->focusWidget() : W, Qt::Key_Escape);
        });
        TfrmMain w(arguments);
        QVERIFY(watcher.Seen());
        QCOMPARE(watcher.ObjectName(), QStringLiteral("TfrmLogin"));
        QCOMPARE(w.UserID, expected);
        QVERIFY(login.isNull()); // destroyed whatever happened
        // Nobody identified: the banner is never loaded, the window stays unused.
        QCOMPARE(w.wbBanner()->Address().isEmpty(), expected.isEmpty());
        QVERIFY(!w.isVisible());
    }

    void windowAsBuilt()
    {
        TfrmMain w(args({"kim"}));
        QCOMPARE(w.windowTitle(), QStringLiteral("케스트런 브림베일 1.3.1"));
        QCOMPARE(w.size(), QSize(1024, 731));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The outer size, frame included, once the frame is known.
        QTRY_COMPARE(w.frameGeometry().size(), QSize(1024, 731));
        QCOMPARE(w.wbBanner()->height(), 97);
        QCOMPARE(w.wbBanner()->width(), w.width());
        QCOMPARE(w.pcMain()->tabPosition(), QTabWidget::West);
        QCOMPARE(w.pcMain()->tabText(0), QStringLiteral("사진추가하기"));
        QCOMPARE(w.pcMain()->tabText(1), QStringLiteral("주문대기보기"));
        QVERIFY(!w.pcMain()->tabIcon(0).isNull() && !w.pcMain()->tabIcon(1).isNull());
        QCOMPARE(w.FolderPage()->objectName(), QStringLiteral("FolderPage"));
        QCOMPARE(w.CartPage()->objectName(), QStringLiteral("CartPage"));
        QCOMPARE(w.FolderTreePanel()->width(), 185);
        QCOMPARE(w.BatchPanel()->width(), 193);
        QVERIFY(!w.sLabel2()->isVisibleTo(&w));
        QCOMPARE(w.ggProgress()->size(), QSize(185, 14));
        QCOMPARE(w.WaitPanel()->size(), QSize(217, 73));
        QVERIFY(!w.WaitPanel()->isVisible());

        const struct
        {
            const char *name, *caption;
            int width;
        } buttons[] = {
            {"btnSelectAll", "전체 선택", 77},
            {"btnDeselecteAll", "선택 해제", 77},
            {"btnAddToList", "주문대기 넣기", 77},
            {"btnCartView", "주문대기 보기", 77},
            {"btnInitialize", "선택 초기화", 88},
            {"btnClear", "주문대기 비우기", 88},
            {"btnFolderView", "사진 추가하기", 88},
            {"btnUpload", "사진 주문하기", 88},
        };
        for (const auto &b : buttons) {
            QToolButton *button = w.ToolButton(QString::fromLatin1(b.name));
            QVERIFY2(button, b.name);
            QCOMPARE(button->text(), QString::fromUtf8(b.caption));
            QCOMPARE(button->accessibleName(), QString::fromUtf8(b.caption));
            QCOMPARE(button->size(), QSize(b.width, 50));
            QVERIFY(!button->icon().isNull());
        }
    }

    void pageButtonsSwitchOnlyThePage()
    {
        TfrmMain w(args({"kim"}));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.pcMain()->currentWidget(), w.FolderPage());
        QTest::mouseClick(w.ToolButton("btnCartView"), Qt::LeftButton);
        QCOMPARE(w.pcMain()->currentWidget(), w.CartPage());
        QTest::mouseClick(w.ToolButton("btnFolderView"), Qt::LeftButton);
        QCOMPARE(w.pcMain()->currentWidget(), w.FolderPage());
        QCOMPARE(w.UserID, QStringLiteral("kim"));
        QVERIFY(!w.WaitPanel()->isVisible());
    }

    void photosOnTheListGetTheirUploadThumbnailAhead()
    {
        TfrmMain w(args({"kim"}));
        const QString file = fixtures::WriteFixture(
            m_dir.path(), "ahead.jpg", fixtures::EncodeJpeg(fixtures::Solid(640, 480, Qt::red)));
        UploadThumbnails &thumbnails = UploadThumbnails::Shared();
        const int keptBefore = thumbnails.Statistics().Kept;
        w.OrderBrowser()->AddOrder(TOrder::Create(file));
        w.OrderBrowser()->AddOrder(TOrder::Create(file)); // the same photo twice: one thumbnail
        thumbnails.WaitForBackground();
        QCOMPARE(thumbnails.Statistics().Kept, keptBefore + 1);
        w.OrderBrowser()->ClearOrders();
        QCOMPARE(thumbnails.Statistics().Kept, keptBefore);
    }

    void waitPanelPlace()
    {
        TfrmMain w(args({"kim"}));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(w.frameGeometry().size(), QSize(1024, 731));
        w.ShowWaitPanel();
        const QSize outer = w.frameGeometry().size();
        QVERIFY(w.WaitPanel()->isVisible());
        // Centred across; its bottom edge on the middle line.
        QCOMPARE(w.WaitPanel()->x(), qRound(outer.width() / 2.0 - 217 / 2.0));
        QCOMPARE(w.WaitPanel()->y(), qRound(outer.height() / 2.0 - 73));
        QCOMPARE(w.WaitPanel()->geometry(), QRect(404, 293, 217, 73));
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        w.ShowWaitPanel(); // unpaired: one Hide still restores the cursor
        w.HideWaitPanel();
        QVERIFY(!w.WaitPanel()->isVisible());
        QVERIFY(!QApplication::overrideCursor());
    }

    void bannerWithoutScrollBarsAfterLoad()
    {
        TfrmMain w(args({"kim"}));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        WebView *banner = w.wbBanner();
        QTRY_VERIFY(banner->Loaded());
        QVERIFY(!banner->Failed());
        QTextBrowser *text = banner->TextBrowser();
        QVERIFY(text);
        QVERIFY(text->toPlainText().contains(QStringLiteral("케스트런 브림베일 사진 인화")));
        // The page is taller than the strip, and still shows no scroll bar.
        QVERIFY(text->document()->size().height() > 97);
        QVERIFY(banner->ScrollBarsHidden());
        QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!text->verticalScrollBar()->isVisible());
        QVERIFY(!text->horizontalScrollBar()->isVisible());
        // The load report comes many times: every one hides them again without harm.
        w.wbBannerProgressChange(100, 100);
        w.wbBannerProgressChange(40, 100);
        QVERIFY(banner->ScrollBarsHidden());
    }

    void bannerThatCannotLoad()
    {
        PrintService dead;
        QVERIFY(dead.start());
        qputenv("KESTRUN_WEB_URL", dead.webUrl().toUtf8());
        dead.stop();
        TfrmMain w(args({"kim"}));
        m_service.applyToEnvironment();
        QTRY_VERIFY(w.wbBanner()->Loaded());
        QVERIFY(w.wbBanner()->Failed());
        QVERIFY(w.wbBanner()->TextBrowser()->toPlainText().contains(
            QStringLiteral("페이지를 표시할 수 없습니다.")));
        QTest::mouseClick(w.ToolButton("btnCartView"), Qt::LeftButton);
        QCOMPARE(w.pcMain()->currentIndex(), int(TfrmMain::CartPageIndex));
    }

    void hiddenLabelShowsTheExplanation()
    {
        TfrmMain w(args({"kim"}));
        CreateNoticeWindows(&w);
        ModalWatcher watcher(ModalWatcher::Dismiss);
        w.sLabel2Click();
        QVERIFY(watcher.Seen());
        QCOMPARE(watcher.ObjectName(), QStringLiteral("TAutoBJ"));
        QCOMPARE(watcher.Title(), QStringLiteral("자동보정이란?"));
    }

    void generalErrorDisplayKeepsTheWindow()
    {
        TfrmMain w(args({"kim"}));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // An exception out of an event handler that nobody catches.
        struct Thrower : QObject
        {
            bool event(QEvent *E) override
            {
                if (E->type() == QEvent::User)
                    throw std::runtime_error("Socket Error # 10061\nConnection refused.");
                return QObject::event(E);
            }
        } thrower;
        ModalWatcher watcher(ModalWatcher::Dismiss);
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTRY_VERIFY(watcher.Seen());
        QCOMPARE(watcher.Title(), QStringLiteral("케스트런 브림베일"));
        QCOMPARE(watcher.Text(), QStringLiteral("Socket Error # 10061\nConnection refused."));
        QVERIFY(w.isVisible());
        QTest::mouseClick(w.ToolButton("btnCartView"), Qt::LeftButton);
        QCOMPARE(w.pcMain()->currentIndex(), int(TfrmMain::CartPageIndex));
    }

    void screenshots()
    {
        // KB_SCREENSHOTS=<folder> keeps pictures of the windows for a look by eye.
        const QString folder = qEnvironmentVariable("KB_SCREENSHOTS");
        if (folder.isEmpty())
            QSKIP("KB_SCREENSHOTS not set");
        TfrmMain w(args({"kim"}));
        CreateNoticeWindows(&w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(w.wbBanner()->Loaded());
        QTest::qWait(500);
        w.grab().save(folder + "/main-folder.png");
        w.btnCartViewClick();
        QTest::qWait(100);
        w.grab().save(folder + "/main-cart.png");
        w.btnFolderViewClick();
        w.ShowWaitPanel();
        w.ggProgress()->setValue(42);
        QTest::qWait(100);
        w.grab().save(folder + "/main-wait.png");
        w.HideWaitPanel();
        TfrmLogin login;
        login.show();
        QVERIFY(QTest::qWaitForWindowExposed(&login));
        login.grab().save(folder + "/login.png");
    }
};

KB_APP_TEST_MAIN(tst_mainwindow)

#include "tst_mainwindow.moc"
