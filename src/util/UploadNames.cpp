#include "util/UploadNames.h"

QString FileNamePart(const QString &Path)
{
    for (qsizetype i = Path.size() - 1; i >= 0; --i) {
        const QChar c = Path.at(i);
        if (c == u'/' || c == u'\\' || c == u':')
            return Path.mid(i + 1);
    }
    return Path;
}

QString FullWidthPercent(QString Text)
{
    Text.replace(u'%', QChar(0xFF05));
    return Text;
}

QString CleanFileName(const QString &Path)
{
    return FullWidthPercent(FileNamePart(Path));
}

QString BlanksAsUnderscores(QString Path)
{
    Path.replace(u' ', u'_');
    return Path;
}

QString UploadName(const QString &Stamp, int Index, const QString &Path)
{
    return Stamp + QString::asprintf("_%.5d_", Index) + CleanFileName(Path);
}

QString RemoteThumbnailPath(const QString &ThumbsFolder, const QString &UploadName)
{
    return BlanksAsUnderscores(ThumbsFolder + UploadName);
}

QString RemotePhotoPath(const QString &OrdersFolder, const QString &UploadName)
{
    return OrdersFolder + UploadName;
}
