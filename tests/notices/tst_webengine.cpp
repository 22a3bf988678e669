#include "common/PrintService.h"
#include "notices/WebView.h"

#include <QApplication>
#include <QtTest>

// The WebEngine back end, where the build has it: a page of the service loads and its scroll
// bars are hidden afterwards.
class tst_webengine : public QObject
{
    Q_OBJECT

private slots:
    void pageLoads()
    {
        if (!WebView::EngineBuilt())
            QSKIP("built without Qt WebEngine");
        PrintService service;
        QString error;
        QVERIFY2(service.start(&error), qPrintable(error));
        WebView view(WebView::Backend::Engine, nullptr);
        QCOMPARE(view.Kind(), WebView::Backend::Engine);
        view.resize(600, 97);
        view.show();
        int finished = 0;
        connect(&view, &WebView::ProgressChange, [&](int P, int M) {
            if (P == M) {
                ++finished;
                view.HideScrollBars();
            }
        });
        view.Navigate(service.webUrl() + "/clients/brimvale_1.2A_top.html");
        QTRY_VERIFY_WITH_TIMEOUT(finished > 0, 20000);
        QVERIFY(!view.Failed());
        QVERIFY(view.ScrollBarsHidden());
        QTRY_VERIFY(!service.httpRequests("/assets/logo.png").isEmpty()); // the engine's own fetch
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    tst_webengine test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webengine.moc"
