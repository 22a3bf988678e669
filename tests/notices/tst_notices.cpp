#include "common/ModalWatcher.h"
#include "common/PrintService.h"
#include "common/WindowTestMain.h"
#include "notices/NoticeWindows.h"
#include "notices/OptionAlertFrm.h"
#include "notices/PageFetch.h"
#include "notices/SizeAlertFrm.h"
#include "notices/WebView.h"
#include "notices/uAutoBJFrm.h"
#include "ui/ModalResult.h"
#include "ui/Skin.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>

using namespace ModalResult;

class tst_notices : public QObject
{
    Q_OBJECT

private:
    PrintService m_service;

    // Shows the window modally, clicks the named control (the check box first when asked),
    // and returns exec()'s answer.
    static int answer(QDialog &W, const char *Button)
    {
        ModalWatcher watcher([&](QWidget *) {
            QTest::mouseClick(W.findChild<QPushButton *>(Button), Qt::LeftButton);
        });
        return W.exec();
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_service.start(&error), qPrintable(error));
        m_service.applyToEnvironment();
    }

    void declaredCharset_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("charset");
        QTest::newRow("header") << QByteArray("text/html; charset=EUC-KR") << QByteArray("<p>")
                                << QByteArray("euc-kr");
        QTest::newRow("header wins over meta")
            << QByteArray("text/html;charset=\"utf-8\"") << QByteArray("<meta charset=euc-kr>")
            << QByteArray("utf-8");
        QTest::newRow("meta charset")
            << QByteArray("text/html") << QByteArray("<head><meta charset=\"ks_c_5601-1987\">")
            << QByteArray("ks_c_5601-1987");
        QTest::newRow("meta http-equiv")
            << QByteArray()
            << QByteArray(
                   "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=euc-kr\">")
            << QByteArray("euc-kr");
        QTest::newRow("none") << QByteArray("text/html") << QByteArray("<p>안녕</p>")
                              << QByteArray();
    }

    void declaredCharset()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, charset);
        QCOMPARE(DeclaredCharset(contentType, body), charset);
    }

    void decodePage_data()
    {
        // 똠 햏 뷁 exist in CP949 only, not in plain EUC-KR.
        const QByteArray cp949("\x8C\x63\xC1\x64\x94\xEE");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        QTest::newRow("euc-kr declared, CP949 letters kept")
            << QByteArray("text/html; charset=euc-kr") << cp949 << "똠햏뷁";
        QTest::newRow("undeclared, not UTF-8: CP949") << QByteArray() << cp949 << "똠햏뷁";
        QTest::newRow("undeclared UTF-8") << QByteArray() << QString("똠햏뷁").toUtf8() << "똠햏뷁";
        QTest::newRow("latin-1 declared")
            << QByteArray("text/html; charset=iso-8859-1") << QByteArray("caf\xE9") << "café";
    }

    void decodePage()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        QCOMPARE(DecodePage(contentType, body), text);
    }

    void sizeAlertAsBuilt()
    {
        TfrmSizeAlert w;
        QCOMPARE(w.windowTitle(), QStringLiteral("경고"));
        QCOMPARE(w.size(), QSize(543, 243));
        QCOMPARE(w.Banner()->geometry(), QRect(8, 8, 529, 201));
        QCOMPARE(w.findChild<QCheckBox *>("chkAll")->text(), QStringLiteral("일괄적용"));
        QVERIFY(!w.findChild<QCheckBox *>("chkAll")->isChecked());
        QCOMPARE(w.findChild<QPushButton *>("btnYes")->text(), QStringLiteral("예"));
        QCOMPARE(w.findChild<QPushButton *>("btnNo")->text(), QStringLiteral("아니오"));
        QCOMPARE(w.Banner()->Address(), m_service.webUrl() + "/popup/ifpf_pop2.htm");
        QTRY_VERIFY(w.Banner()->Loaded());
        QVERIFY(!w.Banner()->Failed());
        QVERIFY(w.Banner()->ScrollBarsHidden());
        QVERIFY(w.Banner()->TextBrowser()->toPlainText().contains(QStringLiteral("해상도")));
    }

    void chkAllSwitchesTheAnswers()
    {
        TfrmSizeAlert w;
        QCheckBox *all = w.findChild<QCheckBox *>("chkAll");
        w.setWindowTitle(QStringLiteral("사진.jpg"));
        QCOMPARE(answer(w, "btnYes"), mrYes);
        QCOMPARE(answer(w, "btnNo"), mrNo);

        QTest::mouseClick(all, Qt::LeftButton);
        QVERIFY(all->isChecked());
        QCOMPARE(w.YesResult(), mrYesToAll);
        QCOMPARE(w.NoResult(), mrNoToAll);
        QCOMPARE(answer(w, "btnYes"), mrYesToAll);
        // The next showing starts with the box still ticked, and the caller's caption.
        QVERIFY(all->isChecked());
        QCOMPARE(w.windowTitle(), QStringLiteral("사진.jpg"));
        QCOMPARE(answer(w, "btnNo"), mrNoToAll);

        QTest::mouseClick(all, Qt::LeftButton);
        QCOMPARE(answer(w, "btnYes"), mrYes);
        QCOMPARE(answer(w, "btnNo"), mrNo);

        // Ticked from code, without a click: the buttons still follow the box.
        all->setChecked(true);
        QCOMPARE(answer(w, "btnNo"), mrNoToAll);
    }

    void frameClosesWithCancel()
    {
        TfrmSizeAlert size;
        ModalWatcher a([](QWidget *W) { W->close(); });
        QCOMPARE(size.exec(), mrCancel);
        TfrmOptionAlert option;
        ModalWatcher b([](QWidget *W) { W->close(); });
        QCOMPARE(option.exec(), mrCancel);
    }

    void optionAlert()
    {
        TfrmOptionAlert w;
        QCOMPARE(w.windowTitle(), QStringLiteral("경고"));
        QCOMPARE(w.size(), QSize(370, 455));
        QCOMPARE(w.Banner()->geometry(), QRect(9, 9, 352, 400));
        QCOMPARE(w.findChild<QPushButton *>("sButton1")->text(), QStringLiteral("확 인"));
        QCOMPARE(answer(w, "sButton1"), mrOk);
        QTRY_VERIFY(w.Banner()->Loaded());
        QCOMPARE(w.Banner()->Address(), m_service.webUrl() + "/popup/ifpf_pop.htm");
        QVERIFY(w.Banner()->TextBrowser()->toPlainText().contains(QStringLiteral("페이퍼풀")));
        QVERIFY(w.Banner()->ScrollBarsHidden());
    }

    void autoBJText()
    {
        const QStringList lines = TAutoBJ::Caption().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 15);
        const int blanks[15] = {1, 1, 8, 8, 8, 0, 2, 9, 0, 2, 9, 9, 0, 2, 9};
        for (int i = 0; i < 15; ++i) {
            const QString &line = lines[i];
            int lead = 0;
            while (lead < line.size() && line[lead] == u' ')
                ++lead;
            QCOMPARE(lead, blanks[i]);
            QCOMPARE(line.endsWith(u' ') && i != 0, i == 1 || i == 3 || i == 10);
        }
        QCOMPARE(
            lines[1], QStringLiteral(" ▶   인화기내에서 자동으로 컨트라스트 및 밝기가 어느정도 "));
        QCOMPARE(
            lines[14], QStringLiteral("         인 RGB의 값을 기준으로 변경되어 출력 됩니다."));
        QVERIFY(!TAutoBJ::Caption().contains(u'\n') || TAutoBJ::Caption().count(u'\n') == 14);

        TAutoBJ w;
        QCOMPARE(w.windowTitle(), QStringLiteral("자동보정이란?"));
        QCOMPARE(w.size(), QSize(418, 283));
        auto *text = w.findChild<QLabel *>("sLabel1");
        QCOMPARE(text->text().split(u'\n'), lines);
        QCOMPARE(text->geometry(), QRect(24, 32, 369, 207));
        QVERIFY(text->wordWrap());
        QCOMPARE(w.findChild<QLabel *>("sLabel2")->text(), QStringLiteral("[자동보정]"));
        QCOMPARE(answer(w, "sBitBtn1"), mrCancel);
    }

    void pageThatCannotLoad()
    {
        PrintService dead;
        QVERIFY(dead.start());
        const QString address = dead.webUrl() + "/popup/ifpf_pop2.htm";
        dead.stop();
        WebView view(WebView::Backend::Text, nullptr);
        int finished = 0;
        connect(&view, &WebView::ProgressChange, [&](int P, int M) { finished += P == M; });
        view.Navigate(address);
        QTRY_VERIFY(view.Loaded());
        QVERIFY(view.Failed());
        QCOMPARE(finished, 1);
        QVERIFY(view.TextBrowser()->toPlainText().contains(
            QStringLiteral("페이지를 표시할 수 없습니다.")));
        view.HideScrollBars();
        QVERIFY(view.ScrollBarsHidden());
    }

    void stalledPageEnds()
    {
        QVERIFY(m_service.setFaults(QJsonObject {{"http",
            QJsonArray {QJsonObject {
                {"path", "/popup/ifpf_pop.htm"}, {"action", "hang"}, {"seconds", 30}}}}}));
        {
            // A view destroyed while its page hangs lets go at once.
            WebView view(WebView::Backend::Text, nullptr);
            view.Navigate(m_service.webUrl() + "/popup/ifpf_pop.htm");
            QTest::qWait(200);
            QVERIFY(!view.Loaded());
        }
        QElapsedTimer clock;
        clock.start();
        QThreadPool::globalInstance()->waitForDone(25000);
        QVERIFY(clock.elapsed() < 15000); // the page would hang for 30 s
        m_service.reset();
    }

    void picturesOfThePageLoad()
    {
        WebView view(WebView::Backend::Text, nullptr);
        int finished = 0;
        connect(&view, &WebView::ProgressChange, [&](int P, int M) { finished += P == M; });
        view.Navigate(m_service.webUrl() + "/clients/brimvale_1.2A_top.html");
        QTRY_COMPARE(finished, 2); // the page, then its pictures
        QTRY_VERIFY(!m_service.httpRequests("/assets/logo.png").isEmpty());
    }

    void screenshots()
    {
        const QString folder = qEnvironmentVariable("KB_SCREENSHOTS");
        if (folder.isEmpty())
            QSKIP("KB_SCREENSHOTS not set");
        QWidget owner;
        CreateNoticeWindows(&owner);
        QTRY_VERIFY(frmSizeAlert()->Banner()->Loaded() && frmOptionAlert()->Banner()->Loaded());
        QTest::qWait(500);
        frmSizeAlert()->setWindowTitle("IMG_0001.JPG");
        frmSizeAlert()->grab().save(folder + "/size-alert.png");
        frmOptionAlert()->grab().save(folder + "/option-alert.png");
        AutoBJ()->grab().save(folder + "/autobj.png");
    }
};

KB_WINDOW_TEST_MAIN(tst_notices)

#include "tst_notices.moc"
