#include "util/HttpClient.h"

#include "util/CurlGlobal.h"
#include "util/SocketProbe.h"

#include <QFile>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr long MaxRedirects = 5;
// Every header line of an answer and its redirects together; real answers need a few KB, and
// the transport keeps every header it is sent.
constexpr qint64 HeaderLimit = 256 * 1024;

} // namespace

// The libcurl side: every request kind calls Prepare(), sets its few own options on Curl, and
// Perform().
struct HttpClient::Impl
{
    Impl();
    ~Impl();
    Impl(const Impl &) = delete;
    Impl &operator=(const Impl &) = delete;

    CURL *Curl = nullptr;
    int ConnectTimeout = 15;
    int StallTimeout = 60;
    QByteArray UserAgent = "KestrunBrimvale";
    QByteArray Accept = "text/html, */*";
    const std::atomic<bool> *CancelFlag = nullptr;
    qint64 BodyLimit = HttpClient::DefaultBodyLimit;
    std::function<bool(const HttpClient::Progress &)> ProgressHook;
    QByteArray StatusLine; // of the last answer

    // Clears what the previous request set (the cookies and live connections stay), then sets
    // the address and every option all requests share: cookie engine, redirects, limits,
    // headers, callbacks that collect the answer.
    void Prepare(const QByteArray &Address);
    // Appends one request header of the next request (after Prepare).
    void AddHeader(const QByteArray &Header);
    // The body limit of the next request alone (after Prepare, which sets BodyLimit).
    void LimitBody(qint64 Bytes);
    // Runs the prepared request; never throws.
    HttpResult Perform();

private:
    static std::size_t writeBody(char *data, std::size_t size, std::size_t count, void *self);
    static std::size_t writeHeader(char *data, std::size_t size, std::size_t count, void *self);
    static int transferInfo(
        void *self, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow);

    static curl_socket_t openSocket(void *self, curlsocktype, curl_sockaddr *address);
    static int closeSocket(void *self, curl_socket_t socket);

    // The client's open connections, whose buffers hold what of an upload has not arrived.
    std::vector<curl_socket_t> m_sockets;
    curl_off_t m_reportedUp = 0;
    curl_slist *m_headers = nullptr;
    QByteArray m_body;
    qint64 m_limit = HttpClient::DefaultBodyLimit;
    qint64 m_headerBytes = 0;
    bool m_bodyTooLarge = false;
    bool m_headersTooLarge = false;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
    bool m_cancelled = false;
    bool m_cookieEngineOn = false;
};

HttpClient::Impl::Impl()
{
    EnsureCurlGlobal();
    Curl = curl_easy_init();
    if (!Curl)
        throw HttpError(QStringLiteral("The HTTP transport could not be started"));
}

HttpClient::Impl::~Impl()
{
    curl_slist_free_all(m_headers);
    curl_easy_cleanup(Curl);
}

