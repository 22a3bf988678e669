#include "util/MeasureImage.h"

#include "util/JpegHeader.h"
#include "util/DecodeHelper.h"

#include <QFile>

#include <cstring>

namespace {

quint32 Be32(const unsigned char *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

// The IHDR chunk always comes first, so the size sits at a fixed place.
QSize PngSize(const unsigned char *h, qint64 n)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n < 24 || std::memcmp(h, signature, 8) != 0 || std::memcmp(h + 12, "IHDR", 4) != 0)
        return {0, 0};
    const quint32 w = Be32(h + 16), h2 = Be32(h + 20);
    if (w == 0 || h2 == 0 || w > 0x7FFFFFFF || h2 > 0x7FFFFFFF)
        return {0, 0};
    return {int(w), int(h2)};
}

bool IsPng(const char *h, qint64 n)
{
    return n >= 8 && std::memcmp(h, "\x89PNG\r\n\x1A\n", 8) == 0;
}

} // namespace

QSize MeasureImage(const QString &FileName)
{
    // JPEG and PNG are read here from their first bytes; Qt's readers would first look up
    // plugins and probe formats, which costs more than the header itself.
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {0, 0};
    char head[32];
    const qint64 n = file.read(head, sizeof head);
    if (n <= 0)
        return {0, 0};
    if (LooksLikeJpeg(head, n)) {
        JpegHeader header;
        if (!ReadJpegHeader(file, header))
            return {0, 0};
        return {header.Width, header.Height};
    }
    if (IsPng(head, n))
        return PngSize(reinterpret_cast<const unsigned char *>(head), n);
    file.close();

    // Camera raw files and the other formats are read by decoders we do not own: in the
    // decoding helper's process.
    return MeasureOutOfProcess(FileName);
}
