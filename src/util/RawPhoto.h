#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// Camera raw files, through LibRaw: only their metadata and the preview the camera embedded,
// never the sensor data (a thumbnail needs no demosaicing).

// True for the extensions of the camera raw formats the folder page offers.
bool IsRawFileName(const QString &FileName);

// The picture size as the camera stores it (no rotation); 0 x 0 when LibRaw cannot open it.
QSize MeasureRawPhoto(const QString &FileName);

// The embedded preview scaled to exactly Needed (smooth); null when there is none or it
// cannot be decoded, or it claims more than MaxPixels.
QImage DecodeRawPreview(const QString &FileName, QSize Needed, qint64 MaxPixels);
