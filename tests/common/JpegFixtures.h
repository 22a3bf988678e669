#pragma once

// Photos made by tests and benchmarks: JPEGs with or without an EXIF segment (orientation,
// embedded thumbnail), and headers that lie about their size. Header-only so that the
// benchmarks can share it.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <libexif/exif-data.h>

#include <cstdlib>
#include <cstring>

namespace fixtures {

// Writes Bytes as Name into Folder and returns the path; a fixture that cannot be written ends
// the test run, as nothing after it would mean anything.
inline QString WriteFixture(const QString &Folder, const QString &Name, const QByteArray &Bytes)
{
    const QString path = QDir(Folder).filePath(Name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(Bytes) != Bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

inline QByteArray EncodeImage(const QImage &image, const char *format, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

inline QByteArray EncodeJpeg(const QImage &image, int quality = 90)
{
    return EncodeImage(image, "JPG", quality);
}

inline QByteArray EncodeProgressiveJpeg(const QImage &image, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return bytes;
}

inline QImage Solid(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A deterministic picture with some texture, so that it compresses like a photo.
inline QImage Textured(int width, int height, unsigned seed = 1)
{
    QImage image(width, height, QImage::Format_RGB32);
    unsigned state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 28);
            line[x] = qRgb((x * 255 / width + noise) & 0xFF, (y * 255 / height + noise) & 0xFF,
                ((x + y) * 127 / (width + height) + 64 + noise) & 0xFF);
        }
    }
    return image;
}

// Splices an EXIF APP1 segment into Jpeg, after its JFIF segment (if any): Orientation
// (0 = none) and a JPEG thumbnail (empty = none).
inline QByteArray WithExif(const QByteArray &Jpeg, const QByteArray &Thumbnail, int Orientation = 0)
{
    ExifData *exif = exif_data_new();
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    if (Orientation) {
        ExifEntry *e = exif_entry_new();
        exif_content_add_entry(exif->ifd[EXIF_IFD_0], e);
        exif_entry_initialize(e, EXIF_TAG_ORIENTATION);
        exif_set_short(e->data, EXIF_BYTE_ORDER_INTEL, ExifShort(Orientation));
        exif_entry_unref(e);
    }
    if (!Thumbnail.isEmpty()) {
        // exif_data_unref frees data with the default allocator.
        exif->data = static_cast<unsigned char *>(malloc(size_t(Thumbnail.size())));
        std::memcpy(exif->data, Thumbnail.constData(), size_t(Thumbnail.size()));
        exif->size = unsigned(Thumbnail.size());
    }
    unsigned char *payload = nullptr;
    unsigned int payloadSize = 0;
    exif_data_save_data(exif, &payload, &payloadSize);
    exif_data_unref(exif);

    QByteArray segment("\xFF\xE1", 2);
    const int length = int(payloadSize) + 2;
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    segment.append(reinterpret_cast<const char *>(payload), qsizetype(payloadSize));
    free(payload);

    qsizetype at = 2;
    if (Jpeg.size() > 6 && uchar(Jpeg[2]) == 0xFF && uchar(Jpeg[3]) == 0xE0)
        at = 4 + ((uchar(Jpeg[4]) << 8) | uchar(Jpeg[5]));
    QByteArray out = Jpeg;
    out.insert(at, segment);
    return out;
}

// Where the frame header (SOF0, SOF1 or SOF2 marker) of Jpeg starts; -1 when it has none.
inline qsizetype FrameHeaderAt(const QByteArray &Jpeg)
{
    for (qsizetype i = 2; i + 9 < Jpeg.size();) {
        if (uchar(Jpeg[i]) != 0xFF) {
            ++i;
            continue;
        }
        const uchar m = uchar(Jpeg[i + 1]);
        if (m >= 0xC0 && m <= 0xC2)
            return i;
        i += 2 + ((uchar(Jpeg[i + 2]) << 8) | uchar(Jpeg[i + 3]));
    }
    return -1;
}

// Rewrites the size in the frame header of Jpeg: the pixels stay those of the small picture,
// the header claims Width x Height.
inline QByteArray WithClaimedSize(QByteArray Jpeg, int Width, int Height)
{
    const qsizetype i = FrameHeaderAt(Jpeg);
    if (i >= 0) {
        Jpeg[i + 5] = char(Height >> 8);
        Jpeg[i + 6] = char(Height & 0xFF);
        Jpeg[i + 7] = char(Width >> 8);
        Jpeg[i + 8] = char(Width & 0xFF);
    }
    return Jpeg;
}

} // namespace fixtures
