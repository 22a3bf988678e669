#include "util/ServiceConfig.h"

#include <QProcessEnvironment>

namespace {

QString fromEnvironment(const char *name, const char *fallback)
{
    QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        value = QString::fromLatin1(fallback);
    while (value.endsWith(u'/'))
        value.chop(1);
    return value;
}

QString join(const QString &base, const QString &path)
{
    if (path.startsWith(u'/'))
        return base + path;
    return base + u'/' + path;
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
    return join(WebUrl(), Path);
}

QString UploadAddress(const QString &Path)
{
    return join(UploadUrl(), Path);
}

} // namespace ServiceConfig
