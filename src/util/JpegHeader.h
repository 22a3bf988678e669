#pragma once

#include <QtGlobal>

class QIODevice;

// What the markers before the first scan of a JPEG say, read without decoding anything.
struct JpegHeader
{
    int Width = 0;
    int Height = 0;
    int Components = 0;
    bool Progressive = false;
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
bool ReadJpegHeader(QIODevice &Device, JpegHeader &Header);
