// The upload on its worker thread with the window's side of the bridge: questions answered on
// the window's thread, Cancel pressed there during a store, and a window that goes away while
// a question is still open.

#include "upload/UploadFixture.h"
#include "upload/UploadObserverBridge.h"
#include "upload/UploadTexts.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

using namespace uploadtest;

class TestUploadThread : public QObject
{
    Q_OBJECT
    UPLOAD_SERVICE_FIXTURE

    UploadRequest request(const Photos &photos)
    {
        return RequestFor(service, QStringLiteral("kim"), photos);
    }

private slots:
    void initTestCase() { startService(); }
    void init() { resetService(); }

    void webRouteQuestionIsAnsweredOnTheWindowThread()
    {
        QVERIFY(!service.control("ftp", {{"listen", false}}).value("listening").toBool());
        Photos photos;
        photos.Add("a.jpg");
        UploadObserverBridge bridge;
        QThread *asked = nullptr;
        bridge.OnAskWebRoute = [&](const QString &question) {
            asked = QThread::currentThread();
            return question == UploadTexts::WebRouteQuestion;
        };
        QStringList messages;
        connect(&bridge, &UploadObserverBridge::messageChanged, this,
            [&](const QString &text) { messages.append(text); });
        QSignalSpy browser(&bridge, &UploadObserverBridge::browserRequested);
        UploadEngine engine(bridge);
        QSignalSpy finished(&engine, &UploadEngine::finished);
        engine.Start(request(photos));
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(asked, QThread::currentThread());
        QCOMPARE(browser.size(), 1);
        QVERIFY(browser.first().first().toByteArray().endsWith("&id=kim&httpapp=2"));
        QCOMPARE(messages.last(), UploadTexts::Done);
        QCOMPARE(service.httpRequests("/upload_file2.php").size(), 1);
    }

    void cancelFromTheWindowDuringAStore()
    {
        // 30 s for the whole photo at this pace: far beyond the bound below
        QVERIFY(service.setFaults({{"throttle", QJsonObject{{"ftp", 100000}}}}));
        Photos photos;
        photos.AddLarge("big.jpg", 3000000);
        UploadObserverBridge bridge;
        UploadEngine engine(bridge);
        connect(&bridge, &UploadObserverBridge::fileGaugeChanged, this,
            [&](qint64 max, qint64 progress) {
                if (max > 1000000 && progress > 0)
                    engine.RequestCancel();
            });
        QSignalSpy finished(&engine, &UploadEngine::finished);
        QElapsedTimer clock;
        clock.start();
        engine.Start(request(photos));
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first().toBool(), false);
        QVERIFY2(clock.elapsed() < 15000, "the store ran on after the cancel");
        QVERIFY(service.httpRequests("/upload_cartinfo.php").isEmpty());
    }

    void windowGoingAwayReleasesAnOpenQuestion()
    {
        QVERIFY(!service.control("ftp", {{"listen", false}}).value("listening").toBool());
        Photos photos;
        photos.Add("a.jpg");
        UploadObserverBridge bridge;
        bool asked = false;
        bridge.OnAskWebRoute = [&](const QString &) { return asked = true; };
        auto engine = std::make_unique<UploadEngine>(bridge);
        engine->Start(request(photos));
        // No event is processed here, so the question stays open on the worker.
        QDeadlineTimer until(10000);
        while (service.httpRequests("/Brimvale/NowDateTime.html").isEmpty() && !until.hasExpired())
            QThread::msleep(20);
        QThread::msleep(500);
        QElapsedTimer clock;
        clock.start();
        engine.reset();
        QVERIFY(clock.elapsed() < 15000); // an unreleased question would hold it for ever
        QCoreApplication::processEvents();
        QVERIFY(!asked);
        QVERIFY(service.httpRequests("/upload_file2.php").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestUploadThread)
#include "tst_uploadthread.moc"