void HttpClient::Impl::Prepare(const QByteArray &Address)
{
    curl_easy_reset(Curl);
    curl_slist_free_all(m_headers);
    m_headers = nullptr;
    m_body.clear();
    StatusLine.clear();
    m_errorBuffer[0] = '\0';
    m_cancelled = false;
    m_reportedUp = 0;
    m_headerBytes = 0;
    m_bodyTooLarge = false;
    m_headersTooLarge = false;

    curl_easy_setopt(Curl, CURLOPT_URL, Address.constData());
    curl_easy_setopt(Curl, CURLOPT_ERRORBUFFER, m_errorBuffer);
    // Any cookie line switches the cookie engine on, and an empty one adds no cookie; the
    // engine and the cookies of earlier requests survive curl_easy_reset. (The usual
    // COOKIEFILE "" keeps a file list that libcurl 7.88 loses at every reset.)
    if (!m_cookieEngineOn) {
        curl_easy_setopt(Curl, CURLOPT_COOKIELIST, "");
        m_cookieEngineOn = true;
    }
    curl_easy_setopt(Curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(Curl, CURLOPT_MAXREDIRS, MaxRedirects);
    curl_easy_setopt(Curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(Curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(ConnectTimeout));
    // A request fails when less than one byte per second moves for the stall limit, which also
    // covers a server that accepts and never answers.
    curl_easy_setopt(Curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(Curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(StallTimeout));
    if (!UserAgent.isEmpty())
        curl_easy_setopt(Curl, CURLOPT_USERAGENT, UserAgent.constData());
    if (!Accept.isEmpty())
        AddHeader("Accept: " + Accept);
    LimitBody(BodyLimit);
    curl_easy_setopt(Curl, CURLOPT_WRITEFUNCTION, &Impl::writeBody);
    curl_easy_setopt(Curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(Curl, CURLOPT_HEADERFUNCTION, &Impl::writeHeader);
    curl_easy_setopt(Curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(Curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(Curl, CURLOPT_XFERINFOFUNCTION, &Impl::transferInfo);
    curl_easy_setopt(Curl, CURLOPT_XFERINFODATA, this);
    if (CanCountUnacknowledgedBytes()) {
        curl_easy_setopt(Curl, CURLOPT_OPENSOCKETFUNCTION, &Impl::openSocket);
        curl_easy_setopt(Curl, CURLOPT_OPENSOCKETDATA, this);
        curl_easy_setopt(Curl, CURLOPT_CLOSESOCKETFUNCTION, &Impl::closeSocket);
        curl_easy_setopt(Curl, CURLOPT_CLOSESOCKETDATA, this);
    }
}

curl_socket_t HttpClient::Impl::openSocket(void *self, curlsocktype, curl_sockaddr *address)
{
    auto *impl = static_cast<Impl *>(self);
    const auto s = static_cast<curl_socket_t>(
        OpenSocket(address->family, address->socktype, address->protocol));
    if (s != CURL_SOCKET_BAD)
        impl->m_sockets.push_back(s);
    return s;
}

int HttpClient::Impl::closeSocket(void *self, curl_socket_t socket)
{
    auto *impl = static_cast<Impl *>(self);
    std::erase(impl->m_sockets, socket);
    return CloseSocket(socket);
}

void HttpClient::Impl::AddHeader(const QByteArray &Header)
{
    m_headers = curl_slist_append(m_headers, Header.constData());
    curl_easy_setopt(Curl, CURLOPT_HTTPHEADER, m_headers);
}

void HttpClient::Impl::LimitBody(qint64 Bytes)
{
    m_limit = std::max<qint64>(0, Bytes);
    // A declared length over the limit fails the request before its body is read.
    curl_easy_setopt(Curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(m_limit));
}

HttpResult HttpClient::Impl::Perform()
{
    HttpResult result;
    if (CancelFlag && CancelFlag->load()) {
        result.Error = QStringLiteral("Operation aborted");
        result.Cancelled = true;
        return result;
    }
    const CURLcode code = curl_easy_perform(Curl);
    long status = 0;
    curl_easy_getinfo(Curl, CURLINFO_RESPONSE_CODE, &status);
    char *contentType = nullptr;
    curl_easy_getinfo(Curl, CURLINFO_CONTENT_TYPE, &contentType);
    result.Status = status;
    result.ContentType = contentType ? QByteArray(contentType) : QByteArray();
    result.Body = std::move(m_body);
    m_body.clear();
    const bool tooLarge = !m_cancelled && (m_bodyTooLarge || code == CURLE_FILESIZE_EXCEEDED);
    if (m_headersTooLarge && !m_cancelled) {
        result.Error = QStringLiteral("The server's answer has more than %1 bytes of headers")
                           .arg(HeaderLimit);
    } else if (tooLarge && status >= 300) {
        // The status says what went wrong; the rest of its page is not needed for that.
    } else if (tooLarge) {
        result.Error = QStringLiteral("The server's answer is larger than %1 bytes").arg(m_limit);
    } else if (code != CURLE_OK) {
        result.Cancelled = m_cancelled;
        if (m_cancelled)
            result.Error = QStringLiteral("Operation aborted");
        else if (m_errorBuffer[0])
            result.Error = QString::fromLocal8Bit(m_errorBuffer);
        else
            result.Error = QString::fromLatin1(curl_easy_strerror(code));
    }
    return result;
}

std::size_t HttpClient::Impl::writeBody(char *data, std::size_t size, std::size_t count, void *self)
{
    auto *impl = static_cast<Impl *>(self);
    const std::size_t length = size * count;
    // An answer without a declared length is stopped as soon as it passes the limit.
    if (static_cast<qint64>(length) > impl->m_limit - impl->m_body.size()) {
        impl->m_bodyTooLarge = true;
        return 0;
    }
    // No exception may cross libcurl: a failed append aborts the request instead.
    try {
        impl->m_body.append(data, static_cast<qsizetype>(length));
    } catch (...) {
        return 0;
    }
    return size * count;
}

std::size_t HttpClient::Impl::writeHeader(
    char *data, std::size_t size, std::size_t count, void *self)
{
    const std::size_t length = size * count;
    auto *impl = static_cast<Impl *>(self);
    impl->m_headerBytes += static_cast<qint64>(length);
    if (impl->m_headerBytes > HeaderLimit) {
        impl->m_headersTooLarge = true;
        return 0;
    }
    // A new status line starts every answer, redirects and "100 Continue" included; the last
    // one is the answer's.
    if (length >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
        try {
            impl->StatusLine = QByteArray(data, static_cast<qsizetype>(length)).trimmed();
        } catch (...) {
            return 0;
        }
    }
    return length;
}

int HttpClient::Impl::transferInfo(
    void *self, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow)
{
    auto *impl = static_cast<Impl *>(self);
    bool go = !(impl->CancelFlag && impl->CancelFlag->load());
    if (ulTotal > 0) {
        // An upload counts what has reached the server, not what the socket buffers took in
        // (megabytes at once); only one request runs, so idle connections hold nothing.
        std::int64_t waiting = 0;
        for (const curl_socket_t s : impl->m_sockets)
            waiting += UnacknowledgedBytes(s);
        ulNow = std::max<curl_off_t>(impl->m_reportedUp, std::max<curl_off_t>(0, ulNow - waiting));
        impl->m_reportedUp = ulNow;
    }
    if (go && impl->ProgressHook) {
        try {
            go = impl->ProgressHook({dlTotal, dlNow, ulTotal, ulNow});
        } catch (...) {
            go = false;
        }
    }
    if (!go)
        impl->m_cancelled = true;
    return go ? 0 : 1;
}

HttpClient::HttpClient()
    : d(std::make_unique<Impl>())
{ }

HttpClient::~HttpClient() = default;

void HttpClient::SetConnectTimeout(int Seconds)
{
    d->ConnectTimeout = Seconds;
}

void HttpClient::SetStallTimeout(int Seconds)
{
    d->StallTimeout = Seconds;
}

void HttpClient::SetUserAgent(const QByteArray &UserAgent)
{
    d->UserAgent = UserAgent;
}

void HttpClient::SetAccept(const QByteArray &Accept)
{
    d->Accept = Accept;
}

void HttpClient::SetBodyLimit(qint64 Bytes)
{
    d->BodyLimit = Bytes;
}

void HttpClient::SetCancelFlag(const std::atomic<bool> *Flag)
{
    d->CancelFlag = Flag;
}

HttpResult HttpClient::Get(const QByteArray &Address)
{
    d->Prepare(Address);
    curl_easy_setopt(d->Curl, CURLOPT_HTTPGET, 1L);
    return d->Perform();
}

HttpResult HttpClient::Get(const QString &Address)
{
    // As a browser sends a typed address: non-ASCII as UTF-8 percent escapes, blanks as %20.
    return Get(QUrl(Address, QUrl::TolerantMode).toEncoded());
}

QByteArray HttpClient::GetOrThrow(const QString &Address)
{
    return GetOrThrow(QUrl(Address, QUrl::TolerantMode).toEncoded());
}

QByteArray HttpClient::GetOrThrow(const QByteArray &Address)
{
    HttpResult result = Get(Address);
    if (!result.Ok())
        throw HttpError(ErrorText(result));
    return result.Body;
}

void HttpClient::SetProgress(std::function<bool(const Progress &)> Hook)
{
    d->ProgressHook = std::move(Hook);
}

QByteArray HttpClient::LastStatusLine() const
{
    return d->StatusLine;
}

QString HttpClient::ErrorText(const HttpResult &Result) const
{
    if (!Result.Error.isEmpty())
        return Result.Error;
    if (!d->StatusLine.isEmpty())
        return QString::fromLatin1(d->StatusLine);
    return QStringLiteral("HTTP/1.1 %1").arg(Result.Status);
}

FormPart FormPart::Text(const QByteArray &Name, const QByteArray &Value)
{
    FormPart part;
    part.Name = Name;
    part.Value = Value;
    return part;
}

FormPart FormPart::File(const QByteArray &Name, const QString &LocalFile,
    const QByteArray &FileName, const QByteArray &ContentType)
{
    FormPart part;
    part.Name = Name;
    part.LocalFile = LocalFile;
    part.FileName = FileName;
    part.ContentType = ContentType;
    return part;
}

namespace {

std::size_t readFile(char *buffer, std::size_t size, std::size_t count, void *file)
{
    const qint64 got = static_cast<QFile *>(file)->read(buffer, static_cast<qint64>(size * count));
    return got < 0 ? CURL_READFUNC_ABORT : static_cast<std::size_t>(got);
}

int seekFile(void *file, curl_off_t offset, int origin)
{
    auto *f = static_cast<QFile *>(file);
    qint64 target = offset;
    if (origin == SEEK_CUR)
        target += f->pos();
    else if (origin == SEEK_END)
        target += f->size();
    return f->seek(target) ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

struct MimeDeleter
{
    void operator()(curl_mime *mime) const { curl_mime_free(mime); }
};

struct SlistDeleter
{
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

} // namespace

HttpResult HttpClient::PostForm(
    const QByteArray &Address, const QList<FormPart> &Parts, qint64 AnswerLimit)
{
    // The files are open exactly as long as their form exists.
    std::vector<std::unique_ptr<QFile>> files;
    for (const FormPart &part : Parts) {
        if (part.LocalFile.isEmpty())
            continue;
        auto file = std::make_unique<QFile>(part.LocalFile);
        if (!file->open(QIODevice::ReadOnly))
            throw HttpError(QStringLiteral("Cannot open file \"%1\". %2")
                                .arg(part.LocalFile, file->errorString()));
        files.push_back(std::move(file));
    }

    d->Prepare(Address);
    d->LimitBody(AnswerLimit);
    std::unique_ptr<curl_mime, MimeDeleter> mime(curl_mime_init(d->Curl));
    std::unique_ptr<curl_slist, SlistDeleter> binary(
        curl_slist_append(nullptr, "Content-Transfer-Encoding: binary"));
    std::size_t fileIndex = 0;
    for (const FormPart &part : Parts) {
        curl_mimepart *p = curl_mime_addpart(mime.get());
        curl_mime_name(p, part.Name.constData());
        if (part.LocalFile.isEmpty()) {
            curl_mime_data(p, part.Value.constData(), static_cast<size_t>(part.Value.size()));
            continue;
        }
        QFile *file = files[fileIndex++].get();
        curl_mime_data_cb(
            p, static_cast<curl_off_t>(file->size()), &readFile, &seekFile, nullptr, file);
        curl_mime_filename(p, part.FileName.constData());
        curl_mime_type(p, part.ContentType.constData());
        // Stated as a header of its own: libcurl's "binary" encoder would write the same line,
        // but only after headers we give, and the service expects it last.
        curl_mime_headers(p, binary.get(), 0);
    }
    curl_easy_setopt(d->Curl, CURLOPT_MIMEPOST, mime.get());
    // No "Expect: 100-continue" round trip before large bodies.
    d->AddHeader("Expect:");
    HttpResult result = d->Perform();
    curl_easy_setopt(d->Curl, CURLOPT_MIMEPOST, nullptr);
    return result;
}
