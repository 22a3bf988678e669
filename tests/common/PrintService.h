#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// Starts the local print service (tools/print-service) for one test: free ports, a fresh data
// folder, stopped and removed again by the destructor. Many instances may run side by side.
//
// Bytes on the wire (FTP paths, form fields, queries) come back from record() as latin-1 texts,
// one character per byte: PrintService::bytes(entry["arg"]) gives them back exactly.
class PrintService
{
public:
    explicit PrintService(const QStringList &extraArgs = {}); // not started yet
    ~PrintService();
    PrintService(const PrintService &) = delete;
    PrintService &operator=(const PrintService &) = delete;

    // Starts the service and waits until its ports accept connections.
    bool start(QString *error = nullptr);
    void stop();
    bool isRunning() const;

    QString webUrl() const; // "http://127.0.0.1:PORT"
    QString uploadUrl() const; // the upload scripts; equals webUrl() unless --upload-port is given
    QString ftpUrl() const; // "ftp://127.0.0.1:PORT"
    int webPort() const { return m_webPort; }
    int uploadPort() const { return m_uploadPort; }
    int ftpPort() const { return m_ftpPort; }
    QString dataDir() const { return m_dataDir; }
    QString ftpRoot() const { return m_ftpRoot; } // holds images/orders and images/thumbs

    // Points KESTRUN_WEB_URL, KESTRUN_UPLOAD_URL and KESTRUN_FTP_URL at this instance.
    void applyToEnvironment() const;
    // The environment for the real program against this instance: this process's, offscreen,
    // with the three addresses set.
    QProcessEnvironment programEnvironment() const;

    // POST /__control/<command> with args as JSON; the answer object ("ok" false and "error"
    // on failure, also when the service cannot be reached).
    QJsonObject control(const QString &command, const QJsonObject &args = {});

    // What the service received so far, in order, each entry complete (the service answers
    // once no answer it is giving can still add to one: an FTP command's later replies, the
    // file a 226 closed, a page's status). args: {"since": seq, "bodies": false,
    // "kinds": ["ftp", "http", "file"]}.
    QJsonArray record(const QJsonObject &args = {});

    // Conveniences over control().
    bool setFaults(const QJsonObject &faults); // {"stor": [...], "http": [...], ...}
    bool reset(bool files = true); // empty record, no faults, no FTP session left from before
    QJsonArray ftpCommands(const QString &cmd = {}); // FTP command entries, optionally one kind
    QJsonArray httpRequests(const QString &path = {}); // HTTP entries, optionally for one path
    QJsonArray files(); // every file under the FTP root
    QByteArray readFile(
        const QByteArray &path, bool *ok = nullptr); // path under the FTP root, as sent

    static QByteArray bytes(const QJsonValue &latin1Text)
    {
        return latin1Text.toString().toLatin1();
    }
    static QString text(const QByteArray &bytes) { return QString::fromLatin1(bytes); }

private:
    void removeDataDir();

    QStringList m_extraArgs;
    QProcess *m_process = nullptr;
    QString m_tempDir;
    QString m_dataDir;
    QString m_ftpRoot;
    int m_webPort = 0;
    int m_uploadPort = 0;
    int m_ftpPort = 0;
};
