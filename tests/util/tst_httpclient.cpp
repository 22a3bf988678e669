#include "common/PeakMemory.h"
#include "util/HttpClient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QUrlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

namespace {

// A small HTTP/1.1 server on loopback, in a thread of its own because the client blocks.
// Each path stands for one behaviour of a real server.
class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    LoopbackServer()
    {
        moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(this, &LoopbackServer::listen, Qt::BlockingQueuedConnection);
    }
    ~LoopbackServer() override
    {
        QMetaObject::invokeMethod(this, &LoopbackServer::shutDown, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    QByteArray url(const QByteArray &path) const
    {
        return "http://127.0.0.1:" + QByteArray::number(m_port) + path;
    }

private:
    void listen()
    {
        m_server = new QTcpServer(this);
        m_server->listen(QHostAddress::LocalHost, 0);
        m_port = m_server->serverPort();
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection()) {
                socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            }
        });
    }

    // Writes the body as the client takes it, never more than a few hundred KB ahead, so the
    // server's own memory stays small whatever the size.
    void stream(QTcpSocket *socket, qint64 total, const QByteArray &mode, QByteArray status)
    {
        if (status.isEmpty())
            status = "200";
        QByteArray head = "HTTP/1.1 " + status + " Whatever\r\nContent-Type: text/plain\r\n";
        if (mode == "declared")
            head += "Content-Length: " + QByteArray::number(total) + "\r\n";
        else if (mode == "chunked")
            head += "Transfer-Encoding: chunked\r\n";
        else
            head += "Connection: close\r\n";
        socket->write(head + "\r\n");
        auto left = std::make_shared<qint64>(total);
        const bool chunked = mode == "chunked";
        const auto more = [socket, left, chunked] {
            const QByteArray block(64 * 1024, '0');
            while (*left != 0 && socket->bytesToWrite() < 256 * 1024) {
                const qint64 n = *left < 0 ? block.size() : qMin<qint64>(*left, block.size());
                if (chunked)
                    socket->write(QByteArray::number(n, 16) + "\r\n");
                socket->write(block.left(n));
                if (chunked)
                    socket->write("\r\n");
                if (*left > 0)
                    *left -= n;
                if (*left == 0) {
                    if (chunked)
                        socket->write("0\r\n\r\n");
                    else
                        socket->disconnectFromHost();
                }
            }
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
    }

    void shutDown()
    {
        delete m_server;
        m_server = nullptr;
    }

    void serve(QTcpSocket *socket)
    {
        QByteArray &request = m_pending[socket];
        request += socket->readAll();
        const qsizetype end = request.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = request.left(end);
        request.remove(0, end + 4);
        const QList<QByteArray> lines = head.split('\n');
        const QByteArray target = lines.value(0).split(' ').value(1);
        QByteArray cookie;
        for (const QByteArray &line : lines)
            if (line.toLower().startsWith("cookie:"))
                cookie = line.mid(7).trimmed();
        const QByteArray path = target.left(target.indexOf('?') < 0 ? target.size()
                                                                     : target.indexOf('?'));

        if (path == "/silent")
            return; // accepts, reads, never answers
        if (path == "/bytes") {
            // "n" filler bytes (-1: endless) as the body of "status", its length "declared",
            // sent "chunked", or ended by closing the connection.
            const QUrlQuery query(QString::fromLatin1(target.mid(target.indexOf('?') + 1)));
            stream(socket, query.queryItemValue("n").toLongLong(),
                query.queryItemValue("mode").toLatin1(),
                query.queryItemValue("status", QUrl::FullyDecoded).toLatin1());
            return;
        }
        if (path == "/endless-headers") {
            socket->write("HTTP/1.1 200 OK\r\n");
            const auto more = [socket] {
                while (socket->bytesToWrite() < 256 * 1024)
                    socket->write("X-Filler: " + QByteArray(100, 'x') + "\r\n");
            };
            connect(socket, &QTcpSocket::bytesWritten, socket, more);
            more();
            return;
        }
        QByteArray status = "200 OK", type = "text/plain", extra, body;
        if (path == "/hello") {
            type = "text/html; charset=euc-kr";
            body = "OK";
        } else if (path == "/echo") {
            body = head + "\r\n";
        } else if (path == "/login") {
            extra = "Set-Cookie: session=s3cr3t; Path=/\r\n";
            body = "OK";
        } else if (path == "/whoami") {
            body = cookie.isEmpty() ? "nobody" : cookie;
        } else if (path == "/moved") {
            status = "302 Found";
            extra = "Location: /hello\r\n";
        } else if (path == "/loop") {
            status = "302 Found";
            extra = "Location: /loop\r\n";
        } else {
            status = "404 Not Found";
            body = "no such page";
        }
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type
                      + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extra
                      + "\r\n" + body);
    }

    QThread m_thread;
    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
    QHash<QTcpSocket *, QByteArray> m_pending;
};


