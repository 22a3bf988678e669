#include "util/ImageDecode.h"

#include "util/DecodeHelper.h"
#include "util/JpegHeader.h"
#include "util/MeasureImage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QtMath>

#include <libexif/exif-data.h>

#include <cstdlib>
#include <memory>

namespace {

// libjpeg's tables and pools, the readers' buffers, libexif's entries: small, but counted.
constexpr qint64 DecoderOverhead = qint64(1) << 20;

qint64 Area(QSize s)
{
    return qint64(qMax(0, s.width())) * qMax(0, s.height());
}

qint64 CeilDiv(qint64 a, qint64 b)
{
    return (a + b - 1) / b;
}

qint64 RoundUp(qint64 a, qint64 b)
{
    return CeilDiv(a, b) * b;
}

// The final picture and one converted copy of it (callers turn it into the format they draw).
qint64 ResultBytes(QSize Needed)
{
    return 2 * 4 * Area(Needed);
}

QImage ScaledTo(QImage image, QSize size)
{
    if (image.isNull() || image.size() == size)
        return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Qt's readers refuse an image larger than this themselves: a second guard behind the
// estimates.
int AllocationLimitMB()
{
    return int(
        qBound(qint64(1), CeilDiv(DecodeBudget().PerDecode, qint64(1) << 20), qint64(1) << 20));
}

// Reads a picture from Device at exactly Needed. Qt's JPEG reader turns the scaled size into
// libjpeg's DCT scaling and smooths the rest; other readers decode fully, within the limit.
QImage ReadScaled(QImageReader &reader, QSize Needed)
{
    reader.setAutoTransform(false);
    reader.setAllocationLimit(AllocationLimitMB());
    reader.setScaledSize(Needed);
    return ScaledTo(reader.read(), Needed);
}

qint64 JpegEstimate(const JpegHeader &h, QSize Needed)
{
    // Qt's reader handles grey, colour and CMYK only; libjpeg refuses sampling factors
    // outside 1..4.
    if (Needed.isEmpty() || (h.Components != 1 && h.Components != 3 && h.Components != 4)
        || qint64(h.Width) * h.Height > MaxDecodePixels)
        return 0;
    int hMax = 0, vMax = 0;
    for (int c = 0; c < h.Components; ++c) {
        if (h.SamplingH[c] < 1 || h.SamplingH[c] > 4 || h.SamplingV[c] < 1 || h.SamplingV[c] > 4)
            return 0;
        hMax = qMax(hMax, h.SamplingH[c]);
        vMax = qMax(vMax, h.SamplingV[c]);
    }

    // Per component, in 8 x 8 blocks padded to whole MCUs: the whole image's coefficients (2
    // bytes each) when the decoder must keep them, and a few block rows of samples at full
    // scale (DCT scaling only makes those smaller).
    const bool whole = NeedsWholeImageBuffer(h);
    qint64 bytes = DecoderOverhead;
    for (int c = 0; c < h.Components; ++c) {
        const qint64 wBlocks
            = RoundUp(CeilDiv(qint64(h.Width) * h.SamplingH[c], 8 * hMax), h.SamplingH[c]);
        const qint64 hBlocks
            = RoundUp(CeilDiv(qint64(h.Height) * h.SamplingV[c], 8 * vMax), h.SamplingV[c]);
        if (whole)
            bytes += wBlocks * hBlocks * 64 * 2;
        bytes += wBlocks * 8 * h.SamplingV[c] * 8 * 3;
    }

    // Qt's reader asks libjpeg for the smallest scale M/8 that still covers Needed, then
    // smooths that down; a grey image is made 32-bit for the smoothing.
    const double f = qMin(double(h.Width) / Needed.width(), double(h.Height) / Needed.height());
    const int scale = qBound(1, qCeil(8 / f), 8);
    const QSize out(
        int(CeilDiv(qint64(h.Width) * scale, 8)), int(CeilDiv(qint64(h.Height) * scale, 8)));
    bytes += Area(out) * (h.Components == 1 ? 1 : 4);
    if (out != Needed && h.Components == 1)
        bytes += Area(out) * 4;
    bytes += out.width() * qint64(4) * 2; // a row or two of converted samples
    return bytes + ResultBytes(Needed);
}

// A reservation for Bytes, or none when Bytes is 0 (nothing the decoder would accept).
std::unique_ptr<DecodeReservation> Reserve(qint64 Bytes, const DecodeCancel &Cancelled)
{
    if (Bytes <= 0)
        return nullptr;
    auto room = std::make_unique<DecodeReservation>(Bytes, Cancelled);
    if (!room->Granted())
        return nullptr;
    return room;
}

struct ExifDataDeleter
{
    void operator()(ExifData *d) const { exif_data_unref(d); }
};

// The JPEG thumbnail of the EXIF segment, when it is large enough and shows the whole photo.
QImage ExifThumbnail(
    QIODevice &file, const JpegHeader &header, QSize Needed, const DecodeCancel &Cancelled)
{
    if (header.ExifOffset < 0 || header.ExifLength <= 6 || !file.seek(header.ExifOffset))
        return {};
    QByteArray bytes;
    {
        const QByteArray segment = file.read(header.ExifLength);
        if (segment.size() != header.ExifLength)
            return {};
        std::unique_ptr<ExifData, ExifDataDeleter> exif(exif_data_new());
        if (!exif)
            return {};
        // Only the thumbnail is wanted: no maker notes, no tag fix-ups.
        exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
        exif_data_set_option(exif.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
        exif_data_load_data(exif.get(),
            reinterpret_cast<const unsigned char *>(segment.constData()), unsigned(segment.size()));
        if (!exif->data || exif->size == 0 || exif->size > unsigned(segment.size()))
            return {};
        bytes = QByteArray(reinterpret_cast<const char *>(exif->data), qsizetype(exif->size));
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    JpegHeader thumb;
    if (!ReadJpegHeader(buffer, thumb, true) || thumb.Width > MaxExifThumbnailSide
        || thumb.Height > MaxExifThumbnailSide || thumb.Width < Needed.width()
        || thumb.Height < Needed.height()
        || !SameProportions({thumb.Width, thumb.Height}, {header.Width, header.Height}))
        return {};
    const auto room = Reserve(JpegEstimate(thumb, Needed), Cancelled);
    if (!room || !buffer.seek(0))
        return {};
    QImageReader reader(&buffer, "jpeg");
    return ReadScaled(reader, Needed);
}

QImage DecodeJpeg(QFile &file, QSize Needed, PictureSource *Source, const DecodeCancel &Cancelled)
{
    JpegHeader header;
    if (!ReadJpegHeader(file, header, true))
        return {};
    // The whole decode must fit the cap, even when the thumbnail would serve: a bomb stays a
    // bomb whatever it carries.
    const qint64 estimate = JpegEstimate(header, Needed);
    if (estimate <= 0 || !FitsDecodeCap(estimate))
        return {};
    QImage picture = ExifThumbnail(file, header, Needed, Cancelled);
    if (!picture.isNull()) {
        *Source = PictureSource::ExifThumbnail;
        return picture;
    }
    const auto room = Reserve(estimate, Cancelled);
    if (!room || !file.seek(0))
        return {};
    QImageReader reader(&file, "jpeg");
    picture = ReadScaled(reader, Needed);
    if (!picture.isNull())
        *Source = PictureSource::ScaledDecode;
    return picture;
}

// What the helper sends back is held here: the picture, and its bytes on the way in.
qint64 HelperResultBytes(QSize Needed)
{
    return ResultBytes(Needed) + 4 * Area(Needed) + DecoderOverhead;
}

} // namespace

bool SameProportions(QSize Thumb, QSize Photo)
{
    if (Thumb.isEmpty() || Photo.isEmpty())
        return false;
    // |th - tw * H / W| and |tw - th * W / H| at most 2 pixels.
    const qint64 cross
        = qAbs(qint64(Thumb.height()) * Photo.width() - qint64(Thumb.width()) * Photo.height());
    return cross <= 2 * qint64(qMin(Photo.width(), Photo.height()));
}

QImage DecodePicture(const QString &FileName, QSize StoredSize, QSize Needed, PictureSource *Source,
    const DecodeCancel &Cancelled)
{
    PictureSource ignored;
    if (!Source)
        Source = &ignored;
    *Source = PictureSource::None;
    if (Needed.isEmpty() || StoredSize.isEmpty() || Area(StoredSize) > MaxDecodePixels)
        return {};

    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    char head[4];
    const qint64 n = file.peek(head, sizeof head);
    if (LooksLikeJpeg(head, n))
        return DecodeJpeg(file, Needed, Source, Cancelled);
    file.close();

    // Camera raw files and the other formats: decoders we do not own, run in the decoding
    // helper's process under its limits.
    const auto room = Reserve(HelperResultBytes(Needed), Cancelled);
    if (!room)
        return {};
    const HelperPicture picture = DecodeOutOfProcess(FileName, Needed, MaxDecodePixels);
    if (!picture.Image.isNull())
        *Source = picture.FromRawPreview ? PictureSource::RawPreview : PictureSource::ScaledDecode;
    return picture.Image;
}

FittedPicture DecodeFittedPicture(const QString &FileName, QSize Box, const DecodeCancel &Cancelled)
{
    FittedPicture result;
    // The helper measures and decodes the photos it reads in one call.
    {
        const auto room = Reserve(HelperResultBytes(Box), Cancelled);
        if (room && FitOutOfProcess(FileName, Box, result))
            return result;
    }
    result.StoredSize = MeasureImage(FileName);
    if (result.StoredSize.isEmpty() || Box.isEmpty())
        return result;
    result.Fit = AspectFitRect({0, 0, result.StoredSize.width(), result.StoredSize.height()},
        {0, 0, Box.width(), Box.height()});
    const QSize needed(result.Fit.Width(), result.Fit.Height());
    result.Image = DecodePicture(FileName, result.StoredSize, needed, &result.Source, Cancelled);
    return result;
}
