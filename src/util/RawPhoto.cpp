#include "util/RawPhoto.h"

#include <QFileInfo>

bool IsRawFileName(const QString &FileName)
{
    static const char *const extensions[] = {"crw", "cr2", "cr3", "nef", "nrw", "arw", "srf", "sr2",
        "dng", "pef", "raf", "x3f", "bay", "orf", "mrw", "dcr", "kdc", "rw2", "rwl", "raw", "3fr",
        "erf", "mef", "mos", "srw", "iiq"};
    const QString suffix = QFileInfo(FileName).suffix();
    if (suffix.size() != 3)
        return false;
    for (const char *e : extensions)
        if (suffix.compare(QLatin1String(e), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
