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

// The program's one HTTP transport: a libcurl easy handle with its cookie engine on, so the
// cookies of a session (login, upload) are kept between requests. Every request has a connect
// limit and fails when no byte moves for the stall limit, so a server that accepts and never
// answers cannot hang the program, and an answer body larger than the body limit fails the
// request, so a server cannot fill the memory either. Not thread-safe: one client per thread.
//
// Addresses are given as bytes because the service takes CP949 texts unencoded in paths and
// queries; Get(QString) sends a QString address as a browser sends a typed one, non-ASCII
// percent-encoded as UTF-8 (escapes that are not UTF-8 do not survive it: send bytes then).
struct HttpResult
{
    long Status = 0; // HTTP status, 0 when no answer came
    QByteArray Body; // the whole response body (of an error status: at most the limit)
    QByteArray ContentType; // the Content-Type header, as sent
    QString Error; // empty when a response arrived (whatever its status)
    bool Cancelled = false; // the cancel flag (or a progress hook) stopped the request

    bool Ok() const { return Error.isEmpty() && Status >= 200 && Status < 300; }
};

// One part of a multipart/form-data post, in the order given. A text part carries only its
// Content-Disposition; a file part its Content-Disposition with the filename parameter, its
// Content-Type and "Content-Transfer-Encoding: binary", then the file's bytes, streamed from
// disk.
struct FormPart
{
    QByteArray Name;
    QByteArray Value; // text part: the bytes as sent
    QString LocalFile; // file part: the file to send (empty for a text part)
    QByteArray FileName; // file part: the filename parameter, as sent
    QByteArray ContentType; // file part

    static FormPart Text(const QByteArray &Name, const QByteArray &Value);
    static FormPart File(const QByteArray &Name, const QString &LocalFile,
        const QByteArray &FileName, const QByteArray &ContentType);
};

class HttpError : public TextError
{
public:
    using TextError::TextError;
};

class HttpClient
{
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    void SetConnectTimeout(int Seconds); // default 15
    void SetStallTimeout(int Seconds); // default 60: no progress for that long fails
    void SetUserAgent(const QByteArray &UserAgent);
    void SetAccept(const QByteArray &Accept);
    // The largest answer body the following requests take (default DefaultBodyLimit). A 2xx
    // answer over it fails with an error: before its body when it declares its length, as
    // soon as it passes the limit otherwise. An error status stays the result, its body cut.
    void SetBodyLimit(qint64 Bytes);
    static constexpr qint64 DefaultBodyLimit = 1 << 20;

    // A request never throws; a transport failure comes back in HttpResult::Error.
    HttpResult Get(const QByteArray &Address);
    HttpResult Get(const QString &Address);

    // Throws HttpError (the transport's text, or "HTTP/1.1 <status> <reason>" for an error
    // status) unless a 2xx answer arrived; returns the body.
    QByteArray GetOrThrow(const QString &Address);
    QByteArray GetOrThrow(const QByteArray &Address); // the address as it goes on the wire

    // Posts the form with the client's session (cookies, headers, limits), taking an answer
    // of at most AnswerLimit bytes. Throws HttpError when a file part cannot be opened (the
    // form cannot be built); every transport failure, an answer over the limit included,
    // comes back in the result like a Get's.
    HttpResult PostForm(
        const QByteArray &Address, const QList<FormPart> &Parts, qint64 AnswerLimit);

    // A cancel flag read before the request and between progress reports: when it turns true
    // the request is aborted (HttpResult::Cancelled).
    void SetCancelFlag(const std::atomic<bool> *Flag);

    // Where a request stands, as the progress hook sees it. Totals are 0 while unknown. An
    // upload counts what has reached the server, not what the socket buffers took in
    // (megabytes at once), so a gauge of it follows the server.
    struct Progress
    {
        std::int64_t DownloadTotal = 0;
        std::int64_t DownloadNow = 0;
        std::int64_t UploadTotal = 0;
        std::int64_t UploadNow = 0;
    };
    // Called on every progress report of every request, on the requesting thread; returning
    // false (or throwing) aborts the request (HttpResult::Cancelled). The cancel flag is read
    // as well, whatever the hook says; a set flag skips the hook.
    void SetProgress(std::function<bool(const Progress &)> Hook);

    // The status line of the last answer ("HTTP/1.1 404 Not Found"), without CR LF; empty
    // when no answer came.
    QByteArray LastStatusLine() const;
    // The text of a failed request: the transport's error, else the status line of the error
    // answer (Result must be the last request's).
    QString ErrorText(const HttpResult &Result) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
