#pragma once

// Photos for the cart view tests: real JPEGs of chosen pixel sizes in a temporary folder.

#include "common/JpegFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class PhotoFolder
{
public:
    // Writes Name as a JPEG of Width x Height and returns its path.
    QString Photo(const QString &Name, int Width, int Height, unsigned Seed = 1)
    {
        const QString path = m_dir.filePath(Name);
        if (!QFile::exists(path)) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(fixtures::EncodeJpeg(fixtures::Textured(Width, Height, Seed), 80));
        }
        return path;
    }
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
