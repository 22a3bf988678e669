#include "app/PhotoListing.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

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
    return photos;
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
