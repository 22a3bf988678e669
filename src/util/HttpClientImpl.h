#pragma once

#include "util/HttpClient.h"

#include <QByteArray>

#include <vector>

#include <curl/curl.h>

#include <atomic>
#include <functional>

// The libcurl side of HttpClient, shared with the transfers that add their own request kinds
// (form posts, uploads with progress): they call Prepare(), set their few extra options on
// Curl, and Perform().
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

    // Called on every progress report with libcurl's totals; returning false aborts the
    // request. The cancel flag is checked as well, whatever this says.
    std::function<bool(curl_off_t DownloadTotal, curl_off_t DownloadNow, curl_off_t UploadTotal,
        curl_off_t UploadNow)>
        Progress;

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

    // The status line of the last answer ("HTTP/1.1 404 Not Found"), without CR LF.
    QByteArray StatusLine;

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
