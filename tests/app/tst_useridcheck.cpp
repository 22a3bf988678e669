// A user id with a control character names no customer: refused where it enters (command line,
// login window) with a message, before anything is sent.

#include "app/CommandLine.h"
#include "app/LoginFrm.h"
#include "app/MainFrm.h"
#include "common/AppTestMain.h"
#include "common/ModalWatcher.h"
#include "common/PrintService.h"
#include "util/ControlCharacters.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// Closes every modal window that comes up, one after the other (a message box with its button,
// a dialog with Escape), and notes their object names and texts.
class ModalSequence
{
public:
    ModalSequence()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal == m_last)
                return;
            m_last = modal;
            Names.append(modal->objectName());
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                Texts.append(box->text());
                box->done(QMessageBox::Ok);
            } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                Texts.append(QString());
                dialog->reject();
            }
        });
        m_timer.start();
    }
    QStringList Names;
    QStringList Texts;

private:
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

} // namespace

class tst_useridcheck : public QObject
{
    Q_OBJECT

    PrintService m_service;
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_service.start(&error), qPrintable(error));
        m_service.applyToEnvironment();
        qputenv("KESTRUN_CONFIG", m_dir.filePath("Kestrun.cfg").toUtf8());
    }
    void init() { QVERIFY(m_service.reset()); }

    void commandLineUserID_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("refused");
        QTest::newRow("plain") << "kim" << false;
        QTest::newRow("blanks and Hangul") << QStringLiteral(" 홍 길동 ") << false;
        QTest::newRow("CR LF and a command") << "kim\r\nNOOP" << true;
        QTest::newRow("tab") << "kim\tlee" << true;
        QTest::newRow("NUL") << QStringLiteral("kim") + QChar(0) << true;
        QTest::newRow("DEL") << QStringLiteral("\x7Fkim") << true;
        QTest::newRow("C1 control") << QStringLiteral("kim\u009B") << true;
    }
    void commandLineUserID()
    {
        QFETCH(QString, argument);
        QFETCH(bool, refused);
        bool wasRefused = !refused;
        const QString id = CommandLineUserID({"KestrunBrimvale", argument, "x"}, &wasRefused);
        QCOMPARE(wasRefused, refused);
        QCOMPARE(id, refused ? QString() : argument);
    }

    // Told why, then asked to log in as if no id had been given; leaving the login ends it.
    void refusedArgumentLeadsToTheLogin()
    {
        ModalSequence modals;
        TfrmMain w({"KestrunBrimvale", "kim\r\nNOOP"});
        QCOMPARE(modals.Names, (QStringList {"UserIDRefused", "TfrmLogin"}));
        QCOMPARE(modals.Texts.value(0), ControlTexts::UserIDRefused);
        QVERIFY(w.UserID.isEmpty());
        QCOMPARE(m_service.record().size(), 0);
    }

    void loginRefusesTheIdBeforeSending()
    {
        TfrmLogin w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *id = w.findChild<QLineEdit *>("edtID");
        id->setText(QStringLiteral("kim\tlee"));
        w.findChild<QLineEdit *>("edtPW")->setText("kim1234");
        ModalWatcher watcher(ModalWatcher::Dismiss);
        QTest::mouseClick(w.findChild<QPushButton *>("btnLogin"), Qt::LeftButton);
        QTRY_VERIFY(watcher.Seen());
        QCOMPARE(watcher.ObjectName(), QStringLiteral("UserIDRefused"));
        QCOMPARE(watcher.Text(), ControlTexts::UserIDRefused);
        QVERIFY(w.isVisible());
        QVERIFY(w.UserID.isEmpty());
        QCOMPARE(m_service.httpRequests("/app_login.php").size(), 0);
    }
};

KB_APP_TEST_MAIN(tst_useridcheck)
#include "tst_useridcheck.moc"
