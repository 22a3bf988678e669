#include "common/PrintService.h"

#include <QDir>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTest>

// The launcher every transfer test stands on: it starts the print service on free ports, talks
// to its control API and reads back what arrived, bytes exact.
class TestPrintService : public QObject
{
    Q_OBJECT
private slots:
    void startsOnFreePortsAndStopsClean();
    void recordsFtpBytesAndLoginFault();
    void serverTimeFault();
    void noFtpOption();
};

namespace {

// A bare FTP control connection: the record must show exactly the bytes sent here.
struct FtpLine {
    QTcpSocket s;
    bool open(int port)
    {
        s.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
        return s.waitForConnected(5000) && reply().startsWith("220");
    }
    QByteArray reply()
    {
        while (!s.canReadLine() && s.waitForReadyRead(5000)) {
        }
        return s.readLine().trimmed();
    }
    QByteArray send(const QByteArray &line)
    {
        s.write(line + "\r\n");
        return reply();
    }
};

QByteArray httpGet(int port, const QByteArray &target)
{
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    if (!s.waitForConnected(5000))
        return {};
    s.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray all;
    while (s.waitForReadyRead(5000))
        all += s.readAll();
    return all.mid(all.indexOf("\r\n\r\n") + 4);
}

} // namespace

void TestPrintService::startsOnFreePortsAndStopsClean()
{
    PrintService a, b;
    QString error;
    QVERIFY2(a.start(&error), qPrintable(error));
    QVERIFY2(b.start(&error), qPrintable(error));
    QVERIFY(a.webPort() != b.webPort());
    QVERIFY(a.ftpPort() != b.ftpPort());
    QVERIFY(a.dataDir() != b.dataDir());
    QCOMPARE(a.webUrl(), QStringLiteral("http://127.0.0.1:%1").arg(a.webPort()));
    QCOMPARE(a.ftpUrl(), QStringLiteral("ftp://127.0.0.1:%1").arg(a.ftpPort()));
    QCOMPARE(a.uploadUrl(), a.webUrl());
    QVERIFY(QFileInfo(a.ftpRoot() + "/images/orders").isDir());
    QVERIFY(QFileInfo(a.ftpRoot() + "/images/thumbs").isDir());

    const QJsonObject ping = a.control("ping");
    QCOMPARE(ping.value("ok").toBool(), true);
    QCOMPARE(ping.value("ftp_port").toInt(), a.ftpPort());

    a.applyToEnvironment();
    QCOMPARE(qgetenv("KESTRUN_FTP_URL"), a.ftpUrl().toUtf8());

    // a name that is not UTF-8 must not stop the data folder from going away
    const QByteArray name = "/images/orders/\xb1\xe8/\xbb\xe7\xc1\xf8.jpg";
    QVERIFY(a.control("put", {{"path", PrintService::text(name)}, {"data_b64", "AAEC"}})
                .value("ok")
                .toBool());
    bool ok = false;
    QCOMPARE(a.readFile(name, &ok), QByteArray("\x00\x01\x02", 3));
    QVERIFY(ok);
    const QString dir = a.dataDir();
    a.stop();
    QVERIFY(!a.isRunning());
    QVERIFY(!QDir(dir).exists());
    QCOMPARE(a.control("ping").value("ok").toBool(), false);
    QVERIFY(b.isRunning());
}

void TestPrintService::recordsFtpBytesAndLoginFault()
{
    PrintService ps;
    QString error;
    QVERIFY2(ps.start(&error), qPrintable(error));
    QVERIFY(ps.setFaults({{"login_refuse", 1}}));

    FtpLine ftp;
    QVERIFY(ftp.open(ps.ftpPort()));
    QVERIFY(ftp.send("USER kestrun_ftp").startsWith("331"));
    QVERIFY(ftp.send("PASS mbqrwz!").startsWith("530")); // refused once by the switch
    QVERIFY(ftp.send("USER kestrun_ftp").startsWith("331"));
    QVERIFY(ftp.send("PASS mbqrwz!").startsWith("230"));
    const QByteArray folder = "/images/orders/\xb1\xe8\xc3\xb6\xbc\xf6"; // 김철수 in CP949
    QVERIFY(ftp.send("MKD " + folder).startsWith("257"));

    const QJsonArray mkd = ps.ftpCommands("MKD");
    QCOMPARE(mkd.size(), 1);
    QCOMPARE(PrintService::bytes(mkd[0].toObject().value("arg")), folder);
    QVERIFY(mkd[0].toObject().value("replies").toArray()[0].toString().startsWith("257"));
    QCOMPARE(ps.ftpCommands("PASS").size(), 2);

    bool sawFault = false;
    for (const QJsonValue &v : ps.record())
        sawFault |= v.toObject().value("fault").toString() == QLatin1String("login refused");
    QVERIFY(sawFault);

    QVERIFY(ps.reset());
    QCOMPARE(ps.record().size(), 0);
}

void TestPrintService::serverTimeFault()
{
    PrintService ps({"--stamp", "202401011230001"});
    QString error;
    QVERIFY2(ps.start(&error), qPrintable(error));
    QVERIFY(ps.setFaults({{"http", QJsonArray{QJsonObject{{"path", "/Brimvale/NowDateTime.html"},
                                                          {"action", "body"},
                                                          {"body", "2024"},
                                                          {"times", 2}}}}}));
    QCOMPARE(httpGet(ps.webPort(), "/Brimvale/NowDateTime.html"), QByteArray("2024"));
    QCOMPARE(httpGet(ps.webPort(), "/Brimvale/NowDateTime.html"), QByteArray("2024"));
    QCOMPARE(httpGet(ps.webPort(), "/Brimvale/NowDateTime.html"), QByteArray("202401011230001"));

    const QJsonArray requests = ps.httpRequests("/Brimvale/NowDateTime.html");
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests[0].toObject().value("fault").toString(), QStringLiteral("body"));
    QVERIFY(!requests[2].toObject().contains("fault"));
}

void TestPrintService::noFtpOption()
{
    PrintService ps({"--no-ftp"});
    QString error;
    QVERIFY2(ps.start(&error), qPrintable(error));
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), quint16(ps.ftpPort()));
    QVERIFY(!s.waitForConnected(3000));
    QCOMPARE(s.error(), QAbstractSocket::ConnectionRefusedError);
    QVERIFY(ps.control("ftp", {{"listen", true}}).value("listening").toBool());
    FtpLine ftp;
    QVERIFY(ftp.open(ps.ftpPort()));
}

QTEST_GUILESS_MAIN(TestPrintService)
#include "tst_printservice.moc"
