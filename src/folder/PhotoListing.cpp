#include "folder/PhotoListing.h"

#include "util/Cp949.h"
#include "util/Platform.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <utility>
#include <vector>

const char *const ExcludedExtensionsText
    = "tif,tiff,fax,bw,rgb,rgba,sgi,cel,pic,tga,vst,icb,vda,win,pcx,pcc,scr,pcd,ppm,pgm,pbm,cut,"
      "pal,gif,rla,rpf,bmp,rle,dib,pds,pdd,psp,png,ico,psd,pdd,rle,dib,gif,eps,pdf,pdp,raw,pct,"
      "pict,pxr,png,pbm,pgm,ppm,pnm,pfm,sct";

namespace {

// The text after the last dot of the name; empty without a dot.
QStringView Extension(const QString &FileName)
{
    const qsizetype slash = qMax(FileName.lastIndexOf(u'/'), FileName.lastIndexOf(u'\\'));
    const qsizetype dot = FileName.lastIndexOf(u'.');
    if (dot < 0 || dot < slash)
        return {};
    return QStringView(FileName).mid(dot + 1);
}

const QSet<QString> &OfferedSet()
{
    static const QSet<QString> set(OfferedExtensions().cbegin(), OfferedExtensions().cend());
    return set;
}

} // namespace

const QStringList &ReadableExtensions()
{
    static const QStringList list = QStringLiteral(
        "tif,tiff,fax,g3n,g3f,xif,gif,jpg,jpeg,jpe,jif,pcx,bmp,dib,rle,ico,cur,png,dcm,dic,dicom,"
        "wmf,emf,tga,targa,vda,icb,vst,pix,pxm,ppm,pgm,pbm,wbmp,jp2,j2k,jpc,j2c,dcx,crw,cr2,nef,"
        "raw,pef,raf,x3f,bay,orf,srf,mrw,dcr,sr2,psd,iev,lyr,all")
                                        .split(u',');
    return list;
}

const QStringList &OfferedExtensions()
{
    static const QStringList list = [] {
        const QStringList excluded = QString::fromLatin1(ExcludedExtensionsText).split(u',');
        QStringList offered;
        for (const QString &extension : ReadableExtensions())
            if (!excluded.contains(extension))
                offered.append(extension);
        return offered;
    }();
    return list;
}

bool IsOfferedPhotoName(const QString &FileName)
{
    const QStringView extension = Extension(FileName);
    if (extension.isEmpty() || extension.size() > 6)
        return false;
    return OfferedSet().contains(extension.toString().toLower());
}

bool NaturalNameLess(const QString &A, const QString &B)
{
    qsizetype i = 0, j = 0;
    while (i < A.size() && j < B.size()) {
        if (A[i].isDigit() && B[j].isDigit()) {
            // Compare the two runs of digits by value: drop leading zeros, then the longer
            // run is the larger number, else the first differing digit decides.
            qsizetype ei = i, ej = j;
            while (ei < A.size() && A[ei].isDigit())
                ++ei;
            while (ej < B.size() && B[ej].isDigit())
                ++ej;
            qsizetype si = i, sj = j;
            while (si + 1 < ei && A[si] == u'0')
                ++si;
            while (sj + 1 < ej && B[sj] == u'0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            for (; si < ei; ++si, ++sj) {
                if (A[si] != B[sj])
                    return A[si] < B[sj];
            }
            i = ei;
            j = ej;
            continue;
        }
        const QChar a = A[i].toCaseFolded(), b = B[j].toCaseFolded();
        if (a != b)
            return a < b;
        ++i;
        ++j;
    }
    if ((A.size() - i) != (B.size() - j))
        return (A.size() - i) < (B.size() - j);
    // Equal but for case or leading zeros: a fixed order all the same.
    return A < B;
}

QStringList ListFolderPhotos(const QString &Folder)
{
    QStringList photos;
    if (Folder.isEmpty())
        return photos;
    // Files only: no folders, no hidden files, no sockets, devices or broken links.
    QDirIterator it(Folder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString path = it.next();
        if (IsOfferedPhotoName(it.fileName()))
            photos.append(path);
    }
    // The file system's own order is arbitrary here; people expect their photos by name, with
    // numbers in number order (IMG_2 before IMG_10) and letter case ignored.
    std::vector<std::pair<QString, QString>> keyed; // (file name, path)
    keyed.reserve(photos.size());
    for (const QString &path : std::as_const(photos))
        keyed.emplace_back(QFileInfo(path).fileName(), path);
    std::stable_sort(keyed.begin(), keyed.end(),
        [](const auto &a, const auto &b) { return NaturalNameLess(a.first, b.first); });
    photos.clear();
    for (auto &entry : keyed)
        photos.append(std::move(entry.second));
    return photos;
}

QStringList UnlistablePhotoNames(const QString &Folder)
{
    QStringList names;
    for (const QByteArray &stored : UnrepresentableFileNames(Folder)) {
        // The extension is ASCII, so the offered check reads the bytes as they are.
        if (!IsOfferedPhotoName(QString::fromLatin1(stored)))
            continue;
        const QString cp949 = fromCp949(stored);
        names.append(
            cp949.contains(QChar::ReplacementCharacter) ? QFile::decodeName(stored) : cp949);
    }
    std::sort(names.begin(), names.end(), NaturalNameLess);
    return names;
}

QStringList OfferedPhotoFiles(const QStringList &Paths)
{
    QStringList photos;
    for (const QString &path : Paths) {
        if (!IsOfferedPhotoName(path))
            continue;
        const QFileInfo info(path);
        if (info.isFile() && !info.isHidden())
            photos.append(info.absoluteFilePath());
    }
    return photos;
}
