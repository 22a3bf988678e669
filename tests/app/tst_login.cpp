#include "app/KestrunApplication.h"
#include "app/LoginFrm.h"
#include "common/ModalWatcher.h"
#include "common/PrintService.h"
#include "ui/ModalResult.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace ModalResult;

// The login window against the local print service, which knows the member kim / kim1234.
class tst_login : public QObject
{
    Q_OBJECT

private:
    PrintService m_service;
    QTemporaryDir m_dir;
    QString m_config;

    struct Form
    {
        TfrmLogin w;
        QLineEdit *id = w.findChild<QLineEdit *>("edtID");
        QLineEdit *pw = w.findChild<QLineEdit *>("edtPW");
        QCheckBox *save = w.findChild<QCheckBox *>("cbSave");
        QPushButton *login = w.findChild<QPushButton *>("btnLogin");
        QPushButton *guest = w.findChild<QPushButton *>("btnGuest");
    };

    void showForm(Form &F)
    {
        F.w.show();
        QApplication::setActiveWindow(&F.w);
        QVERIFY(QTest::qWaitForWindowExposed(&F.w));
    }

    int loginRequests() { return m_service.httpRequests(QStringLiteral("/app_login.php")).size(); }

    QByteArray lastLoginQuery()
    {
        const QJsonArray requests = m_service.httpRequests(QStringLiteral("/app_login.php"));
        return requests.isEmpty() ? QByteArray()
                                  : PrintService::bytes(requests.last().toObject().value("query"));
    }

    void writeConfig(const QByteArray &Content)
    {
        QFile file(m_config);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(Content);
    }

