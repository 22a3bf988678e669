#include "PrintService.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace {

bool portAccepts(int port, int timeoutMs)
{
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    const bool ok = s.waitForConnected(timeoutMs);
    s.abort();
    return ok;
}

QJsonObject failure(const QString &why)
{
    return QJsonObject {{"ok", false}, {"error", why}};
}

} // namespace

PrintService::PrintService(const QStringList &extraArgs)
    : m_extraArgs(extraArgs)
{ }

PrintService::~PrintService()
{
    stop();
}

bool PrintService::start(QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    if (m_process)
        return true;

    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/kb-print-service-XXXXXX"));
    if (!tmp.isValid())
        return fail(QStringLiteral("no temporary folder: ") + tmp.errorString());
    tmp.setAutoRemove(false); // removed by removeDataDir(): it holds CP949 names Qt cannot spell
    m_tempDir = tmp.path();

    m_process = new QProcess;
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args {QStringLiteral(KB_PRINT_SERVICE "/printservice.py"),
        QStringLiteral("--http-port"), QStringLiteral("0"), QStringLiteral("--ftp-port"),
        QStringLiteral("0"), QStringLiteral("--data-dir"), m_tempDir,
        QStringLiteral("--exit-on-stdin-eof")}; // ends with us, even after a crash
    args += m_extraArgs;
    m_process->start(QStringLiteral(KB_PYTHON), args);
    if (!m_process->waitForStarted(10000))
        return fail(QStringLiteral("print service did not start: ") + m_process->errorString());

    // The service announces itself with one JSON line once every listener is bound.
    QDeadlineTimer deadline(20000);
    QJsonObject ready;
    while (ready.isEmpty()) {
        while (!m_process->canReadLine()) {
            if (m_process->state() != QProcess::Running)
                return fail(QStringLiteral("print service ended at start (exit code %1)")
                                .arg(m_process->exitCode()));
            if (deadline.hasExpired())
                return fail(QStringLiteral("print service did not announce its ports"));
            m_process->waitForReadyRead(100);
        }
        const QJsonObject line = QJsonDocument::fromJson(m_process->readLine()).object();
        if (line.value("event").toString() == QLatin1String("ready"))
            ready = line;
    }
    m_webPort = ready.value("web_port").toInt();
    m_uploadPort = ready.value("upload_port").toInt();
    m_ftpPort = ready.value("ftp_port").toInt();
    m_dataDir = ready.value("data_dir").toString();
    m_ftpRoot = ready.value("ftp_root").toString();

    if (!portAccepts(m_webPort, 5000) || !portAccepts(m_uploadPort, 5000))
        return fail(QStringLiteral("print service web port does not accept connections"));
    if (ready.value("ftp_listening").toBool() && !portAccepts(m_ftpPort, 5000))
        return fail(QStringLiteral("print service FTP port does not accept connections"));
    return true;
}

void PrintService::stop()
{
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->closeWriteChannel(); // the service stops at the end of its input
            if (!m_process->waitForFinished(5000)) {
                m_process->terminate();
                if (!m_process->waitForFinished(3000)) {
                    m_process->kill();
                    m_process->waitForFinished(3000);
                }
            }
        }
        delete m_process;
        m_process = nullptr;
    }
    removeDataDir();
    m_webPort = m_uploadPort = m_ftpPort = 0;
}

void PrintService::removeDataDir()
{
    if (m_tempDir.isEmpty())
        return;
    // Python removes by bytes, so names that are not UTF-8 go as well.
    QProcess::execute(QStringLiteral(KB_PYTHON),
        {QStringLiteral("-c"),
            QStringLiteral("import shutil, sys; shutil.rmtree(sys.argv[1], True)"), m_tempDir});
    if (QDir(m_tempDir).exists())
        QDir(m_tempDir).removeRecursively();
    m_tempDir.clear();
    m_dataDir.clear();
    m_ftpRoot.clear();
}

bool PrintService::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString PrintService::webUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_webPort);
}

