#pragma once

#include <QSize>
#include <QString>

// The pixel size of a photo as stored (no EXIF rotation), read from its header without
// decoding pixels. 0 x 0 for a file that cannot be opened or decoded.
QSize MeasureImage(const QString &FileName);
