// The waiting list survives a killed program: the real program in its own process sets up a list
// (quantities, layout, a crop), is killed with SIGKILL once its recovery file holds that list,
// and is started again; the list it offers back orders exactly what the first list orders.

#include "common/JpegFixtures.h"
#include "common/PrintService.h"
#include "common/ShellScript.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

namespace {

const QString Stamp = QStringLiteral("202405201230451");

// The steps that put three photos on the list with 2 prints of 4x6, paper-full, the first one
// trimmed; the low-resolution warning of the small photo is accepted.
const QStringList ListSteps {"click btnSelectAll", "click btnAddToList", "wait OrderBrowser",
    "set Spin4x6 2", "click btnYes", "set cbLayout 페이퍼풀", "click sButton1 0", "wait ImgView",
    "drag ImgView 40 0", "click btnClose"};

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_folder;
    QString m_data; // XDG_DATA_HOME of the program: where its recovery file goes

    QString recoveryFile() const
    {
        return m_data + QStringLiteral("/KestrunBrimvale/waiting-list/guest.json");
    }

    void writeScript(const QString &Path, const QStringList &Steps)
    {
        QFile f(Path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Steps.join(u'\n').toUtf8());
    }

    void startProgram(QProcess &Program, PrintService &Service, const QString &Script)
    {
        const QString browser = WriteShellScript(m_tmp.filePath("browser.sh"), "exit 0");
        QVERIFY(!browser.isEmpty());
        QProcessEnvironment env = Service.programEnvironment();
        env.insert("KESTRUN_BROWSER", browser);
        env.insert("KESTRUN_CONFIG", m_tmp.filePath("Kestrun.cfg"));
        env.insert("KESTRUN_AUTOTEST", Script);
        env.insert("XDG_DATA_HOME", m_data);
        Program.setProcessEnvironment(env);
        Program.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        Program.start(QStringLiteral(KB_PROGRAM), {"guest"});
        QVERIFY(Program.waitForStarted());
    }

    void waitForCompletedOrder(QProcess &Program)
    {
        const bool ended = Program.waitForFinished(150000);
        if (!ended)
            Program.kill();
        QVERIFY(ended);
        QCOMPARE(Program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(Program.exitCode(), 0);
    }

    QByteArray cartInfo(PrintService &Service)
    {
        bool ok = false;
        const QByteArray bytes = Service.readFile("/images/orders/" + Stamp.left(8).toLatin1()
                + "/guest/guest[" + Stamp.toLatin1() + "]CartInfo.txt",
            &ok);
        return ok ? bytes : QByteArray();
    }

    // True once the recovery file holds the whole list of ListSteps.
    bool listIsKept() const
    {
        QFile f(recoveryFile());
        if (!f.open(QIODevice::ReadOnly))
            return false;
        const QJsonArray orders = QJsonDocument::fromJson(f.readAll())["orders"].toArray();
        if (orders.size() != 3)
            return false;
        for (const QJsonValue &o : orders)
            if (o["quantities"][2].toInt() != 2 || o["layout"].toInt() != 1)
                return false;
        return orders[0]["cropTexts"][2].toString() != QString();
    }

private slots:
    void initTestCase()
    {
        m_folder = m_tmp.filePath("photos");
        m_data = m_tmp.filePath("data");
        QDir().mkpath(m_folder);
        const QList<std::tuple<QString, int, int>> photos {
            {"a_landscape.jpg", 1800, 1200}, {"b_portrait.jpg", 1200, 1800}, {"c_small.jpg", 300, 200}};
        unsigned seed = 1;
        for (const auto &[name, w, h] : photos)
            fixtures::WriteFixture(m_folder, name, fixtures::EncodeJpeg(fixtures::Textured(w, h, seed++), 90));
    }

    void killedProgramOffersItsListBack()
    {
        PrintService service;
        QString error;
        QVERIFY2(service.start(&error), qPrintable(error));
        QVERIFY(service.control("stamp", QJsonObject {{"value", Stamp}}).value("ok").toBool());

        // The order as the customer sends it without a crash.
        const QString direct = m_tmp.filePath("direct.txt");
        writeScript(direct, QStringList {"folder " + m_folder} + ListSteps + QStringList {"click btnUpload"});
        QProcess first;
        startProgram(first, service, direct);
        waitForCompletedOrder(first);
        const QByteArray expected = cartInfo(service);
        QVERIFY(!expected.isEmpty());
        QVERIFY2(!QFile::exists(recoveryFile()), "a completed order leaves no recovery file");

        // The same list, then the program is killed.
        QVERIFY(service.reset(true));
        QVERIFY(service.control("stamp", QJsonObject {{"value", Stamp}}).value("ok").toBool());
        const QString setUp = m_tmp.filePath("setup.txt");
        writeScript(setUp, QStringList {"folder " + m_folder} + ListSteps);
        QProcess killed;
        startProgram(killed, service, setUp);
        QTRY_VERIFY_WITH_TIMEOUT(listIsKept(), 60000);
        ::kill(pid_t(killed.processId()), SIGKILL);
        QVERIFY(killed.waitForFinished(10000));
        QCOMPARE(killed.exitStatus(), QProcess::CrashExit);

        // Started again: the list is offered back and ordered as it was.
        const QString again = m_tmp.filePath("again.txt");
        writeScript(again, {"click btnYes", "wait OrderBrowser", "click btnUpload"});
        QProcess restored;
        startProgram(restored, service, again);
        waitForCompletedOrder(restored);
        QCOMPARE(cartInfo(service), expected);
        QVERIFY(!QFile::exists(recoveryFile()));
    }
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
