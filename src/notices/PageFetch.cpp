#include "notices/PageFetch.h"

#include "util/Cp949.h"
#include "util/HttpClient.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {

// A page of the service loads in a blink; one that stalls this long is given up.
constexpr int PageStallSeconds = 30;

QByteArray charsetParameter(const QByteArray &Value)
{
    static const QRegularExpression charset(
        QStringLiteral(R"(charset\s*=\s*["']?([A-Za-z0-9_.:\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = charset.match(QString::fromLatin1(Value));
    return match.hasMatch() ? match.captured(1).toLatin1().toLower() : QByteArray();
}

bool isKoreanCharset(const QByteArray &Name)
{
    return Name == "euc-kr" || Name == "euckr" || Name == "cp949" || Name == "windows-949"
        || Name == "ks_c_5601-1987" || Name == "ks_c_5601" || Name == "x-windows-949"
        || Name == "uhc";
}

bool isValidUtf8(const QByteArray &Bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(Bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

} // namespace

QByteArray DeclaredCharset(const QByteArray &ContentType, const QByteArray &Body)
{
    QByteArray name = charsetParameter(ContentType);
    if (!name.isEmpty())
        return name;
    // Browsers look for the declaration in the first kilobyte or so; be a little generous.
    static const QRegularExpression meta(
        QStringLiteral(R"(<meta\b[^>]*>)"), QRegularExpression::CaseInsensitiveOption);
    const QString head = QString::fromLatin1(Body.left(4096));
    auto it = meta.globalMatch(head);
    while (it.hasNext()) {
        name = charsetParameter(it.next().captured(0).toLatin1());
        if (!name.isEmpty())
            return name;
    }
    return QByteArray();
}

QString DecodePage(const QByteArray &ContentType, const QByteArray &Body)
{
    const QByteArray charset = DeclaredCharset(ContentType, Body);
    if (isKoreanCharset(charset))
        return fromCp949(Body);
    if (charset == "utf-8" || charset == "utf8")
        return QString::fromUtf8(Body);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(Body);
    }
    return isValidUtf8(Body) ? QString::fromUtf8(Body) : fromCp949(Body);
}

FetchedBytes FetchBytes(const QByteArray &Address, const std::atomic<bool> *Cancel, qint64 Limit)
{
    HttpClient http;
    http.SetStallTimeout(PageStallSeconds);
    http.SetBodyLimit(Limit);
    http.SetCancelFlag(Cancel);
    HttpResult result = http.Get(Address);
    FetchedBytes fetched;
    if (!result.Error.isEmpty())
        fetched.Error = result.Error;
    else if (!result.Ok())
        fetched.Error = QStringLiteral("HTTP %1").arg(result.Status);
    fetched.Body = std::move(result.Body);
    fetched.ContentType = std::move(result.ContentType);
    return fetched;
}
