#pragma once

// Photos made to exhaust a decoder: tiny files whose headers claim huge images (progressive
// JPEGs that need whole-image coefficient buffers, a sequential JPEG whose first scan leaves
// components out, an embedded thumbnail that claims to be huge), a PNG that inflates to
// hundreds of megabytes, and cut or damaged variants of them. Header-only, shared with the
// benchmarks. Plus the peak memory of the process, for checking what a decode really cost.

#include "JpegFixtures.h"
#include "PeakMemory.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtEndian>


namespace hostile {

// Sampling factors of the frame header of Jpeg rewritten to Factors (0xHV per component,
// e.g. 0x11 for every component of a 4:4:4 picture).
inline QByteArray WithSampling(QByteArray Jpeg, quint8 Factors)
{
    const qsizetype i = fixtures::FrameHeaderAt(Jpeg);
    if (i < 0)
        return Jpeg;
    const int components = uchar(Jpeg[i + 9]);
    for (int c = 0; c < components && i + 11 + 3 * c < Jpeg.size(); ++c)
        Jpeg[i + 11 + 3 * c] = char(Factors);
    return Jpeg;
}

// A progressive JPEG of a small picture that claims Width x Height: 4:4:4 colour, or grey.
inline QByteArray ProgressiveClaiming(int Width, int Height, bool Grey = false)
{
    QImage picture = fixtures::Textured(32, 32, 7);
    if (Grey)
        picture = picture.convertToFormat(QImage::Format_Grayscale8);
    const QByteArray jpeg = fixtures::EncodeProgressiveJpeg(picture);
    return fixtures::WithClaimedSize(Grey ? jpeg : WithSampling(jpeg, 0x11), Width, Height);
}

// A sequential (baseline) JPEG that claims Width x Height and whose first scan holds only its
// first component: a decoder must then buffer the whole image, as for a progressive one.
inline QByteArray SplitScanClaiming(int Width, int Height)
{
    QByteArray jpeg = WithSampling(fixtures::EncodeJpeg(fixtures::Textured(32, 32, 9)), 0x11);
    jpeg = fixtures::WithClaimedSize(jpeg, Width, Height);
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (sos < 0)
        return jpeg;
    // Ns = 1: the first component, its tables, the full spectrum.
    QByteArray scan("\xFF\xDA\x00\x08\x01", 5);
    scan.append(jpeg[sos + 5]).append(jpeg[sos + 6]).append("\x00\x3F\x00", 3);
    const int length = (uchar(jpeg[sos + 2]) << 8) | uchar(jpeg[sos + 3]);
    return jpeg.left(sos) + scan + jpeg.mid(sos + 2 + length);
}

// A small square photo whose EXIF thumbnail is a progressive 4:4:4 JPEG claiming Side x Side.
inline QByteArray ExifThumbnailClaiming(int Side)
{
    return fixtures::WithExif(
        fixtures::EncodeJpeg(fixtures::Textured(64, 64, 3)), ProgressiveClaiming(Side, Side));
}

inline quint32 Crc32(const QByteArray &Bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char b : Bytes) {
        crc ^= uchar(b);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A zlib stream of Count zero bytes: one block of fixed codes, a literal zero and then copies
// of 258 bytes from one byte back, 13 bits each.
inline QByteArray ZlibZeros(qint64 Count)
{
    QByteArray out("\x78\x01", 2);
    quint32 bits = 0;
    int used = 0;
    const auto put = [&](quint32 Value, int Bits) { // LSB first
        bits |= Value << used;
        used += Bits;
        while (used >= 8) {
            out.append(char(bits & 0xFF));
            bits >>= 8;
            used -= 8;
        }
    };
    const auto code = [&](quint32 Code, int Bits) { // Huffman codes go MSB first
        for (int k = Bits - 1; k >= 0; --k)
            put((Code >> k) & 1, 1);
    };
    put(1, 1); // last block
    put(1, 2); // fixed codes
    qint64 left = Count;
    if (left > 0) {
        code(0x30, 8); // literal 0
        --left;
    }
    for (; left >= 258; left -= 258) {
        code(0xC5, 8); // length 258
        code(0, 5); // distance 1
    }
    for (; left > 0; --left)
        code(0x30, 8);
    code(0, 7); // end of block
    if (used > 0)
        put(0, 8 - used);
    const quint32 adler = (quint32(Count % 65521) << 16) | 1u;
    QByteArray tail(4, '\0');
    qToBigEndian(adler, tail.data());
    return out + tail;
}

// A PNG of Width x Height RGBA pixels, all zero, about 160 times smaller than its pixels.
inline QByteArray PngBomb(int Width, int Height)
{
    const auto chunk = [](const char *Type, const QByteArray &Data) {
        QByteArray out(4, '\0');
        qToBigEndian(quint32(Data.size()), out.data());
        const QByteArray body = QByteArray(Type, 4) + Data;
        QByteArray crc(4, '\0');
        qToBigEndian(Crc32(body), crc.data());
        return out + body + crc;
    };
    QByteArray ihdr(13, '\0');
    qToBigEndian(quint32(Width), ihdr.data());
    qToBigEndian(quint32(Height), ihdr.data() + 4);
    ihdr[8] = 8; // bits per sample
    ihdr[9] = 6; // RGBA
    // Every row: filter byte 0 and Width * 4 zero bytes.
    const QByteArray idat = ZlibZeros(qint64(Height) * (1 + qint64(Width) * 4));
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", idat)
        + chunk("IEND", {});
}

// The first Keep bytes (a negative Keep cuts that many from the end).
inline QByteArray Cut(const QByteArray &Bytes, qsizetype Keep)
{
    return Bytes.left(Keep >= 0 ? Keep : qMax<qsizetype>(0, Bytes.size() + Keep));
}

// The JPEG with everything after its first scan header replaced by deterministic noise (no
// 0xFF, so no marker ever comes) and no end marker.
inline QByteArray NoisyScan(const QByteArray &Jpeg, int NoiseBytes = 4096)
{
    const qsizetype sos = Jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (sos < 0)
        return Jpeg;
    const int length = (uchar(Jpeg[sos + 2]) << 8) | uchar(Jpeg[sos + 3]);
    QByteArray out = Jpeg.left(sos + 2 + length);
    unsigned state = 12345;
    for (int i = 0; i < NoiseBytes; ++i) {
        state = state * 1103515245u + 12345u;
        out.append(char((state >> 16) % 0xFF));
    }
    return out;
}

} // namespace hostile