QString PrintService::uploadUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_uploadPort);
}

QString PrintService::ftpUrl() const
{
    return QStringLiteral("ftp://127.0.0.1:%1").arg(m_ftpPort);
}

void PrintService::applyToEnvironment() const
{
    qputenv("KESTRUN_WEB_URL", webUrl().toUtf8());
    qputenv("KESTRUN_UPLOAD_URL", uploadUrl().toUtf8());
    qputenv("KESTRUN_FTP_URL", ftpUrl().toUtf8());
}

QProcessEnvironment PrintService::programEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("KESTRUN_WEB_URL", webUrl());
    env.insert("KESTRUN_UPLOAD_URL", uploadUrl());
    env.insert("KESTRUN_FTP_URL", ftpUrl());
    return env;
}

QJsonObject PrintService::control(const QString &command, const QJsonObject &args)
{
    if (!m_webPort)
        return failure(QStringLiteral("print service not started"));
    // A blocking socket of its own: usable from any thread, without an event loop.
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_webPort));
    if (!s.waitForConnected(5000))
        return failure(QStringLiteral("control: no connection: ") + s.errorString());
    const QByteArray body = QJsonDocument(args).toJson(QJsonDocument::Compact);
    s.write("POST /__control/" + command.toLatin1()
        + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
          "Content-Type: application/json\r\nConnection: close\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QByteArray answer;
    QDeadlineTimer deadline(60000);
    while (s.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        s.waitForReadyRead(200);
        answer += s.readAll();
    }
    answer += s.readAll();
    const int split = answer.indexOf("\r\n\r\n");
    if (split < 0)
        return failure(QStringLiteral("control: no answer to ") + command);
    QJsonParseError err {};
    const QJsonDocument doc = QJsonDocument::fromJson(answer.mid(split + 4), &err);
    if (!doc.isObject())
        return failure(QStringLiteral("control: not JSON: ") + err.errorString());
    return doc.object();
}

QJsonArray PrintService::record(const QJsonObject &args)
{
    // The service answers once no answer it is giving can still add to an entry.
    const QJsonObject answer = control(QStringLiteral("record"), args);
    if (!answer.value("settled").toBool())
        qWarning("print service record: %s",
            answer.value("ok").toBool() ? "the service was still answering"
                                        : qPrintable(answer.value("error").toString()));
    return answer.value("record").toArray();
}

bool PrintService::setFaults(const QJsonObject &faults)
{
    return control(QStringLiteral("faults"), faults).value("ok").toBool();
}

bool PrintService::reset(bool files)
{
    return control(QStringLiteral("reset"), QJsonObject {{"files", files}, {"end_sessions", true}})
        .value("ok")
        .toBool();
}

QJsonArray PrintService::ftpCommands(const QString &cmd)
{
    QJsonArray out;
    for (const QJsonValue &v :
        record(QJsonObject {{"kinds", QJsonArray {"ftp"}}, {"bodies", false}})) {
        const QJsonObject e = v.toObject();
        if (e.value("event").toString() == QLatin1String("command")
            && (cmd.isEmpty() || e.value("cmd").toString() == cmd))
            out.append(e);
    }
    return out;
}

QJsonArray PrintService::httpRequests(const QString &path)
{
    QJsonArray out;
    for (const QJsonValue &v : record(QJsonObject {{"kinds", QJsonArray {"http"}}})) {
        if (path.isEmpty() || v.toObject().value("path").toString() == path)
            out.append(v);
    }
    return out;
}

QJsonArray PrintService::files()
{
    return control(QStringLiteral("files")).value("files").toArray();
}

QByteArray PrintService::readFile(const QByteArray &path, bool *ok)
{
    const QJsonObject r = control(QStringLiteral("read"), QJsonObject {{"path", text(path)}});
    if (ok)
        *ok = r.value("ok").toBool();
    return QByteArray::fromBase64(r.value("data_b64").toString().toLatin1());
}
