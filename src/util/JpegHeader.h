#pragma once

#include <QtGlobal>

class QIODevice;

// What the markers before the first scan of a JPEG say, read without decoding anything.
struct JpegHeader
{
    // A decoder keeps at most this many components (more is refused).
    static constexpr int MaxComponents = 10;

    int Width = 0;
    int Height = 0;
    int Components = 0;
    bool Progressive = false;
    // Horizontal and vertical sampling factors per component, for the first MaxComponents.
    int SamplingH[MaxComponents] = {};
    int SamplingV[MaxComponents] = {};
    // Components in the first scan, when the walk went on to it; 0 otherwise. Fewer than
    // Components means the decoder buffers the whole image, as for a progressive file.
    int FirstScanComponents = 0;
    // The first APP1 segment that holds EXIF data: where its payload ("Exif\0\0" ...) starts
    // in the file and how long it is; -1 / 0 when there is none.
    qint64 ExifOffset = -1;
    int ExifLength = 0;
};

// True when Head (the first bytes of a file) starts like a JPEG.
bool LooksLikeJpeg(const char *Head, qint64 Length);

// Walks the markers of the JPEG in Device (positioned anywhere; read from 0) up to the frame
// header. False for anything that is not a JPEG with a usable frame header: truncated, no
// frame before the first scan or the end, zero width or height, garbage that never leads to
// a marker. Stray bytes between segments are skipped, as decoders do.
// With UpToFirstScan the walk goes on past the frame header to the first scan header
// (usually a few hundred bytes further) and also fails when there is none.
bool ReadJpegHeader(QIODevice &Device, JpegHeader &Header, bool UpToFirstScan = false);

// True when the decoder keeps coefficients for the whole image (progressive, or a first scan
// that does not hold every component); Header must come from an UpToFirstScan walk.
bool NeedsWholeImageBuffer(const JpegHeader &Header);
