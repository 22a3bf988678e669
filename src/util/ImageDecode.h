#pragma once

#include "util/DecodeBudget.h"
#include "util/Geometry.h"

#include <QImage>
#include <QSize>
#include <QString>

// Where a picture came from: the preview embedded in the file, or the main image decoded at
// a reduced scale.
enum class PictureSource { None, ExifThumbnail, ScaledDecode, RawPreview };

// More stored pixels than this are not decoded at all: a header that claims 65500 x 65500
// (a decompression bomb) yields no picture instead of gigabytes of buffers.
inline constexpr qint64 MaxDecodePixels = 200'000'000;
// An EXIF thumbnail lives in one 64 KB segment: a larger claim is a lie, not a preview.
inline constexpr int MaxExifThumbnailSide = 2048;

struct FittedPicture
{
    QSize StoredSize {0, 0}; // as MeasureImage gives it
    TRect Fit; // the photo's place inside (0, 0, Box)
    QImage Image; // Fit.Width() x Fit.Height(), or null when it cannot be made
    PictureSource Source = PictureSource::None;
};

// The photo as stored (no EXIF rotation) scaled smoothly to exactly Needed, which the caller
// has fitted to StoredSize. Takes the embedded EXIF thumbnail when it is at least Needed and
// has the photo's proportions; otherwise decodes at reduced scale (JPEG: libjpeg's 1/2..1/8
// DCT scaling, so a big photo is never decoded at full size); camera raw: the embedded
// preview. Null when the file cannot be decoded or is too large to decode safely.
// Every decode first reserves its estimated memory from the decode budget (DecodeBudget.h):
// it may wait there for room, and it gives up with a null picture when Cancelled says so or
// when the estimate alone exceeds the per-decode cap. Thread-safe.
QImage DecodePicture(const QString &FileName, QSize StoredSize, QSize Needed,
    PictureSource *Source = nullptr, const DecodeCancel &Cancelled = {});

// Measures the photo, fits it into Box with AspectFitRect and decodes it at the fitted size.
FittedPicture DecodeFittedPicture(
    const QString &FileName, QSize Box, const DecodeCancel &Cancelled = {});

// True when a thumbnail of Thumb pixels shows the whole of a photo of Photo pixels: the same
// proportions within the rounding of a pixel or two, so a letterboxed thumbnail is refused.
bool SameProportions(QSize Thumb, QSize Photo);