// A port on which nothing listens.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { m_server = std::make_unique<LoopbackServer>(); }
    void cleanupTestCase() { m_server.reset(); }

    void bodyStatusAndContentType();
    void errorStatus();
    void redirects();
    void headers();
    void addressEncoding();
    void refusedPort();
    void silentServerStalls();
    void cookiesKept();
    void cancelFlag();
    void bodyLimit_data();
    void bodyLimit();
    void hugeAnswersKeepMemorySmall();
    void endlessHeaders();

private:
    std::unique_ptr<LoopbackServer> m_server;
};

void TestHttpClient::bodyStatusAndContentType()
{
    HttpClient client;
    const HttpResult r = client.Get(m_server->url("/hello"));
    QVERIFY2(r.Error.isEmpty(), qPrintable(r.Error));
    QCOMPARE(r.Status, 200L);
    QCOMPARE(r.Body, QByteArray("OK"));
    QCOMPARE(r.ContentType, QByteArray("text/html; charset=euc-kr"));
    QVERIFY(r.Ok());
    QCOMPARE(client.GetOrThrow(QString::fromLatin1(m_server->url("/hello"))), QByteArray("OK"));
}

void TestHttpClient::errorStatus()
{
    HttpClient client;
    const HttpResult r = client.Get(m_server->url("/nothing"));
    // An answer arrived: no transport error, but not Ok.
    QVERIFY(r.Error.isEmpty());
    QCOMPARE(r.Status, 404L);
    QCOMPARE(r.Body, QByteArray("no such page"));
    QVERIFY(!r.Ok());
    try {
        client.GetOrThrow(QString::fromLatin1(m_server->url("/nothing")));
        QFAIL("an error status must throw");
    } catch (const HttpError &e) {
        QCOMPARE(e.Text(), QStringLiteral("HTTP/1.1 404 Not Found"));
    }
}

void TestHttpClient::redirects()
{
    HttpClient client;
    const HttpResult moved = client.Get(m_server->url("/moved"));
    QCOMPARE(moved.Status, 200L);
    QCOMPARE(moved.Body, QByteArray("OK"));
    // An endless chain ends with an error instead of running forever.
    const HttpResult loop = client.Get(m_server->url("/loop"));
    QVERIFY(!loop.Error.isEmpty());
    QVERIFY(!loop.Ok());
}

void TestHttpClient::headers()
{
    HttpClient client;
    QByteArray head = client.Get(m_server->url("/echo")).Body;
    QVERIFY2(head.contains("\r\nAccept: text/html, */*\r\n"), head.constData());
    QVERIFY(head.contains("\r\nUser-Agent: KestrunBrimvale\r\n"));
    client.SetAccept("image/png");
    client.SetUserAgent("Tester/2");
    head = client.Get(m_server->url("/echo")).Body;
    QVERIFY2(head.contains("\r\nAccept: image/png\r\n"), head.constData());
    QVERIFY(head.contains("\r\nUser-Agent: Tester/2\r\n"));
    QVERIFY(!head.contains("text/html"));
}

void TestHttpClient::addressEncoding()
{
    HttpClient client;
    // Bytes go out as given: the service takes CP949 queries unencoded.
    QByteArray head = client.Get(m_server->url("/echo?dir=\xB0\xA1&id=kim")).Body;
    QVERIFY2(head.startsWith("GET /echo?dir=\xB0\xA1&id=kim HTTP/1.1\r\n"), head.constData());
    // A text address is encoded as a browser would: UTF-8 escapes, blanks as %20.
    head = client.Get(QString::fromLatin1(m_server->url("/echo?userid=")) + QStringLiteral("가 나")).Body;
    QVERIFY2(head.startsWith("GET /echo?userid=%EA%B0%80%20%EB%82%98 HTTP/1.1\r\n"),
             head.constData());
}

void TestHttpClient::refusedPort()
{
    HttpClient client;
    QElapsedTimer timer;
    timer.start();
    const HttpResult r
        = client.Get("http://127.0.0.1:" + QByteArray::number(closedPort()) + "/hello");
    QVERIFY(timer.elapsed() < 10000); // well short of the 15 s connect limit
    QVERIFY(!r.Error.isEmpty());
    QCOMPARE(r.Status, 0L);
    QVERIFY(!r.Ok());
    QVERIFY(!r.Cancelled);
    try {
        client.GetOrThrow("http://127.0.0.1:" + QString::number(closedPort()) + "/hello");
        QFAIL("a refused connection must throw");
    } catch (const HttpError &e) {
        QVERIFY(!e.Text().isEmpty());
    }
}

void TestHttpClient::silentServerStalls()
{
    HttpClient client;
    client.SetStallTimeout(1);
    QElapsedTimer timer;
    timer.start();
    const HttpResult r = client.Get(m_server->url("/silent"));
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(!r.Error.isEmpty(), "a server that never answers must fail the request");
    QVERIFY(!r.Cancelled);
    // well short of the 60 s default, so the 1 s setting ended it
    QVERIFY2(elapsed >= 900 && elapsed < 20000, QByteArray::number(elapsed).constData());
    // The handle is fine for the next request.
    QCOMPARE(client.Get(m_server->url("/hello")).Body, QByteArray("OK"));
}

