#pragma once

// Camera raw files made by tests: a minimal DNG (a TIFF whose first image is the camera's
// preview, with the 16-bit RGGB sensor data in a sub-image), which LibRaw reads by its content
// whatever the file's extension. Header-only, like the JPEG fixtures.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QtEndian>

#include <cstdint>

namespace fixtures {

namespace dng {

enum Type : std::uint16_t { Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5, SRational = 10 };

struct Entry
{
    std::uint16_t Tag;
    Type Kind;
    std::uint32_t Count;
    QByteArray Value; // little-endian, Count values
};

inline QByteArray le16(std::uint16_t v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

inline QByteArray le32(std::uint32_t v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

inline Entry Shorts(std::uint16_t Tag, std::initializer_list<std::uint16_t> Values)
{
    QByteArray b;
    for (auto v : Values)
        b += le16(v);
    return {Tag, Short, std::uint32_t(Values.size()), b};
}

inline Entry Longs(std::uint16_t Tag, std::initializer_list<std::uint32_t> Values)
{
    QByteArray b;
    for (auto v : Values)
        b += le32(v);
    return {Tag, Long, std::uint32_t(Values.size()), b};
}

inline Entry Bytes(std::uint16_t Tag, const QByteArray &Values)
{
    return {Tag, Byte, std::uint32_t(Values.size()), Values};
}

inline Entry Text(std::uint16_t Tag, const QByteArray &Value)
{
    return {Tag, Ascii, std::uint32_t(Value.size() + 1), Value + '\0'};
}

inline Entry Ratios(std::uint16_t Tag, Type Kind, std::initializer_list<std::int32_t> Pairs)
{
    QByteArray b;
    for (auto v : Pairs)
        b += le32(std::uint32_t(v));
    return {Tag, Kind, std::uint32_t(Pairs.size() / 2), b};
}

// Lays out one IFD at Offset; values longer than 4 bytes go into Extra (at ExtraOffset on).
inline QByteArray Ifd(const QList<Entry> &Entries, std::uint32_t ExtraOffset, QByteArray &Extra)
{
    QByteArray out = le16(std::uint16_t(Entries.size()));
    for (const Entry &e : Entries) {
        out += le16(e.Tag) + le16(e.Kind) + le32(e.Count);
        if (e.Value.size() <= 4) {
            out += e.Value.leftJustified(4, '\0');
        } else {
            if (Extra.size() % 2)
                Extra += '\0';
            out += le32(ExtraOffset + std::uint32_t(Extra.size()));
            Extra += e.Value;
        }
    }
    return out + le32(0);
}

} // namespace dng

// A DNG of RawWidth x RawHeight sensor pixels whose preview is Preview: stored as 8-bit RGB,
// or as the given JPEG bytes when PreviewJpeg is not empty (its size must be Preview's).
inline QByteArray MakeDng(int RawWidth, int RawHeight, const QImage &Preview,
    const QByteArray &PreviewJpeg = {})
{
    using namespace dng;
    QByteArray previewData = PreviewJpeg;
    if (previewData.isEmpty()) {
        const QImage rgb = Preview.convertToFormat(QImage::Format_RGB888);
        for (int y = 0; y < rgb.height(); ++y)
            previewData.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3);
    }
    QByteArray sensor;
    sensor.reserve(qsizetype(RawWidth) * RawHeight * 2);
    for (int y = 0; y < RawHeight; ++y)
        for (int x = 0; x < RawWidth; ++x)
            sensor += le16(std::uint16_t(1000 + (x * 7 + y * 3) % 2000));

    // Both IFDs have fixed sizes, so every offset is known before anything is written.
    constexpr int Count0 = 20, Count1 = 14;
    const std::uint32_t ifd0 = 8;
    const std::uint32_t ifd1 = ifd0 + 2 + Count0 * 12 + 4;
    const std::uint32_t extraStart = ifd1 + 2 + Count1 * 12 + 4;
    const std::uint32_t previewAt = extraStart;
    const std::uint32_t sensorAt = previewAt + std::uint32_t(previewData.size() + previewData.size() % 2);
    QByteArray extra = previewData;
    if (extra.size() % 2)
        extra += '\0';
    extra += sensor;

    const bool jpeg = !PreviewJpeg.isEmpty();
    const QList<Entry> first {
        Longs(254, {1}), // a reduced-resolution image: the preview
        Longs(256, {std::uint32_t(Preview.width())}),
        Longs(257, {std::uint32_t(Preview.height())}),
        Shorts(258, {8, 8, 8}),
        Shorts(259, {std::uint16_t(jpeg ? 7 : 1)}),
        Shorts(262, {std::uint16_t(jpeg ? 6 : 2)}),
        Text(271, "Kestrun"),
        Text(272, "Fixture"),
        Longs(273, {previewAt}),
        Shorts(274, {1}),
        Shorts(277, {3}),
        Longs(278, {std::uint32_t(Preview.height())}),
        Longs(279, {std::uint32_t(previewData.size())}),
        Shorts(284, {1}),
        Longs(330, {ifd1}), // the sensor image
        Bytes(50706, QByteArray("\x01\x04\x00\x00", 4)), // DNG 1.4
        Text(50708, "Kestrun Fixture"),
        Ratios(50721, SRational, {1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1}),
        Ratios(50728, Rational, {1, 2, 1, 1, 1, 2}),
        Shorts(50778, {21}),
    };
    const QList<Entry> second {
        Longs(254, {0}),
        Longs(256, {std::uint32_t(RawWidth)}),
        Longs(257, {std::uint32_t(RawHeight)}),
        Shorts(258, {16}),
        Shorts(259, {1}),
        Shorts(262, {32803}), // colour filter array
        Longs(273, {sensorAt}),
        Shorts(277, {1}),
        Longs(278, {std::uint32_t(RawHeight)}),
        Longs(279, {std::uint32_t(sensor.size())}),
        Shorts(284, {1}),
        Shorts(33421, {2, 2}),
        Bytes(33422, QByteArray("\x00\x01\x01\x02", 4)), // RGGB
        Longs(50717, {4095}),
    };
    Q_ASSERT(first.size() == Count0 && second.size() == Count1);

    // Values longer than four bytes follow the images' data.
    QByteArray values;
    const std::uint32_t valuesAt = extraStart + std::uint32_t(extra.size());
    const QByteArray a = Ifd(first, valuesAt, values);
    const QByteArray b = Ifd(second, valuesAt, values);
    return QByteArray("II*\0", 4) + le32(ifd0) + a + b + extra + values;
}

namespace dng {

// Sets the value of Tag, stored in its entry, in the first IFD of a file MakeDng wrote.
inline void SetFirstIfdValue(QByteArray &File, std::uint16_t Tag, std::uint32_t Value)
{
    const int count = qFromLittleEndian<std::uint16_t>(File.constData() + 8);
    for (int i = 0; i < count; ++i) {
        char *entry = File.data() + 10 + i * 12;
        if (qFromLittleEndian<std::uint16_t>(entry) == Tag) {
            qToLittleEndian(Value, entry + 8);
            return;
        }
    }
    Q_ASSERT_X(false, "SetFirstIfdValue", "no such tag");
}

} // namespace dng

// A DNG of RawWidth x RawHeight whose 24 x 24 grey preview claims no compression at all (0)
// and PreviewLength bytes, more than its 576: LibRaw 0.20 reads such a preview into a buffer
// sized from its width and height (576 bytes and the 1152 its allocator adds, 1728 in all),
// with as many bytes as the file holds from the preview on. The preview is stored last, so
// PreviewLength bytes land there; past its pixels come zeros, which glibc's allocator takes
// for a broken neighbouring block (an abort, not a quiet corruption). LibRaw reads it whatever
// the file's extension.
inline QByteArray MakeDngWithOverlongPreview(int RawWidth = 64, int RawHeight = 48,
    std::uint32_t PreviewLength = 1980)
{
    constexpr int Side = 24;
    Q_ASSERT(PreviewLength > 3 * Side * Side);
    QImage unused(Side, Side, QImage::Format_RGB888); // the preview MakeDng writes, left unused
    unused.fill(Qt::gray);
    QByteArray file = MakeDng(RawWidth, RawHeight, unused);
    if (file.size() % 2)
        file += '\0';
    const std::uint32_t previewAt = std::uint32_t(file.size());
    file += QByteArray(Side * Side, '\x80') + QByteArray(int(PreviewLength) - Side * Side, '\0');
    dng::SetFirstIfdValue(file, 259, 0);
    dng::SetFirstIfdValue(file, 262, 1);
    dng::SetFirstIfdValue(file, 273, previewAt);
    dng::SetFirstIfdValue(file, 277, 1);
    dng::SetFirstIfdValue(file, 279, PreviewLength);
    return file;
}

} // namespace fixtures
