// The way to the web basket when no browser can be started: the launcher tells a failed start
// from a browser that took the address, and the address window lets the customer copy it.

#include "common/ShellScript.h"
#include "upload/BasketAddressFrm.h"
#include "upload/UploadFrm.h"
#include "util/BrowserLaunch.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

class TestBasketAddress : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    QString script(const QString &Name, const QByteArray &Body)
    {
        return WriteShellScript(m_tmp.filePath(Name), Body);
    }

private slots:
    void launch_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("started");
        QTest::newRow("no such program") << m_tmp.filePath("missing-browser") << false;
        QTest::newRow("ends with a failure (no browser found)")
            << script("fails.sh", "echo 'no browser' >&2; exit 3") << false;
        QTest::newRow("killed at once") << script("killed.sh", "kill -9 $$") << false;
        QTest::newRow("hands the address on and ends") << script("ok.sh", "exit 0") << true;
        QTest::newRow("not executable") << m_tmp.filePath("plain.txt") << false;
    }

    void launch()
    {
        QFETCH(QString, program);
        QFETCH(bool, started);
        QFile(m_tmp.filePath("plain.txt")).open(QIODevice::WriteOnly);
        const LaunchResult r = LaunchAndWatch(program, {"http://127.0.0.1/basket"}, 10000);
        QCOMPARE(r.Started, started);
        QCOMPARE(r.Error.isEmpty(), started);
    }

    void browserThatStaysIsStarted()
    {
        const QString browser
            = script("stays.sh", "echo $$ > \"$0.tmp\"; mv \"$0.tmp\" \"$0.pid\"; exec sleep 60");
        const LaunchResult r = LaunchAndWatch(browser, {"http://x/"}, 200);
        QVERIFY(r.Started);
        const auto pid = [&] {
            QFile f(browser + ".pid");
            return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toInt() : 0;
        };
        QTRY_VERIFY(pid() > 0);
        ::kill(pid(), SIGKILL);
    }

    void openBasketReportsAFailedBrowser()
    {
        qputenv("KESTRUN_BROWSER", script("fails2.sh", "exit 1").toUtf8());
        QVERIFY(!TfrmUpload::OpenBasket("http://127.0.0.1/basket?id=kim").Started);
        // No command and nothing on PATH: the desktop's services have no browser either.
        qunsetenv("KESTRUN_BROWSER");
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", m_tmp.filePath("empty").toUtf8());
        QVERIFY(!TfrmUpload::OpenBasket("http://127.0.0.1/basket?id=kim").Started);
        qputenv("PATH", path);
    }

    void addressWindow()
    {
        const QString address = QStringLiteral(
            "http://127.0.0.1:8080/mymenu/Basket_Process_P.html?cartinfo=홍길동[202405201230451]"
            "CartInfo.txt&dir=20240520&id=홍길동&httpapp=2");
        TfrmBasketAddress w(address);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.edtAddress()->text(), address);
        QVERIFY(w.edtAddress()->isReadOnly());
        QVERIFY(w.edtAddress()->hasFocus());
        QCOMPARE(w.edtAddress()->selectedText(), address); // Ctrl+C copies it at once
        for (QWidget *c :
            std::initializer_list<QWidget *> {w.edtAddress(), w.btnCopy(), w.btnClose()})
            QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));

        QApplication::clipboard()->clear();
        QTest::keyClick(&w, Qt::Key_Return); // Enter copies
        QCOMPARE(QApplication::clipboard()->text(), address);
        QCOMPARE(w.lblCopied()->accessibleName(), w.lblCopied()->text());
        QVERIFY(!w.lblCopied()->text().isEmpty());
        if (const QString shots = qEnvironmentVariable("KB_SCREENSHOTS"); !shots.isEmpty())
            w.grab().save(shots + "/basket-address.png");

        QTest::mouseClick(w.btnClose(), Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestBasketAddress)
#include "tst_basketaddress.moc"
