#include "util/ServiceConfig.h"

#include <QProcessEnvironment>

namespace {

QString fromEnvironment(const char *name, const char *fallback)
{
    const QString value = qEnvironmentVariable(name);
    return ServiceConfig::WithoutTrailingSlashes(
        value.isEmpty() ? QString::fromLatin1(fallback) : value);
}

} // namespace

namespace ServiceConfig {

QString WebUrl()
{
    return fromEnvironment("KESTRUN_WEB_URL", "http://127.0.0.1:8080");
}

QString UploadUrl()
{
    return fromEnvironment("KESTRUN_UPLOAD_URL", "http://127.0.0.1:8080");
}

QString FtpUrl()
{
    return fromEnvironment("KESTRUN_FTP_URL", "ftp://127.0.0.1:2121");
}

QString BrowserCommand()
{
    return qEnvironmentVariable("KESTRUN_BROWSER");
}

QString WebAddress(const QString &Path)
{
    return JoinAddress(WebUrl(), Path);
}

QString UploadAddress(const QString &Path)
{
    return JoinAddress(UploadUrl(), Path);
}

QString WithoutTrailingSlashes(QString Address)
{
    while (Address.endsWith(u'/'))
        Address.chop(1);
    return Address;
}

QString JoinAddress(const QString &Base, const QString &Path)
{
    const QString base = WithoutTrailingSlashes(Base);
    if (Path.startsWith(u'/'))
        return base + Path;
    return base + u'/' + Path;
}

} // namespace ServiceConfig
