#pragma once

// Photo folders made by the folder-page tests: small real JPEGs, some with an EXIF thumbnail.

#include "common/JpegFixtures.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

namespace folderfixtures {

inline bool WriteFile(const QString &Path, const QByteArray &Bytes)
{
    QFile file(Path);
    return file.open(QIODevice::WriteOnly) && file.write(Bytes) == Bytes.size();
}

// A 160 x 120 photo of one colour; with an EXIF thumbnail of 160 x 120 when asked.
inline QByteArray SolidPhoto(QColor Colour, bool WithThumbnail = false)
{
    const QByteArray jpeg = fixtures::EncodeJpeg(fixtures::Solid(160, 120, Colour));
    if (!WithThumbnail)
        return jpeg;
    return fixtures::WithExif(jpeg, fixtures::EncodeJpeg(fixtures::Solid(160, 120, Colour)));
}

// Count photos named IMG_0000.jpg, IMG_0001.jpg, ... in Folder; returns their paths.
inline QStringList MakePhotos(const QString &Folder, int Count, QColor Colour = Qt::red)
{
    QDir().mkpath(Folder);
    const QByteArray bytes = SolidPhoto(Colour);
    QStringList paths;
    for (int i = 0; i < Count; ++i) {
        const QString path = QStringLiteral("%1/IMG_%2.jpg").arg(Folder).arg(i, 4, 10, QChar('0'));
        if (WriteFile(path, bytes))
            paths.append(path);
    }
    return paths;
}

} // namespace folderfixtures
