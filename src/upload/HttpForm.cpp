#include "upload/HttpForm.h"

void SplitCartInfoPath(const QString &Path, QString &Dir, QString &FileName)
{
    qsizetype cut = -1;
    for (qsizetype i = Path.size() - 1; i >= 0; --i) {
        if (Path.at(i) == u'\\' || Path.at(i) == u':') {
            cut = i;
            break;
        }
    }
    if (cut < 0) {
        Dir.clear();
        FileName = Path;
        return;
    }
    FileName = Path.mid(cut + 1);
    Dir = Path.at(cut) == u':' ? Path.left(cut + 1) : Path.left(cut);
}
