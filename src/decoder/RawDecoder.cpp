#include "decoder/RawDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <libraw/libraw.h>

#include <memory>

namespace {

std::unique_ptr<LibRaw> OpenRaw(const QString &FileName)
{
    // LibRaw's object is large (hundreds of KB): keep it off the stack.
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
#ifdef _WIN32
    const int rc = raw->open_file(reinterpret_cast<const wchar_t *>(FileName.utf16()));
#else
    const int rc = raw->open_file(QFile::encodeName(FileName).constData());
#endif
    if (rc != LIBRAW_SUCCESS)
        return nullptr;
    return raw;
}

} // namespace

RawFile::RawFile(const QString &FileName)
    : Raw(OpenRaw(FileName))
{ }

RawFile::~RawFile() = default;

QSize RawFile::Size() const
{
    if (!Raw)
        return {0, 0};
    const int w = Raw->imgdata.sizes.width;
    const int h = Raw->imgdata.sizes.height;
    if (w <= 0 || h <= 0)
        return {0, 0};
    return {w, h};
}

QImage RawFile::Preview(QSize Needed, qint64 MaxPixels)
{
    if (Needed.isEmpty() || !Raw || Raw->unpack_thumb() != LIBRAW_SUCCESS)
        return {};
    LibRaw *raw = Raw.get();
    const auto &t = raw->imgdata.thumbnail;
    if (qint64(t.twidth) * t.theight > MaxPixels)
        return {};
    int err = 0;
    libraw_processed_image_t *mem = raw->dcraw_make_mem_thumb(&err);
    if (!mem)
        return {};
    QImage picture;
    if (mem->type == LIBRAW_IMAGE_JPEG) {
        QByteArray bytes = QByteArray::fromRawData(
            reinterpret_cast<const char *>(mem->data), qsizetype(mem->data_size));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "jpeg");
        reader.setAutoTransform(false);
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() <= MaxPixels) {
            reader.setScaledSize(Needed);
            picture = reader.read();
        }
    } else if (mem->type == LIBRAW_IMAGE_BITMAP && mem->colors == 3 && mem->bits == 8
        && qint64(mem->data_size) >= qint64(mem->width) * mem->height * 3) {
        const QImage view(
            mem->data, mem->width, mem->height, qsizetype(mem->width) * 3, QImage::Format_RGB888);
        picture = view.scaled(Needed, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    LibRaw::dcraw_clear_mem(mem);
    if (!picture.isNull() && picture.size() != Needed)
        picture = picture.scaled(Needed, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return picture;
}