void TestHttpClient::cookiesKept()
{
    HttpClient client;
    QCOMPARE(client.Get(m_server->url("/whoami")).Body, QByteArray("nobody"));
    QCOMPARE(client.Get(m_server->url("/login")).Body, QByteArray("OK"));
    QCOMPARE(client.Get(m_server->url("/whoami")).Body, QByteArray("session=s3cr3t"));
    // Cookies belong to one client: another one starts without them.
    HttpClient other;
    QCOMPARE(other.Get(m_server->url("/whoami")).Body, QByteArray("nobody"));
}

void TestHttpClient::cancelFlag()
{
    HttpClient client;
    std::atomic<bool> cancel{false};
    client.SetCancelFlag(&cancel);
    std::thread canceller([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    QElapsedTimer timer;
    timer.start();
    const HttpResult r = client.Get(m_server->url("/silent"));
    canceller.join();
    QVERIFY2(timer.elapsed() < 20000, "the stall limit, not the cancel flag, ended the request");
    QVERIFY(r.Cancelled);
    QVERIFY(!r.Error.isEmpty());
    // A request started with the flag set does not go out at all.
    const HttpResult again = client.Get(m_server->url("/hello"));
    QVERIFY(again.Cancelled);
    QCOMPARE(again.Status, 0L);
    cancel = false;
    QCOMPARE(client.Get(m_server->url("/hello")).Body, QByteArray("OK"));
}

void TestHttpClient::bodyLimit_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("fits");
    for (const QByteArray mode : {"declared", "chunked", "close"}) {
        QTest::newRow(mode + ", at the limit") << mode << 4096 << true;
        QTest::newRow(mode + ", one byte over") << mode << 4097 << false;
        QTest::newRow(mode + ", far over") << mode << 3000000 << false;
    }
    QTest::newRow("endless, chunked") << QByteArray("chunked") << -1 << false;
    QTest::newRow("endless, undeclared") << QByteArray("close") << -1 << false;
}

void TestHttpClient::bodyLimit()
{
    QFETCH(QByteArray, mode);
    QFETCH(int, size);
    QFETCH(bool, fits);
    HttpClient client;
    client.SetBodyLimit(4096);
    const QByteArray url = m_server->url("/bytes?n=" + QByteArray::number(size) + "&mode=" + mode);
    const HttpResult r = client.Get(url);
    if (fits) {
        QVERIFY2(r.Ok(), qPrintable(r.Error));
        QCOMPARE(r.Body, QByteArray(size, '0'));
        return;
    }
    QVERIFY(!r.Ok());
    QVERIFY(!r.Cancelled);
    QCOMPARE(r.Error, QStringLiteral("The server's answer is larger than 4096 bytes"));
    QVERIFY(r.Body.size() <= 4096);
    try {
        client.GetOrThrow(QString::fromLatin1(url));
        QFAIL("an answer over the limit must throw");
    } catch (const HttpError &e) {
        QCOMPARE(e.Text(), r.Error);
    }
    // The limit is the client's: a small answer still comes, a larger limit takes more.
    QCOMPARE(client.Get(m_server->url("/hello")).Body, QByteArray("OK"));
    client.SetBodyLimit(8192);
    QVERIFY(client.Get(m_server->url("/bytes?n=8192&mode=" + mode)).Ok());

    // An error status over the limit is still that status, with its page cut.
    client.SetBodyLimit(100);
    const HttpResult error = client.Get(url + "&status=503");
    QVERIFY2(error.Error.isEmpty(), qPrintable(error.Error));
    QCOMPARE(error.Status, 503L);
    QVERIFY(error.Body.size() <= 100);
}

void TestHttpClient::hugeAnswersKeepMemorySmall()
{
    // Before there was a limit, a 600 MB answer took more than a gigabyte.
    if (!PeakMemory::Reset())
        QSKIP("this kernel cannot reset the peak of resident memory");
    const qint64 before = PeakMemory::Rss();
    HttpClient client;
    client.SetBodyLimit(4 << 20);
    QElapsedTimer timer;
    timer.start();
    for (const QByteArray mode : {"declared", "chunked", "close"}) {
        const HttpResult r = client.Get(m_server->url("/bytes?n=600000000&mode=" + mode));
        QVERIFY2(r.Error.contains("larger than"), qPrintable(mode + ": " + r.Error));
    }
    const qint64 growth = (PeakMemory::Peak() - before) / 1024; // KB
    QVERIFY2(growth < 32 * 1024, qPrintable(QStringLiteral("peak grew by %1 KB").arg(growth)));
    QVERIFY2(timer.elapsed() < 10000, "the answers were read to their end");
}

void TestHttpClient::endlessHeaders()
{
    HttpClient client;
    const HttpResult r = client.Get(m_server->url("/endless-headers"));
    QVERIFY(!r.Ok());
    QVERIFY2(r.Error.contains("headers"), qPrintable(r.Error));
    QCOMPARE(client.Get(m_server->url("/hello")).Body, QByteArray("OK"));
}

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
