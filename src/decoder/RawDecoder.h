#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

class LibRaw;

// Camera raw files, through LibRaw, inside the decoding helper only: their metadata and the
// preview the camera embedded, never the sensor data (a thumbnail needs no demosaicing).
// One file opened once serves both its size and its preview.
class RawFile
{
public:
    explicit RawFile(const QString &FileName);
    ~RawFile();
    RawFile(const RawFile &) = delete;
    RawFile &operator=(const RawFile &) = delete;

    // The picture size as the camera stores it (no rotation); 0 x 0 when LibRaw cannot open it.
    QSize Size() const;

    // The embedded preview scaled to exactly Needed (smooth); null when there is none or it
    // cannot be decoded, or it claims more than MaxPixels.
    QImage Preview(QSize Needed, qint64 MaxPixels);

private:
    std::unique_ptr<LibRaw> Raw;
};
