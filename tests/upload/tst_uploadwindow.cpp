// The upload window over the local print service: what it shows while the upload runs on its
// thread, its questions and messages as boxes over it, Cancel, and the way out after an error.

#include "common/BoxWatcher.h"
#include "common/ShellScript.h"
#include "upload/UploadFixture.h"
#include "upload/UploadFrm.h"
#include "upload/UploadTexts.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

using namespace uploadtest;

class TestUploadWindow : public QObject
{
    Q_OBJECT
    UPLOAD_SERVICE_FIXTURE

    QTemporaryDir m_tmp;
    QString m_browserLog;

    void prepare(TfrmUpload &w, Photos &photos)
    {
        w.Orders = photos.Orders();
        w.UserID = QStringLiteral("kim");
        w.Settings() = SettingsFor(service);
    }
    QStringList browserCalls() const
    {
        QFile f(m_browserLog);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    // Waits until the window has closed itself; false when it stays.
    static bool waitClosed(TfrmUpload &w, int Ms = 20000)
    {
        return QTest::qWaitFor([&] { return !w.isVisible(); }, Ms);
    }

private slots:
    void initTestCase()
    {
        startService();
        // The basket page goes to a script that notes its argument.
        m_browserLog = m_tmp.filePath("browser.txt");
        const QString script = WriteBrowserLogger(m_tmp.filePath("browser.sh"), m_browserLog);
        QVERIFY(!script.isEmpty());
        qputenv("KESTRUN_BROWSER", script.toUtf8());
    }
    void init()
    {
        resetService();
        QFile::remove(m_browserLog);
    }

    void windowAsBuilt()
    {
        TfrmUpload w;
        QCOMPARE(w.windowTitle(), QStringLiteral("사진 업로드"));
        QCOMPARE(w.size(), QSize(337, 134));
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(w.lblSpeed()->text(), QStringLiteral("0"));
        QCOMPARE(w.btnCancel()->text(), QStringLiteral("취 소"));
        QCOMPARE(w.lblMessage()->geometry(), QRect(8, 8, 249, 21));
        QCOMPARE(w.FileGauge()->geometry(), QRect(8, 32, 321, 25));
        QCOMPARE(w.TotalGauge()->geometry(), QRect(8, 64, 321, 25));
        QCOMPARE(w.btnCancel()->geometry(), QRect(253, 99, 75, 25));
        QVERIFY(w.Timer()->isSingleShot());
        QCOMPARE(w.Timer()->interval(), 500);
        QVERIFY(!w.Timer()->isActive());
    }

    void completedOrderOpensTheBasketOnce()
    {
        Photos photos;
        photos.Add("a.jpg");
        photos.Add("b.jpg");
        TfrmUpload w;
        prepare(w, photos);
        QElapsedTimer clock;
        clock.start();
        w.open();
        QVERIFY(w.Timer()->isActive()); // armed by the activation, fires later
        QVERIFY(waitClosed(w));
        QVERIFY(clock.elapsed() >= 500);
        QVERIFY(w.Completed());
        QCOMPARE(w.lblMessage()->text(), UploadTexts::Done);
        QCOMPARE(w.TotalGauge()->value(), 0);
        QCOMPARE(w.FileGauge()->value(), 0);
        QTRY_COMPARE(browserCalls().size(), 1);
        QCOMPARE(browserCalls().first(),
            service.webUrl() + "/mymenu/Basket_Process_P.html?cartinfo=kim[" + Stamp
                + "]CartInfo.txt&dir=" + Day + "&id=kim&httpapp=2");
        QCOMPARE(service.httpRequests("/upload_cartinfo.php").size(), 1);
    }

    void timeLeftFollowsAThrottledUpload()
    {
        QVERIFY(service.setFaults({{"throttle", QJsonObject {{"ftp", 400000}}}}));
        Photos photos;
        photos.AddLarge("a.jpg", 1200000);
        photos.AddLarge("b.jpg", 1200000);
        TfrmUpload w;
        prepare(w, photos);
        QElapsedTimer clock;
        QStringList texts; // every text the total gauge showed, in order
        qint64 firstMs = -1;
        QTimer poll; // looks at the total gauge's text while the upload runs
        connect(&poll, &QTimer::timeout, this, [&] {
            const QString text = w.TotalGauge()->text();
            if (text.contains(QStringLiteral("남은 시간")) && (texts.isEmpty() || texts.last() != text)) {
                if (firstMs < 0) {
                    firstMs = clock.elapsed();
                    if (const QString shots = qEnvironmentVariable("KB_SCREENSHOTS"); !shots.isEmpty())
                        w.grab().save(shots + "/upload-time-left.png");
                }
                texts.append(text);
            }
        });
        poll.start(50);
        clock.start();
        w.open();
        QVERIFY(waitClosed(w, 60000));
        QVERIFY(w.Completed());
        QVERIFY2(!texts.isEmpty(), "no time left was shown");
        QVERIFY2(firstMs >= 2000, qPrintable(QString::number(firstMs))); // two seconds of data first
        QVERIFY(texts.first().contains(QRegularExpression("남은 시간 약 \\d+초$")));
    }

    void basketAddressShownWhenNoBrowserStarts()
    {
        const QByteArray browser = qgetenv("KESTRUN_BROWSER");
        const QString failing = WriteShellScript(m_tmp.filePath("no-browser.sh"), "exit 3");
        QVERIFY(!failing.isEmpty());
        qputenv("KESTRUN_BROWSER", failing.toUtf8());

        Photos photos;
        photos.Add("a.jpg");
        TfrmUpload w;
        prepare(w, photos);
        // The window comes up in a nested event loop: a timer finds it and closes it.
        QString shown;
        bool addressClosed = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (top->objectName() != "BasketAddress" || !top->isVisible())
                    continue;
                poll.stop();
                shown = top->findChild<QLineEdit *>("edtAddress")->text();
                top->findChild<QPushButton *>("btnClose")->click();
                addressClosed = true;
            }
        });
        poll.start();
        w.exec(); // as the cart page runs it: the order ends when this returns
        qputenv("KESTRUN_BROWSER", browser);
        QVERIFY(addressClosed);
        QCOMPARE(shown, service.webUrl() + "/mymenu/Basket_Process_P.html?cartinfo=kim[" + Stamp
                + "]CartInfo.txt&dir=" + Day + "&id=kim&httpapp=2");
        QVERIFY(w.Completed());
    }

    void liveProgressThenCancel()
    {
        QVERIFY(service.setFaults({{"throttle", QJsonObject{{"ftp", 400000}}}}));
        Photos photos;
        photos.AddLarge("big.jpg", 4000000);
        photos.Add("small.jpg");
        TfrmUpload w;
        prepare(w, photos);
        w.open();
        // The gauge moves while the photo is on its way, and the speed is shown.
        QVERIFY(QTest::qWaitFor([&] { return w.FileGauge()->value() > 100; }, 15000));
        const int seen = w.FileGauge()->value();
        if (const QByteArray dir = qgetenv("KB_SCREENSHOT_DIR"); !dir.isEmpty())
            w.grab().save(QString::fromUtf8(dir) + "/upload-window.png");
        QVERIFY(QTest::qWaitFor([&] { return w.FileGauge()->value() > seen; }, 20000));
        QVERIFY(seen < 1000);
        QVERIFY(w.lblMessage()->text().contains(QStringLiteral("big.jpg")));
        QVERIFY(QTest::qWaitFor([&] { return w.lblSpeed()->text() != QStringLiteral("0"); }, 20000));
        QVERIFY(w.isVisible());

        QTest::mouseClick(w.btnCancel(), Qt::LeftButton);
        QVERIFY(waitClosed(w, 5000));
        QVERIFY(!w.Completed());
        QVERIFY(service.httpRequests("/upload_cartinfo.php").isEmpty());
        QVERIFY(browserCalls().isEmpty());
    }

    void cancelBeforeTheConnection()
    {
        Photos photos;
        photos.Add("a.jpg");
        TfrmUpload w;
        prepare(w, photos);
        w.open();
        QTest::mouseClick(w.btnCancel(), Qt::LeftButton);
        QVERIFY(waitClosed(w, 3000));
        QVERIFY(!w.Completed());
        QTest::qWait(800);
        QVERIFY(service.httpRequests("/Brimvale/NowDateTime.html").isEmpty());
    }

    void escapedErrorLeavesTheWindowClosable_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("text"); // empty: the server's, whatever it says
        QTest::newRow("server time failing") << QStringLiteral("kim") << QString();
        QTest::newRow("empty user id") << QString() << UploadTexts::NoUserID;
    }
    void escapedErrorLeavesTheWindowClosable()
    {
        QFETCH(QString, user);
        QFETCH(QString, text);
        QVERIFY(service.setFaults({{"http",
            QJsonArray{QJsonObject{{"path", "/Brimvale/NowDateTime.html"}, {"action", "status"},
                {"status", 500}}}}}));
        Photos photos;
        photos.Add("a.jpg");
        TfrmUpload w;
        prepare(w, photos);
        w.UserID = user;
        BoxWatcher error([](QMessageBox *box) { box->done(QMessageBox::Ok); });
        w.open();
        QTRY_VERIFY_WITH_TIMEOUT(error.Seen(), 20000);
        QCOMPARE(error.ObjectName(), QStringLiteral("GeneralErrorDisplay"));
        QVERIFY(!error.Text().isEmpty());
        if (!text.isEmpty()) {
            QCOMPARE(error.Text(), text);
            QCOMPARE(service.record().size(), 0); // refused before anything went out
        }
        // It stays with its last texts until the user leaves it with Cancel.
        QVERIFY(QTest::qWaitFor([&] { return !w.IsRunning(); }, 20000));
        QTest::qWait(300);
        QVERIFY(w.isVisible());
        QVERIFY(w.btnCancel()->isEnabled());
        QTest::mouseClick(w.btnCancel(), Qt::LeftButton);
        QVERIFY(waitClosed(w, 2000));
        QVERIFY(!w.Completed());
    }

    void failedCartInfoPostIsAMessageBox()
    {
        // The photos arrive, the cart-info post fails: "HTTP Error : ..." and not completed.
        QVERIFY(service.setFaults({{"http",
            QJsonArray{QJsonObject{{"path", "/upload_cartinfo.php"}, {"action", "status"}}}}}));
        Photos photos;
        photos.Add("a.jpg");
        TfrmUpload w;
        prepare(w, photos);
        BoxWatcher box([](QMessageBox *b) { b->done(QMessageBox::Ok); });
        w.open();
        QVERIFY(waitClosed(w, 30000));
        QVERIFY(box.Seen());
        QVERIFY2(box.Text().startsWith(UploadTexts::HttpErrorPrefix), qPrintable(box.Text()));
        QCOMPARE(box.ObjectName(), QString::fromLatin1(TfrmUpload::MessageBoxName));
        QVERIFY(!w.Completed());
        QVERIFY(browserCalls().isEmpty());
        QVERIFY(w.lblMessage()->text() != UploadTexts::Done);
    }

    void webRouteQuestion_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No: ends at once") << false;
        QTest::newRow("Yes: photos by HTTP") << true;
    }
    void webRouteQuestion()
    {
        QFETCH(bool, yes);
        QVERIFY(!service.control("ftp", {{"listen", false}}).value("listening").toBool());
        Photos photos;
        photos.Add("a.jpg");
        TfrmUpload w;
        prepare(w, photos);
        BoxWatcher question(
            [yes](QMessageBox *b) { b->findChild<QPushButton *>(yes ? "btnYes" : "btnNo")->click(); });
        w.open();
        QVERIFY(waitClosed(w));
        QVERIFY(question.Seen());
        QCOMPARE(question.Title(), UploadTexts::ConfirmCaption);
        QCOMPARE(question.Text(), UploadTexts::WebRouteQuestion);
        QCOMPARE(w.Completed(), yes);
        QCOMPARE(service.httpRequests("/upload_file2.php").size(), yes ? 1 : 0);
        QTRY_COMPARE(browserCalls().size(), yes ? 1 : 0);
    }
};

QTEST_MAIN(TestUploadWindow)
#include "tst_uploadwindow.moc"
