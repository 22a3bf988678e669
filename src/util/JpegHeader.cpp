#include "util/JpegHeader.h"

#include <QIODevice>

#include <cstring>

namespace {

// A window onto the device, refilled in blocks: headers are read with one or two reads,
// and a long segment (EXIF with its thumbnail, ICC profile) is skipped by seeking.
class ByteWindow
{
public:
    explicit ByteWindow(QIODevice &d)
        : m_dev(d)
    { }

    // Makes bytes [pos, pos + n) available; false at the end of the device.
    bool Need(qint64 pos, int n)
    {
        if (pos >= m_start && pos + n <= m_start + m_length)
            return true;
        if (n > int(sizeof m_buf) || (!m_dev.isSequential() && pos + n > m_dev.size()))
            return false;
        if (m_dev.pos() != pos && !m_dev.seek(pos))
            return false;
        const qint64 got = m_dev.read(m_buf, sizeof m_buf);
        m_start = pos;
        m_length = got < 0 ? 0 : int(got);
        return pos + n <= m_start + m_length;
    }

    unsigned char At(qint64 pos) const { return static_cast<unsigned char>(m_buf[pos - m_start]); }
    int Be16(qint64 pos) const { return (At(pos) << 8) | At(pos + 1); }

private:
    QIODevice &m_dev;
    char m_buf[4096];
    qint64 m_start = 0;
    int m_length = 0;
};

bool IsFrameMarker(int m)
{
    // SOF0..SOF15 without DHT (C4), JPG (C8) and DAC (CC).
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool IsStandalone(int m)
{
    return m == 0x01 || (m >= 0xD0 && m <= 0xD7);
}

// Garbage before a marker is skipped, but not forever: a file that is not a JPEG past its
// first bytes should fail fast, not be read to its end.
constexpr qint64 MaxGarbage = 1 << 20;

} // namespace

bool LooksLikeJpeg(const char *Head, qint64 Length)
{
    return Length >= 3 && static_cast<unsigned char>(Head[0]) == 0xFF
        && static_cast<unsigned char>(Head[1]) == 0xD8
        && static_cast<unsigned char>(Head[2]) == 0xFF;
}

bool ReadJpegHeader(QIODevice &Device, JpegHeader &Header, bool UpToFirstScan)
{
    Header = JpegHeader {};
    ByteWindow w(Device);
    if (!w.Need(0, 3) || w.At(0) != 0xFF || w.At(1) != 0xD8)
        return false;

    bool haveFrame = false;
    qint64 pos = 2;
    for (;;) {
        // Find the next 0xFF, then skip fill bytes.
        const qint64 garbageStart = pos;
        for (;;) {
            if (!w.Need(pos, 1))
                return false;
            if (w.At(pos) == 0xFF)
                break;
            if (++pos - garbageStart > MaxGarbage)
                return false;
        }
        while (w.Need(pos + 1, 1) && w.At(pos + 1) == 0xFF)
            ++pos;
        if (!w.Need(pos, 2))
            return false;
        const int marker = w.At(pos + 1);
        pos += 2;
        if (marker == 0x00 || IsStandalone(marker))
            continue;
        if (marker == 0xD8 || marker == 0xD9)
            return false; // a second start or the end before the first scan
        if (marker == 0xDA && !haveFrame)
            return false; // a scan before any frame
        if (!w.Need(pos, 2))
            return false;
        const int length = w.Be16(pos);
        if (length < 2)
            return false;

        if (marker == 0xDA) {
            if (length < 3 || !w.Need(pos + 2, 1))
                return false;
            Header.FirstScanComponents = w.At(pos + 2);
            return Header.FirstScanComponents > 0;
        }
        if (IsFrameMarker(marker)) {
            if (haveFrame)
                return false; // a second frame: decoders refuse it
            if (length < 8 || !w.Need(pos + 2, 6))
                return false;
            Header.Height = w.Be16(pos + 3);
            Header.Width = w.Be16(pos + 5);
            Header.Components = w.At(pos + 7);
            Header.Progressive = (marker & 0x03) == 0x02;
            // Height 0 means "given later by DNL", which decoders refuse.
            if (Header.Width <= 0 || Header.Height <= 0 || Header.Components <= 0
                || length < 8 + 3 * Header.Components)
                return false;
            const int kept = qMin(Header.Components, JpegHeader::MaxComponents);
            for (int c = 0; c < kept; ++c) {
                const qint64 at = pos + 8 + 3 * c + 1;
                if (!w.Need(at, 1))
                    return false;
                Header.SamplingH[c] = w.At(at) >> 4;
                Header.SamplingV[c] = w.At(at) & 0x0F;
            }
            if (!UpToFirstScan)
                return true;
            haveFrame = true;
        }
        if (marker == 0xE1 && Header.ExifOffset < 0 && length >= 8 && w.Need(pos + 2, 6)) {
            static const unsigned char exif[6] = {'E', 'x', 'i', 'f', 0, 0};
            bool isExif = true;
            for (int i = 0; i < 6 && isExif; ++i)
                isExif = w.At(pos + 2 + i) == exif[i];
            if (isExif) {
                Header.ExifOffset = pos + 2;
                Header.ExifLength = length - 2;
            }
        }
        pos += length;
    }
}

bool NeedsWholeImageBuffer(const JpegHeader &Header)
{
    return Header.Progressive || Header.FirstScanComponents < Header.Components;
}