    QByteArray config()
    {
        QFile file(m_config);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_service.start(&error), qPrintable(error));
        m_service.applyToEnvironment();
        m_config = m_dir.filePath(QStringLiteral("Kestrun.cfg"));
        qputenv("KESTRUN_CONFIG", m_config.toUtf8());
    }

    void init()
    {
        QFile::remove(m_config);
        m_service.reset();
    }

    void formAsBuilt()
    {
        Form f;
        QCOMPARE(f.w.windowTitle(), QStringLiteral("로그인 1.3"));
        QCOMPARE(f.w.size(), QSize(282, 120));
        QCOMPARE(f.w.ConfigPath, m_config);
        QVERIFY(f.w.UserID.isEmpty());
        QCOMPARE(f.pw->echoMode(), QLineEdit::Password);
        QCOMPARE(f.save->text(), QStringLiteral("ID저장"));
        QCOMPARE(f.login->text(), QStringLiteral("로 그 인"));
        QCOMPARE(f.guest->text(), QStringLiteral("비회원 주문"));
        showForm(f);
        f.id->setFocus();
        QTest::keyClick(f.id, Qt::Key_Tab);
        QCOMPARE(f.w.focusWidget(), f.pw);
    }

    void savedIdFillsTheForm_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("UserID=kim") << QByteArray("UserID=kim\r\n");
        QTest::newRow("userid=kim") << QByteArray("Skin=1\nuserid=kim\n");
    }

    void savedIdFillsTheForm()
    {
        QFETCH(QByteArray, content);
        writeConfig(content);
        Form f;
        showForm(f);
        QCOMPARE(f.id->text(), QStringLiteral("kim"));
        QVERIFY(f.save->isChecked());
        QCOMPARE(f.w.focusWidget(), f.pw);
    }

    void noSavedIdFocusesTheId()
    {
        Form f;
        showForm(f);
        QVERIFY(f.id->text().isEmpty());
        QVERIFY(!f.save->isChecked());
        QCOMPARE(f.w.focusWidget(), f.id);
    }

    void unreadableSettingsFile()
    {
        QVERIFY(QDir().mkpath(m_config)); // a folder in its place
        Form f;
        ModalWatcher watcher(ModalWatcher::Dismiss);
        showForm(f);
        QTRY_VERIFY(watcher.Seen());
        QCOMPARE(watcher.Title(), QStringLiteral("케스트런 브림베일"));
        QVERIFY(watcher.Text().contains(QDir::toNativeSeparators(m_config)));
        QVERIFY(f.id->text().isEmpty());
        QVERIFY(f.w.isVisible());
        QDir().rmdir(m_config);
    }

    void acceptedLoginSavesTheId_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("typedId");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file") << QByteArray("<none>") << "kim"
                                  << "kim1234" << QByteArray("UserID=kim\r\n");
        QTest::newRow("line replaced, others kept")
            << QByteArray("A=1\nuserid=lee\nB=2\n") << "kim"
            << "kim1234" << QByteArray("A=1\r\nUserID=kim\r\nB=2\r\n");
        QTest::newRow("blanks and controls trimmed")
            << QByteArray("<none>") << " \tkim  "
            << " kim1234\t" << QByteArray("UserID=kim\r\n");
        QTest::newRow("Hangul member")
            << QByteArray("<none>") << "홍길동"
            << "abcd1234" << QByteArray("UserID=\xED\x99\x8D\xEA\xB8\xB8\xEB\x8F\x99\r\n");
    }

    void acceptedLoginSavesTheId()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, typedId);
        QFETCH(QString, password);
        QFETCH(QByteArray, after);
        if (before != "<none>")
            writeConfig(before);
        Form f;
        showForm(f);
        f.id->setText(typedId);
        f.pw->setText(password);
        f.save->setChecked(true);
        QTest::mouseClick(f.login, Qt::LeftButton);
        QCOMPARE(f.w.result(), mrOk);
        QCOMPARE(f.w.UserID, TrimControls(typedId));
        QCOMPARE(config(), after);
        QCOMPARE(loginRequests(), 1);
    }

    void untickedLoginLeavesTheFile()
    {
        writeConfig("UserID=lee\r\nX=1\n");
        Form f;
        showForm(f);
        f.save->setChecked(false);
        f.id->setText("kim");
        f.pw->setText("kim1234");
        QTest::keyClick(f.pw, Qt::Key_Return);
        QCOMPARE(f.w.result(), mrOk);
        QCOMPARE(f.w.UserID, QStringLiteral("kim"));
        QCOMPARE(config(), QByteArray("UserID=lee\r\nX=1\n"));
    }

    void passwordTravelsWhole()
    {
        m_service.control("faults", QJsonObject {{"clear", true}});
        Form f;
        f.id->setText("kim");
        f.pw->setText("a&b=c#d+e");
        QVERIFY(!f.w.CheckLogin("kim", "a&b=c#d+e"));
        QCOMPARE(lastLoginQuery(), QByteArray("userid=kim&pass=a%26b%3Dc%23d%2Be"));
    }

    void hangulMemberTravelsInCp949()
    {
        Form f;
        QVERIFY(f.w.CheckLogin(QStringLiteral("홍길동"), QStringLiteral("abcd1234")));
        QCOMPARE(lastLoginQuery(), QByteArray("userid=%C8%AB%B1%E6%B5%BF&pass=abcd1234"));
        QVERIFY(!f.w.CheckLogin(QStringLiteral("똠방"), QStringLiteral("x")));
        QCOMPARE(lastLoginQuery(), QByteArray("userid=%8Cc%B9%E6&pass=x")); // 똠 is CP949 only
    }

    void letterCp949CannotHoldIsToldNotSent()
    {
        Form f;
        showForm(f);
        f.id->setText("lee");
        f.pw->setText(QStringLiteral("café1234"));
        const int before = loginRequests();
        ModalWatcher watcher(ModalWatcher::Dismiss);
        QTest::mouseClick(f.login, Qt::LeftButton);
        QVERIFY(watcher.Seen());
        QCOMPARE(watcher.ObjectName(), QStringLiteral("LoginUnsendable"));
        QCOMPARE(
            watcher.Text(), QStringLiteral("아이디나 패스워드에 보낼 수 없는 문자가 있습니다: é"));
        QCOMPARE(loginRequests(), before);
        QVERIFY(f.w.isVisible());
        QCOMPARE(f.w.focusWidget(), f.pw);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("body"); // what the login script answers; "" = its own
        QTest::newRow("wrong password") << "nope"
                                        << "";
        QTest::newRow("lower case ok") << "kim1234"
                                       << "ok";
        QTest::newRow("OK and a line end") << "kim1234"
                                           << "OK\r\n";
        QTest::newRow("OK and a blank") << "kim1234"
                                        << "OK ";
    }

    void refusals()
    {
        QFETCH(QString, password);
        QFETCH(QString, body);
        if (!body.isEmpty()) {
            QVERIFY(m_service.setFaults(QJsonObject {{"http",
                QJsonArray {QJsonObject {
                    {"path", "/app_login.php"}, {"action", "body"}, {"body", body}}}}}));
        }
        writeConfig("UserID=lee\r\n");
        Form f;
        showForm(f);
        f.id->setText("kim");
        f.pw->setText(password);
        ModalWatcher watcher(ModalWatcher::Dismiss);
        QTest::mouseClick(f.login, Qt::LeftButton);
        QVERIFY(watcher.Seen());
        QCOMPARE(watcher.Text(), QStringLiteral("아이디 또는 패스워드 를 찾을 수 없습니다."));
        QCOMPARE(watcher.Title(), QStringLiteral("케스트런 브림베일"));
        QVERIFY(f.w.isVisible());
        QCOMPARE(f.w.result(), 0);
        QVERIFY(f.w.UserID.isEmpty());
        QCOMPARE(f.id->text(), QStringLiteral("kim"));
        QCOMPARE(f.pw->text(), password);
        QCOMPARE(f.w.focusWidget(), f.id);
        QCOMPARE(config(), QByteArray("UserID=lee\r\n"));
    }

    void emptyFieldsSendNothing_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("enterInPassword");
        QTest::addColumn<QString>("focus");
        QTest::newRow("empty id") << ""
                                  << "kim1234" << false << "edtID";
        QTest::newRow("blank id") << "  \t"
                                  << "kim1234" << false << "edtID";
        QTest::newRow("empty password") << "kim"
                                        << "" << false << "edtPW";
        QTest::newRow("Enter in the password, id empty") << ""
                                                         << "kim1234" << true << "edtID";
    }

    void emptyFieldsSendNothing()
    {
        QFETCH(QString, id);
        QFETCH(QString, password);
        QFETCH(bool, enterInPassword);
        QFETCH(QString, focus);
        Form f;
        showForm(f);
        f.id->setText(id);
        f.pw->setText(password);
        ModalWatcher watcher(ModalWatcher::Dismiss, 300);
        if (enterInPassword) {
            f.pw->setFocus();
            QTest::keyClick(f.pw, Qt::Key_Return);
        } else {
            QTest::mouseClick(f.login, Qt::LeftButton);
        }
        QTest::qWait(350);
        QVERIFY(!watcher.Seen());
        QVERIFY(f.w.isVisible());
        QCOMPARE(f.w.focusWidget()->objectName(), focus);
        QCOMPARE(loginRequests(), 0);
    }

    void escapeCancels_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("in the id") << "edtID";
        QTest::newRow("in the password") << "edtPW";
        QTest::newRow("on the guest button") << "btnGuest";
    }

    void escapeCancels()
    {
        QFETCH(QString, where);
        Form f;
        showForm(f);
        QWidget *target = f.w.findChild<QWidget *>(where);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(!f.w.isVisible());
        QCOMPARE(f.w.result(), mrCancel);
        QVERIFY(f.w.UserID.isEmpty());
    }

    void closeBoxCancels()
    {
        Form f;
        showForm(f);
        f.w.close();
        QCOMPARE(f.w.result(), mrCancel);
    }

    void guestSendsNothing()
    {
        writeConfig("UserID=lee\r\n");
        Form f;
        showForm(f);
        f.save->setChecked(true);
        QTest::mouseClick(f.guest, Qt::LeftButton);
        QCOMPARE(f.w.result(), mrOk);
        QCOMPARE(f.w.UserID, QStringLiteral("guest"));
        QCOMPARE(loginRequests(), 0);
        QCOMPARE(config(), QByteArray("UserID=lee\r\n"));
    }

    void requestErrorShowsTheClientError_data()
    {
        QTest::addColumn<QJsonObject>("rule");
        QTest::addColumn<QString>("expected");
        QTest::newRow("error status")
            << QJsonObject {{"path", "/app_login.php"}, {"action", "status"}, {"status", 500}}
            << "500";
        QTest::newRow("connection dropped")
            << QJsonObject {{"path", "/app_login.php"}, {"action", "drop"}} << "";
    }

    void requestErrorShowsTheClientError()
    {
        QFETCH(QJsonObject, rule);
        QFETCH(QString, expected);
        QVERIFY(m_service.setFaults(QJsonObject {{"http", QJsonArray {rule}}}));
        Form f;
        showForm(f);
        f.id->setText("kim");
        f.pw->setText("kim1234");
        f.save->setChecked(true);
        ModalWatcher watcher(ModalWatcher::Dismiss);
        QTest::mouseClick(f.login, Qt::LeftButton);
        QVERIFY(watcher.Seen());
        QCOMPARE(watcher.ObjectName(), QStringLiteral("GeneralErrorDisplay"));
        QCOMPARE(watcher.Title(), QStringLiteral("케스트런 브림베일"));
        QVERIFY2(watcher.Text().contains(expected), qPrintable(watcher.Text()));
        QVERIFY(f.w.isVisible());
        QVERIFY(f.w.isEnabled());
        QVERIFY(f.w.UserID.isEmpty());
        QCOMPARE(config(), QByteArray("<none>"));
    }

    void unwritableSettingsFileKeepsTheWindowOpen()
    {
        // A folder at the file's place: the login succeeds, the save fails.
        QVERIFY(QDir().mkpath(m_config));
        Form f;
        ModalWatcher first(ModalWatcher::Dismiss); // the read error when shown
        showForm(f);
        QTRY_VERIFY(first.Seen());
        f.id->setText("kim");
        f.pw->setText("kim1234");
        f.save->setChecked(true);
        ModalWatcher watcher(ModalWatcher::Dismiss);
        QTest::mouseClick(f.login, Qt::LeftButton);
        QVERIFY(watcher.Seen());
        QCOMPARE(watcher.ObjectName(), QStringLiteral("GeneralErrorDisplay"));
        QVERIFY(f.w.isVisible());
        // Without the box ticked the login finishes.
        f.save->setChecked(false);
        QTest::mouseClick(f.login, Qt::LeftButton);
        QCOMPARE(f.w.result(), mrOk);
        QCOMPARE(f.w.UserID, QStringLiteral("kim"));
        QDir().rmdir(m_config);
    }

    void stalledServerDoesNotFreezeTheWindow()
    {
        QVERIFY(m_service.setFaults(QJsonObject {{"http",
            QJsonArray {
                QJsonObject {{"path", "/app_login.php"}, {"action", "hang"}, {"seconds", 1.5}}}}}));
        Form f;
        showForm(f);
        f.id->setText("kim");
        f.pw->setText("kim1234");
        bool busySeen = false;
        int paintsWhileBusy = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            if (f.w.Busy()) {
                busySeen = true;
                f.w.update();
                ++paintsWhileBusy; // the event loop runs while the request waits
                QVERIFY(!f.w.isEnabled());
            }
        });
        probe.start(50);
        ModalWatcher watcher(ModalWatcher::Dismiss);
        QTest::mouseClick(f.login, Qt::LeftButton);
        probe.stop();
        QVERIFY(busySeen);
        QVERIFY(paintsWhileBusy > 5);
        QVERIFY(watcher.Seen()); // the hung request ends as an error
        QVERIFY(f.w.isEnabled());
    }
};

int main(int argc, char **argv)
{
    KestrunApplication app(argc, argv);
    tst_login test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_login.moc"
