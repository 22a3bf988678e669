#include "util/HttpClientImpl.h"

#include "util/CurlGlobal.h"
#include "util/SocketProbe.h"

#include <QUrl>

#include <algorithm>
#include <cstring>

namespace {

constexpr long MaxRedirects = 5;
// Every header line of an answer and its redirects together; real answers need a few KB, and
// the transport keeps every header it is sent.
constexpr qint64 HeaderLimit = 256 * 1024;

} // namespace

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
    if (go && impl->Progress) {
        try {
            go = impl->Progress(dlTotal, dlNow, ulTotal, ulNow);
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
    if (!result.Error.isEmpty())
        throw HttpError(result.Error);
    if (!result.Ok()) {
        const QByteArray line = d->StatusLine.isEmpty()
            ? "HTTP/1.1 " + QByteArray::number(result.Status)
            : d->StatusLine;
        throw HttpError(QString::fromLatin1(line));
    }
    return result.Body;
}
