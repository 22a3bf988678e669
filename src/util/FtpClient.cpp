#include "util/FtpClient.h"

#include "util/ControlCharacters.h"
#include "util/Cp949.h"
#include "util/CurlGlobal.h"
#include "util/ServiceConfig.h"
#include "util/SocketProbe.h"

#include <QFile>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Larger than libcurl's 64 KB default: fewer read calls and progress reports per photo.
constexpr long UploadBufferSize = 512 * 1024;

// The longest wait for socket activity in one turn of a transfer. libcurl (7.88) that reads a
// passive-mode reply in the same turn as it sent the command may go back to waiting its
// default full second before it opens the data connection; on a fast host that second came
// with nearly every store. A short turn keeps it to milliseconds.
constexpr int TurnMs = 5;

} // namespace

struct FtpClient::Impl
{
    QByteArray Address;
    QByteArray User;
    QByteArray Password;
    int ConnectTimeout = 15;
    int StallTimeout = 120;
    const std::atomic<bool> *CancelFlag = nullptr;
    Progress Hooks;

    CURL *Curl = nullptr;
    CURLM *Multi = nullptr; // holds the control connection between calls
    // The control connection after the last call. Asked of libcurl only during a call: outside
    // the multi handle the easy handle has no connection cache to look it up in.
    curl_socket_t ControlSocket = CURL_SOCKET_BAD;
    bool Connected = false;
    bool LoggedInAgain = false;
    bool SawGreeting = false;

    // The socket opened last: during a store, once it has begun, its data connection.
    curl_socket_t NewestSocket = CURL_SOCKET_BAD;
    // Data connections of this call that libcurl has finished with: shut for writing (the
    // server sees the end of the file as before) but open until the call ends, so the bytes
    // still on their way can be counted and the number cannot be reused meanwhile.
    std::vector<curl_socket_t> HalfClosed;

    // Per call.
    bool Storing = false;
    char ErrorBuffer[CURL_ERROR_SIZE] = {};
    QByteArray LastReply; // the last reply line of the server, without CR LF
    bool Cancelled = false;
    bool Listing = false;
    std::int64_t Reported = -1;
    QList<QByteArray> *Names = nullptr;
    bool EntriesLost = false;
    QFile *SourceFile = nullptr;
    const QByteArray *SourceData = nullptr;
    qsizetype SourcePos = 0;

    ~Impl() { close(); }

    void close()
    {
        if (Curl)
            curl_easy_cleanup(Curl);
        if (Multi)
            curl_multi_cleanup(Multi); // QUIT on a live connection
        Curl = nullptr;
        Multi = nullptr;
        ControlSocket = CURL_SOCKET_BAD;
        Connected = false;
    }

