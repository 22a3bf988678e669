#pragma once

#include "util/Bitmap32.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

// The thumbnails stored beside the photos: baseline JFIF, 24-bit colour (alpha dropped),
// quality 100 on the IJG scale, every other encoder setting at libjpeg's default. Built in
// memory; the bitmap is read under its lock and left unchanged.

// Encodes the whole bitmap into Jpeg. On failure (an empty bitmap, an encoder error) Jpeg is
// empty, Error (when given) holds the encoder's text, and the result is false.
bool BitmapToJpeg(const Bitmap32 &Bitmap, QByteArray &Jpeg, QString *Error = nullptr);

// The same into a memory stream owned by the caller: its contents are replaced by the JPEG
// (nothing on failure), it stays open in its mode (read-only when it was closed) and is left
// positioned at 0, ready to be read by the store.
bool BitmapToJpegStream(const Bitmap32 &Bitmap, QBuffer &Stream, QString *Error = nullptr);
