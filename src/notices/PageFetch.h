#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

// Fetching and decoding the service's pages for the web view. The pages are often EUC-KR or
// CP949; both are decoded with the full CP949 table (browser engines garble its extra letters).

// The charset a page declares: the Content-Type header first, then a <meta charset> or
// <meta http-equiv="Content-Type"> within the first bytes; "" when none is declared.
QByteArray DeclaredCharset(const QByteArray &ContentType, const QByteArray &Body);

// The page as text, decoded by its declared charset. Without one, valid UTF-8 is taken as UTF-8
// and anything else as CP949, the service's own code page.
QString DecodePage(const QByteArray &ContentType, const QByteArray &Body);

struct FetchedBytes
{
    QByteArray Body;
    QByteArray ContentType;
    QString Error; // empty on success (a 2xx answer)
};

// The service's notice and banner pages and their pictures are some KB; anything past this is
// not a page of the service.
inline constexpr qint64 PageSizeLimit = 4 << 20;

// One GET with the program's HTTP client, for the view's worker thread. Cancel aborts it; an
// answer over Limit bytes fails it.
FetchedBytes FetchBytes(
    const QByteArray &Address, const std::atomic<bool> *Cancel, qint64 Limit = PageSizeLimit);
