#include "util/Platform.h"

#include <QFile>
#include <QtGlobal>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool RunningAsAdministrator()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

QList<QByteArray> UnrepresentableFileNames(const QString &Folder)
{
    QList<QByteArray> names;
#ifdef Q_OS_UNIX
    DIR *dir = opendir(QFile::encodeName(Folder).constData());
    if (!dir)
        return names;
    while (const dirent *entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.'))
            continue;
        // Plain ASCII always survives; only names with high bytes can be lost.
        if (std::all_of(name.cbegin(), name.cend(), [](char c) { return uchar(c) < 0x80; }))
            continue;
        if (QFile::encodeName(QFile::decodeName(name)) == name)
            continue;
        struct stat st;
        if (fstatat(dirfd(dir), entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        names.append(name);
    }
    closedir(dir);
#else
    Q_UNUSED(Folder); // names are UTF-16 there: every one can be represented
#endif
    return names;
}
