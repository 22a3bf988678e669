#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
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
    long Status = 0;        // HTTP status, 0 when no answer came
    QByteArray Body;        // the whole response body (of an error status: at most the limit)
    QByteArray ContentType; // the Content-Type header, as sent
    QString Error;          // empty when a response arrived (whatever its status)
    bool Cancelled = false; // the cancel flag (or a progress hook) stopped the request

    bool Ok() const { return Error.isEmpty() && Status >= 200 && Status < 300; }
};

class HttpError : public std::runtime_error
{
public:
    explicit HttpError(const QString &text) : std::runtime_error(text.toStdString()) {}
    QString Text() const { return QString::fromStdString(what()); }
};

class HttpClient
{
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    void SetConnectTimeout(int Seconds);     // default 15
    void SetStallTimeout(int Seconds);       // default 60: no progress for that long fails
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

    // A cancel flag read before the request and between progress reports: when it turns true
    // the request is aborted (HttpResult::Cancelled).
    void SetCancelFlag(const std::atomic<bool> *Flag);

    struct Impl;
    Impl *impl() const { return d.get(); }

private:
    std::unique_ptr<Impl> d;
};
