#include "app/MainFrm.h"
#include "common/AppTestMain.h"
#include "folder/FolderPage.h"
#include "folder/FolderTree.h"

#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

// The main window by keyboard alone: the page buttons are on the Tab chain and work with Space
// and with Enter.
class tst_mainkeys : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TfrmMain> m_main;

    // Presses Tab until Target has the focus; false when the chain goes round without it.
    bool tabTo(QWidget *Target)
    {
        for (int i = 0; i < 60; ++i) {
            if (QApplication::focusWidget() == Target)
                return true;
            QWidget *focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : m_main.get(), Qt::Key_Tab);
        }
        return false;
    }

    void shoot(const char *Name)
    {
        if (const QString shots = qEnvironmentVariable("KB_SCREENSHOT_DIR"); !shots.isEmpty())
            m_main->grab().save(shots + '/' + Name + ".png");
    }

private slots:
    void initTestCase()
    {
        // No print service: the banner fails quietly, the pages work without it.
        qputenv("KESTRUN_WEB_URL", "http://127.0.0.1:9");
        qputenv("KESTRUN_CONFIG", m_dir.filePath("Kestrun.cfg").toUtf8());
        m_main = std::make_unique<TfrmMain>(QStringList {"KestrunBrimvale", "guest"});
        m_main->show();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    }

    void cleanupTestCase() { m_main.reset(); }

    void pageButtonsByKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("space") << int(Qt::Key_Space);
        QTest::newRow("enter") << int(Qt::Key_Return);
    }

    void pageButtonsByKeys()
    {
        QFETCH(int, key);
        QTabWidget *pages = m_main->pcMain();
        QCOMPARE(pages->currentIndex(), int(TfrmMain::FolderPageIndex));
        m_main->Folders()->tvFolder()->setFocus(Qt::TabFocusReason);
        shoot("main-tree-focus");

        QToolButton *toCart = m_main->ToolButton("btnCartView");
        QVERIFY(tabTo(toCart));
        shoot("main-button-focus");
        QTest::keyClick(toCart, Qt::Key(key));
        QTRY_COMPARE(pages->currentIndex(), int(TfrmMain::CartPageIndex));

        QToolButton *toFolders = m_main->ToolButton("btnFolderView");
        QVERIFY(tabTo(toFolders));
        QTest::keyClick(toFolders, Qt::Key(key));
        QTRY_COMPARE(pages->currentIndex(), int(TfrmMain::FolderPageIndex));
    }
};

KB_APP_TEST_MAIN(tst_mainkeys)
#include "tst_mainkeys.moc"