    // One call: the easy handle runs in the multi handle, turn by turn, until it is done.
    // Afterwards Socket is the control connection libcurl keeps (or CURL_SOCKET_BAD).
    CURLcode run(curl_socket_t &Socket)
    {
        Socket = CURL_SOCKET_BAD;
        if (!Multi)
            Multi = curl_multi_init();
        if (!Multi || curl_multi_add_handle(Multi, Curl) != CURLM_OK)
            return CURLE_FAILED_INIT;
        CURLcode result = CURLE_FAILED_INIT;
        for (bool done = false; !done;) {
            int running = 0;
            if (curl_multi_perform(Multi, &running) != CURLM_OK)
                break;
            int left = 0;
            while (CURLMsg *message = curl_multi_info_read(Multi, &left)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == Curl) {
                    result = message->data.result;
                    done = true;
                }
            }
            if (done || running == 0)
                break;
            if (curl_multi_poll(Multi, nullptr, 0, TurnMs, nullptr) != CURLM_OK)
                break;
        }
        // Asked while the handle is still in the multi handle, whose cache holds the connection.
        curl_easy_getinfo(Curl, CURLINFO_ACTIVESOCKET, &Socket);
        curl_multi_remove_handle(Multi, Curl);
        closeHalfClosed();
        return result;
    }

    bool cancelRequested() const { return CancelFlag && CancelFlag->load(); }

    // A URL for an absolute path: "%2F" makes libcurl treat the path as absolute.
    QByteArray url(const QString &Path) const
    {
        QString rest = Path;
        while (rest.startsWith(u'/'))
            rest.remove(0, 1);
        // The root itself needs its "/" after the escape, or a pattern would join the "%2F".
        return Address + (rest.isEmpty() ? "/%2F/" : "/%2F" + UrlPath(rest));
    }

    void prepare(const QByteArray &Url, long FileMethod)
    {
        EnsureCurlGlobal();
        if (!Curl)
            Curl = curl_easy_init();
        else
            curl_easy_reset(Curl); // the cached control connection stays
        ErrorBuffer[0] = '\0';
        LastReply.clear();
        SawGreeting = false;
        Cancelled = false;
        Listing = false;
        Storing = false;
        Reported = -1;
        Names = nullptr;
        SourceFile = nullptr;
        SourceData = nullptr;
        SourcePos = 0;
        if (!Curl)
            return;
        curl_easy_setopt(Curl, CURLOPT_URL, Url.constData());
        curl_easy_setopt(Curl, CURLOPT_USERNAME, User.constData());
        curl_easy_setopt(Curl, CURLOPT_PASSWORD, Password.constData());
        curl_easy_setopt(Curl, CURLOPT_ERRORBUFFER, ErrorBuffer);
        curl_easy_setopt(Curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(Curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(ConnectTimeout));
        curl_easy_setopt(Curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(Curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(StallTimeout));
        curl_easy_setopt(Curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(StallTimeout));
        curl_easy_setopt(
            Curl, CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR_NONE));
        curl_easy_setopt(Curl, CURLOPT_TRANSFERTEXT, 0L);
        curl_easy_setopt(Curl, CURLOPT_FTP_FILEMETHOD, FileMethod);
        curl_easy_setopt(Curl, CURLOPT_HEADERFUNCTION, &Impl::onReply);
        curl_easy_setopt(Curl, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(Curl, CURLOPT_WRITEFUNCTION, &Impl::discard);
        curl_easy_setopt(Curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(Curl, CURLOPT_XFERINFOFUNCTION, &Impl::onProgress);
        curl_easy_setopt(Curl, CURLOPT_XFERINFODATA, this);
        if (CanCountUnacknowledgedBytes()) {
            curl_easy_setopt(Curl, CURLOPT_OPENSOCKETFUNCTION, &Impl::onOpenSocket);
            curl_easy_setopt(Curl, CURLOPT_OPENSOCKETDATA, this);
            curl_easy_setopt(Curl, CURLOPT_CLOSESOCKETFUNCTION, &Impl::onCloseSocket);
            curl_easy_setopt(Curl, CURLOPT_CLOSESOCKETDATA, this);
        }
    }

    static curl_socket_t onOpenSocket(void *self, curlsocktype, curl_sockaddr *address)
    {
        auto *impl = static_cast<Impl *>(self);
        const auto s = static_cast<curl_socket_t>(
            OpenSocket(address->family, address->socktype, address->protocol));
        if (s != CURL_SOCKET_BAD)
            impl->NewestSocket = s;
        return s;
    }

    static int onCloseSocket(void *self, curl_socket_t s)
    {
        auto *impl = static_cast<Impl *>(self);
        if (impl->Storing && s == impl->NewestSocket) {
            ShutDownSending(s);
            impl->HalfClosed.push_back(s);
            return 0;
        }
        if (s == impl->NewestSocket)
            impl->NewestSocket = CURL_SOCKET_BAD;
        return CloseSocket(s);
    }

    void closeHalfClosed()
    {
        for (const curl_socket_t s : HalfClosed) {
            if (s == NewestSocket)
                NewestSocket = CURL_SOCKET_BAD;
            CloseSocket(s);
        }
        HalfClosed.clear();
    }

    // Bytes of a store that have reached the server: libcurl counts what it handed to the
    // socket, and the socket's buffers take megabytes at once, so the gauge and the speed would
    // run far ahead of the line. The kernel knows how much is not yet acknowledged.
    std::int64_t delivered(std::int64_t Handed) const
    {
        if (NewestSocket == CURL_SOCKET_BAD || NewestSocket == ControlSocket)
            return Handed;
        return std::max<std::int64_t>(0, Handed - UnacknowledgedBytes(NewestSocket));
    }

    // A store the server confirmed arrived whole: the gauge's last report is its full size.
    void reportDelivered(std::int64_t Size)
    {
        if (Reported != Size && Hooks.Work) {
            Reported = Size;
            Hooks.Work(Size);
        }
    }

    // Runs the prepared call; afterwards Connected says whether the control connection lives.
    CURLcode perform(QString &Error, bool &WasCancelled)
    {
        CURLcode code = CURLE_FAILED_INIT;
        const bool wasConnected = Connected;
        curl_socket_t socket = CURL_SOCKET_BAD;
        if (Curl)
            code = run(socket);
        // A greeting means a new control connection: libcurl found the old one dead and logged
        // in again on its own. (Its connection count includes the data connections.)
        LoggedInAgain = wasConnected && SawGreeting;
        WasCancelled = Cancelled;
        if (code != CURLE_OK) {
            if (Cancelled)
                Error = QStringLiteral("Operation aborted");
            else if (LastReply.size() >= 3 && LastReply.at(0) >= '4' && LastReply.at(0) <= '5')
                Error = fromCp949(LastReply);
            else if (ErrorBuffer[0])
                Error = QString::fromLocal8Bit(ErrorBuffer);
            else
                Error = QString::fromLatin1(curl_easy_strerror(code));
        } else {
            Error.clear();
        }
        ControlSocket = socket;
        if (socket == CURL_SOCKET_BAD)
            Connected = false;
        return code;
    }

    static std::size_t onReply(char *data, std::size_t size, std::size_t count, void *self)
    {
        const std::size_t length = size * count;
        auto *impl = static_cast<Impl *>(self);
        QByteArray line(data, static_cast<qsizetype>(length));
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        // "123-" lines continue a reply; the last line of a reply carries "123 ".
        if (line.size() >= 4 && line.at(3) == ' ') {
            impl->LastReply = line;
            if (line.startsWith("220"))
                impl->SawGreeting = true;
        }
        return length;
    }

    static std::size_t discard(char *, std::size_t size, std::size_t count, void *)
    {
        return size * count;
    }

    static int onProgress(void *self, curl_off_t, curl_off_t dlNow, curl_off_t, curl_off_t ulNow)
    {
        auto *impl = static_cast<Impl *>(self);
        if (impl->cancelRequested()) {
            impl->Cancelled = true;
            return 1;
        }
        const std::int64_t done = impl->Listing ? dlNow
            : impl->Storing                     ? std::max(impl->delivered(ulNow), impl->Reported)
                                                : ulNow;
        if (done != impl->Reported && impl->Hooks.Work) {
            impl->Reported = done;
            try {
                impl->Hooks.Work(done);
            } catch (...) {
                return 1; // nothing may cross libcurl
            }
        }
        return impl->cancelRequested() ? (impl->Cancelled = true, 1) : 0;
    }

    static std::size_t read(char *buffer, std::size_t size, std::size_t count, void *self)
    {
        auto *impl = static_cast<Impl *>(self);
        const qint64 wanted = static_cast<qint64>(size * count);
        if (impl->SourceFile) {
            const qint64 got = impl->SourceFile->read(buffer, wanted);
            return got < 0 ? CURL_READFUNC_ABORT : static_cast<std::size_t>(got);
        }
        const qint64 left = impl->SourceData->size() - impl->SourcePos;
        const qint64 n = qMin(left, wanted);
        std::memcpy(
            buffer, impl->SourceData->constData() + impl->SourcePos, static_cast<size_t>(n));
        impl->SourcePos += n;
        return static_cast<std::size_t>(n);
    }

    // Asked for every entry the listing parser has read. Matching none, each entry is freed
    // by the parser at once: entries that match and are then skipped stay allocated
    // (libcurl 7.88), some hundred bytes per entry and listing.
    static int onEntry(void *self, const char *, const char *name)
    {
        auto *impl = static_cast<Impl *>(self);
        if (impl->Names && name) {
            try {
                impl->Names->append(QByteArray(name));
            } catch (...) {
                impl->EntriesLost = true; // nothing may cross libcurl
            }
        }
        return CURL_FNMATCHFUNC_NOMATCH;
    }

    void begin(std::int64_t Expected)
    {
        if (Hooks.Begin)
            Hooks.Begin(Expected);
    }

    void end()
    {
        if (Hooks.End)
            Hooks.End();
    }
};

FtpClient::FtpClient(const QString &Address, const QByteArray &User, const QByteArray &Password)
    : d(std::make_unique<Impl>())
{
    d->Address = ServiceConfig::WithoutTrailingSlashes(Address).toUtf8();
    d->User = User;
    d->Password = Password;
}

FtpClient::~FtpClient() = default;

void FtpClient::SetConnectTimeout(int Seconds)
{
    d->ConnectTimeout = Seconds;
}

void FtpClient::SetStallTimeout(int Seconds)
{
    d->StallTimeout = Seconds;
}

void FtpClient::SetCancelFlag(const std::atomic<bool> *Flag)
{
    d->CancelFlag = Flag;
}

void FtpClient::SetProgress(Progress Hooks)
{
    d->Hooks = std::move(Hooks);
}

bool FtpClient::Connect()
{
    // Always a fresh control connection, even when libcurl still caches one.
    d->close();
    m_lastCancelled = false;
    if (d->cancelRequested()) {
        m_lastError = QStringLiteral("Operation aborted");
        m_lastCancelled = true;
        return false;
    }
    d->prepare(d->Address + "/", CURLFTPMETHOD_NOCWD);
    curl_easy_setopt(d->Curl, CURLOPT_NOBODY, 1L);
    d->Connected = true;
    const CURLcode code = d->perform(m_lastError, m_lastCancelled);
    d->LoggedInAgain = false;
    if (code != CURLE_OK)
        d->close();
    return d->Connected;
}

void FtpClient::Disconnect()
{
    d->close();
}

bool FtpClient::LastCallLoggedInAgain() const
{
    return d->LoggedInAgain;
}

bool FtpClient::IsConnected()
{
    if (!d->Connected || !d->Curl)
        return false;
    const curl_socket_t socket = d->ControlSocket;
    if (socket == CURL_SOCKET_BAD || SocketLooksClosed(static_cast<std::intptr_t>(socket)))
        d->Connected = false;
    return d->Connected;
}

namespace {

// A folder's path as libcurl takes it: with its closing "/".
QString asFolder(QString Folder)
{
    if (!Folder.endsWith(u'/'))
        Folder += u'/';
    return Folder;
}

bool refuseCancelled(const FtpClient::Impl &impl, QString &error, bool &cancelled)
{
    if (!impl.CancelFlag || !impl.CancelFlag->load())
        return false;
    error = QStringLiteral("Operation aborted");
    cancelled = true;
    return true;
}

} // namespace

bool FtpClient::List(const QString &Folder, QList<QByteArray> &Names)
{
    Names.clear();
    m_lastCancelled = false;
    if (refuseCancelled(*d, m_lastError, m_lastCancelled))
        return false;
    const QString folder = asFolder(Folder);
    if (refuseControlCharacters(folder))
        return false;
    // libcurl's wildcard mode lists the folder (LIST) and parses each entry, Unix and Windows
    // listing styles alike; its name is taken while the pattern is matched, and no entry
    // matches, so nothing is downloaded.
    d->prepare(d->url(folder) + "*", CURLFTPMETHOD_SINGLECWD);
    curl_easy_setopt(d->Curl, CURLOPT_WILDCARDMATCH, 1L);
    curl_easy_setopt(d->Curl, CURLOPT_FNMATCH_FUNCTION, &Impl::onEntry);
    curl_easy_setopt(d->Curl, CURLOPT_FNMATCH_DATA, d.get());
    d->Names = &Names;
    d->EntriesLost = false;
    d->Listing = true;
    d->begin(0);
    const CURLcode code = d->perform(m_lastError, m_lastCancelled);
    d->end();
    d->Names = nullptr;
    if (d->EntriesLost) {
        Names.clear();
        m_lastError = QStringLiteral("Out of memory while listing %1").arg(folder);
        return false;
    }
    // A listing whose entries all did not match ends as "remote file not found"; so does an
    // empty folder.
    if (code == CURLE_REMOTE_FILE_NOT_FOUND && !m_lastCancelled) {
        m_lastError.clear();
        return true;
    }
    return code == CURLE_OK;
}

bool FtpClient::MakeDir(const QString &Path)
{
    m_lastCancelled = false;
    if (refuseCancelled(*d, m_lastError, m_lastCancelled))
        return false;
    const QByteArray command = "MKD " + toCp949(Path);
    if (refuseControlCharacters(command))
        return false;
    d->prepare(d->Address + "/", CURLFTPMETHOD_NOCWD);
    curl_slist *commands = curl_slist_append(nullptr, command.constData());
    curl_easy_setopt(d->Curl, CURLOPT_QUOTE, commands);
    curl_easy_setopt(d->Curl, CURLOPT_NOBODY, 1L);
    const CURLcode code = d->perform(m_lastError, m_lastCancelled);
    curl_easy_setopt(d->Curl, CURLOPT_QUOTE, nullptr);
    curl_slist_free_all(commands);
    return code == CURLE_OK;
}

bool FtpClient::ChangeDir(const QString &Folder)
{
    m_lastCancelled = false;
    if (refuseCancelled(*d, m_lastError, m_lastCancelled))
        return false;
    const QString folder = asFolder(Folder);
    if (refuseControlCharacters(folder))
        return false;
    d->prepare(d->url(folder), CURLFTPMETHOD_SINGLECWD);
    curl_easy_setopt(d->Curl, CURLOPT_NOBODY, 1L);
    return d->perform(m_lastError, m_lastCancelled) == CURLE_OK;
}

bool FtpClient::StoreFile(const QString &LocalPath, const QString &RemotePath)
{
    m_lastCancelled = false;
    if (refuseCancelled(*d, m_lastError, m_lastCancelled))
        return false;
    if (refuseControlCharacters(RemotePath))
        return false;
    QFile file(LocalPath);
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = file.errorString();
        return false;
    }
    d->prepare(d->url(RemotePath), CURLFTPMETHOD_NOCWD);
    d->SourceFile = &file;
    curl_easy_setopt(d->Curl, CURLOPT_UPLOAD_BUFFERSIZE, UploadBufferSize);
    const bool stored = performStore(file.size(), RemotePath);
    d->SourceFile = nullptr;
    return stored;
}

bool FtpClient::StoreData(const QByteArray &Data, const QString &RemotePath)
{
    m_lastCancelled = false;
    if (refuseCancelled(*d, m_lastError, m_lastCancelled))
        return false;
    if (refuseControlCharacters(RemotePath))
        return false;
    d->prepare(d->url(RemotePath), CURLFTPMETHOD_NOCWD);
    d->SourceData = &Data;
    const bool stored = performStore(Data.size(), RemotePath);
    d->SourceData = nullptr;
    return stored;
}

bool FtpClient::refuseControlCharacters(const QString &Path)
{
    return refuseControlCharacters(toCp949(Path));
}

bool FtpClient::refuseControlCharacters(const QByteArray &Command)
{
    // The last line of defence: whatever the callers checked, no command goes out that a
    // CR LF would split in two. Nothing is sent, the connection stays as it is.
    if (!HasControlByte(Command))
        return false;
    m_lastError = ControlTexts::FtpCommandRefused;
    return true;
}

// The store itself, from whichever source prepare()'s caller set.
bool FtpClient::performStore(qint64 Size, const QString &RemotePath)
{
    // The size is asked on the same control connection right after the 226; "*" keeps a host
    // that refuses SIZE from failing the store itself.
    curl_slist *check = nullptr;
    m_lastUnconfirmed = false;
    if (m_verifyStores && !m_hostLacksSize) {
        const QByteArray command = "*SIZE " + toCp949(RemotePath);
        check = curl_slist_append(nullptr, command.constData());
        curl_easy_setopt(d->Curl, CURLOPT_POSTQUOTE, check);
    }
    curl_easy_setopt(d->Curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(d->Curl, CURLOPT_READFUNCTION, &Impl::read);
    curl_easy_setopt(d->Curl, CURLOPT_READDATA, d.get());
    curl_easy_setopt(d->Curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(Size));
    d->Storing = true;
    d->begin(Size);
    const CURLcode code = d->perform(m_lastError, m_lastCancelled);
    // Only this call's data connection is kept open to the end; a later close (Disconnect)
    // closes whatever it is given.
    d->Storing = false;
    if (check) {
        curl_easy_setopt(d->Curl, CURLOPT_POSTQUOTE, nullptr);
        curl_slist_free_all(check);
    }
    m_lastUnconfirmed = code == CURLE_OK && check && !confirmStored(Size, RemotePath);
    const bool stored = code == CURLE_OK && !m_lastUnconfirmed;
    if (stored)
        d->reportDelivered(Size);
    d->end();
    return stored;
}

bool FtpClient::confirmStored(qint64 Size, const QString &RemotePath)
{
    const QByteArray &reply = d->LastReply;
    if (reply.startsWith("213 ")) {
        bool ok = false;
        const qint64 held = reply.mid(4).trimmed().toLongLong(&ok);
        if (ok && held == Size)
            return true;
        m_lastError = QStringLiteral("The upload host holds %1 of the %2 bytes sent to %3.")
                          .arg(ok ? QString::number(held) : QString::fromLatin1(reply.mid(4)))
                          .arg(Size)
                          .arg(RemotePath);
        return false;
    }
    if (reply.startsWith("500") || reply.startsWith("502")) {
        m_hostLacksSize = true;
        qInfo("upload host does not know SIZE (%s): stores are trusted by their reply",
            reply.constData());
        return true;
    }
    m_lastError = QStringLiteral("The upload host does not confirm %1: %2")
                      .arg(RemotePath, fromCp949(reply));
    return false;
}

void FtpClient::SetVerifyStores(bool On)
{
    m_verifyStores = On;
}

QByteArray FtpClient::UrlPath(const QString &Path)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray raw = toCp949(Path);
    QByteArray out;
    out.reserve(raw.size() + 16);
    for (const char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F || c == '%' || c == '?' || c == '#' || c == ';') {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}
