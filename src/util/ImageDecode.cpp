#include "util/ImageDecode.h"

#include "util/JpegHeader.h"
#include "util/MeasureImage.h"
#include "util/DecodeHelper.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <libexif/exif-data.h>

#include <cstdlib>
#include <memory>

namespace {

QImage ScaledTo(QImage image, QSize size)
{
    if (image.isNull() || image.size() == size)
        return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Reads a picture from Device at exactly Needed. Qt's JPEG reader turns the scaled size into
// libjpeg's DCT scaling and smooths the rest; other readers decode fully, within the limit.
QImage ReadScaled(QImageReader &reader, QSize Needed)
{
    reader.setAutoTransform(false);
    reader.setAllocationLimit(DecodeAllocationLimitMB);
    reader.setScaledSize(Needed);
    return ScaledTo(reader.read(), Needed);
}

struct ExifDataDeleter
{
    void operator()(ExifData *d) const { exif_data_unref(d); }
};

// The JPEG thumbnail of the EXIF segment, when it is large enough and shows the whole photo.
QImage ExifThumbnail(QIODevice &file, const JpegHeader &header, QSize Needed)
{
    if (header.ExifOffset < 0 || header.ExifLength <= 6 || !file.seek(header.ExifOffset))
        return {};
    const QByteArray segment = file.read(header.ExifLength);
    if (segment.size() != header.ExifLength)
        return {};
    std::unique_ptr<ExifData, ExifDataDeleter> exif(exif_data_new());
    if (!exif)
        return {};
    // Only the thumbnail is wanted: no maker notes, no tag fix-ups.
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_option(exif.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
    exif_data_load_data(exif.get(), reinterpret_cast<const unsigned char *>(segment.constData()),
        unsigned(segment.size()));
    if (!exif->data || exif->size == 0)
        return {};

    QByteArray bytes(reinterpret_cast<const char *>(exif->data), qsizetype(exif->size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    const QSize thumb = reader.size();
    if (!thumb.isValid() || qint64(thumb.width()) * thumb.height() > MaxDecodePixels
        || thumb.width() < Needed.width() || thumb.height() < Needed.height()
        || !SameProportions(thumb, {header.Width, header.Height}))
        return {};
    return ReadScaled(reader, Needed);
}

// libjpeg keeps whole-image coefficient buffers for progressive files (2 bytes per
// coefficient); baseline files are decoded a few rows at a time.
bool JpegTooLarge(const JpegHeader &h)
{
    const qint64 pixels = qint64(h.Width) * h.Height;
    if (pixels > MaxDecodePixels)
        return true;
    return h.Progressive && pixels * h.Components * 2 > qint64(DecodeAllocationLimitMB) << 21;
}

QImage DecodeJpeg(QFile &file, QSize Needed, PictureSource *Source)
{
    JpegHeader header;
    if (!ReadJpegHeader(file, header) || JpegTooLarge(header))
        return {};
    QImage picture = ExifThumbnail(file, header, Needed);
    if (!picture.isNull()) {
        *Source = PictureSource::ExifThumbnail;
        return picture;
    }
    if (!file.seek(0))
        return {};
    QImageReader reader(&file, "jpeg");
    picture = ReadScaled(reader, Needed);
    if (!picture.isNull())
        *Source = PictureSource::ScaledDecode;
    return picture;
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

QImage DecodePicture(const QString &FileName, QSize StoredSize, QSize Needed, PictureSource *Source)
{
    PictureSource ignored;
    if (!Source)
        Source = &ignored;
    *Source = PictureSource::None;
    if (Needed.isEmpty() || StoredSize.isEmpty()
        || qint64(StoredSize.width()) * StoredSize.height() > MaxDecodePixels)
        return {};

    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    char head[4];
    const qint64 n = file.peek(head, sizeof head);
    if (LooksLikeJpeg(head, n))
        return DecodeJpeg(file, Needed, Source);

    file.close();

    // Camera raw files and the other formats: decoders we do not own, run in the decoding
    // helper's process under its limits.
    const HelperPicture picture = DecodeOutOfProcess(FileName, Needed, MaxDecodePixels);
    if (!picture.Image.isNull())
        *Source = picture.FromRawPreview ? PictureSource::RawPreview : PictureSource::ScaledDecode;
    return picture.Image;
}

FittedPicture DecodeFittedPicture(const QString &FileName, QSize Box)
{
    FittedPicture result;
    // The helper measures and decodes the photos it reads in one call.
    if (FitOutOfProcess(FileName, Box, result))
        return result;
    result.StoredSize = MeasureImage(FileName);
    if (result.StoredSize.isEmpty() || Box.isEmpty())
        return result;
    result.Fit = AspectFitRect({0, 0, result.StoredSize.width(), result.StoredSize.height()},
        {0, 0, Box.width(), Box.height()});
    const QSize needed(result.Fit.Width(), result.Fit.Height());
    result.Image = DecodePicture(FileName, result.StoredSize, needed, &result.Source);
    return result;
}
