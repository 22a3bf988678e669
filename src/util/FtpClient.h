#pragma once

#include "util/TextError.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

// An FTP failure that is not handled where it happened; its text is the server's reply when
// the server gave one ("550 Permission denied."), else the transport's.
class FtpError : public TextError
{
public:
    using TextError::TextError;
};

// The upload host's FTP client on one libcurl easy handle: passive, binary, the fixed account,
// absolute paths. libcurl keeps the control connection between calls and would silently log in
// again after a drop, so "connected" is our own state: true after Connect(), false once the
// control connection is found closed or a call ends in a way that closes it. Reconnecting is an
// explicit Disconnect() + Connect().
//
// Paths are texts of the program; they travel as CP949 bytes. Not thread-safe: one client per
// thread of work; only the cancel flag may be set from elsewhere.
class FtpClient
{
public:
    // Address "ftp://host:port" (no path), account name and password.
    FtpClient(const QString &Address, const QByteArray &User, const QByteArray &Password);
    ~FtpClient();
    FtpClient(const FtpClient &) = delete;
    FtpClient &operator=(const FtpClient &) = delete;

    void SetConnectTimeout(int Seconds); // default 15
    // A transfer that moves no byte for this long fails; a command reply awaited this long
    // fails too. Default 120.
    void SetStallTimeout(int Seconds);
    // Read before every call and on every progress report: when it turns true the running
    // transfer is aborted (data connection closed) and the call fails as cancelled.
    void SetCancelFlag(const std::atomic<bool> *Flag);

    // Progress of the data transfers (stores and listings): Begin with the expected byte count
    // (0 when unknown), Work with the bytes so far, End when the transfer is over.
    struct Progress
    {
        std::function<void(std::int64_t Expected)> Begin;
        std::function<void(std::int64_t Done)> Work;
        std::function<void()> End;
    };
    void SetProgress(Progress Hooks);
    // Every store is confirmed by the host: the file's size there (SIZE, binary mode) must be
    // what was sent, else the store fails. A host that does not know SIZE (500, 502) is trusted
    // by its reply, as before. On by default.
    void SetVerifyStores(bool On);
    // The last store's transfer went through but the host did not confirm its size.
    bool LastStoreUnconfirmed() const { return m_lastUnconfirmed; }
    // The host answered SIZE with 500 or 502: stores are no longer checked.
    bool HostLacksSize() const { return m_hostLacksSize; }

    // Connects and logs in on a fresh control connection; false (with LastError()) on failure.
    bool Connect();
    // Ends the session (QUIT when the connection is alive) and closes the socket.
    void Disconnect();
    bool IsConnected();
    // The last call found the control connection closed (a drop the check before it could not
    // see yet) and libcurl logged in again by itself before carrying it out.
    bool LastCallLoggedInAgain() const;

    // Each returns false on failure, with LastError() set. Folder paths are absolute. A path
    // holding a control character is refused before anything is sent.
    bool List(const QString &Folder, QList<QByteArray> &Names);
    bool MakeDir(const QString &Path);
    bool ChangeDir(const QString &Folder);
    bool StoreFile(const QString &LocalPath, const QString &RemotePath);
    bool StoreData(const QByteArray &Data, const QString &RemotePath);

    QString LastError() const { return m_lastError; }
    bool LastCancelled() const { return m_lastCancelled; }

    // "/images/orders/x y" as the URL path libcurl takes: CP949 bytes, with only what its URL
    // parser would misread percent-encoded ("%", "?", "#", ";", blanks, control bytes).
    static QByteArray UrlPath(const QString &Path);

    struct Impl;

private:
    bool performStore(qint64 Size, const QString &RemotePath);
    bool confirmStored(qint64 Size, const QString &RemotePath);
    bool refuseControlCharacters(const QString &Path);
    bool refuseControlCharacters(const QByteArray &Command);

    std::unique_ptr<Impl> d;
    QString m_lastError;
    bool m_lastCancelled = false;
    bool m_verifyStores = true;
    bool m_hostLacksSize = false;
    bool m_lastUnconfirmed = false;
};
