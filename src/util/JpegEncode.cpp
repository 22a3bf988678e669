#include "util/JpegEncode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// libjpeg's default error_exit ends the process; ours jumps back to the encoder with the text.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void silentMessage(j_common_ptr) { }

// A growing malloc'ed buffer of our own: libjpeg's jpeg_mem_dest leaves its output pointer
// stale when an error strikes after the buffer grew, so it cannot be freed safely then.
struct MemoryDestination
{
    jpeg_destination_mgr pub;
    unsigned char *buffer = nullptr;
    std::size_t capacity = 0;
    std::size_t size = 0; // bytes finished before the current free space
};

constexpr std::size_t FirstChunk = 16384;

void growTo(j_compress_ptr cinfo, MemoryDestination &d, std::size_t capacity)
{
    auto *grown = static_cast<unsigned char *>(std::realloc(d.buffer, capacity));
    if (!grown) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    }
    d.buffer = grown;
    d.capacity = capacity;
    d.pub.next_output_byte = d.buffer + d.size;
    d.pub.free_in_buffer = d.capacity - d.size;
}

void initDestination(j_compress_ptr cinfo)
{
    auto &d = *reinterpret_cast<MemoryDestination *>(cinfo->dest);
    d.size = 0;
    growTo(cinfo, d, FirstChunk);
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    // libjpeg calls this with the whole buffer full, whatever free_in_buffer says.
    auto &d = *reinterpret_cast<MemoryDestination *>(cinfo->dest);
    d.size = d.capacity;
    growTo(cinfo, d, d.capacity * 2);
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto &d = *reinterpret_cast<MemoryDestination *>(cinfo->dest);
    d.size = d.capacity - d.pub.free_in_buffer;
}

// Everything the encoder touches lives here, outside the frame that setjmp returns into, so no
// local variable is left in doubt after a jump.
struct Encoder
{
    jpeg_compress_struct cinfo {};
    ErrorManager err {};
    MemoryDestination dest {};
    std::vector<JSAMPLE> row;
};

// Returns false with err.message set. No C++ object is created or destroyed between setjmp and
// the last libjpeg call.
bool compress(Encoder &e, const QImage &image)
{
    e.cinfo.err = jpeg_std_error(&e.err.pub);
    e.err.pub.error_exit = errorExit;
    e.err.pub.output_message = silentMessage;
    if (setjmp(e.err.jump)) {
        jpeg_destroy_compress(&e.cinfo);
        return false;
    }
    jpeg_create_compress(&e.cinfo);
    e.dest.pub.init_destination = initDestination;
    e.dest.pub.empty_output_buffer = emptyOutputBuffer;
    e.dest.pub.term_destination = termDestination;
    e.cinfo.dest = &e.dest.pub;
    e.cinfo.image_width = static_cast<JDIMENSION>(image.width());
    e.cinfo.image_height = static_cast<JDIMENSION>(image.height());
    e.cinfo.input_components = 3;
    e.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&e.cinfo);
    jpeg_set_quality(&e.cinfo, 100, TRUE);
    jpeg_start_compress(&e.cinfo, TRUE);
    const int width = image.width();
    JSAMPLE *row = e.row.data();
    while (e.cinfo.next_scanline < e.cinfo.image_height) {
        // The colour channels carry over as stored; alpha is dropped, not blended.
        const auto *src = reinterpret_cast<const QRgb *>(
            image.constScanLine(static_cast<int>(e.cinfo.next_scanline)));
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<JSAMPLE>(qRed(src[x]));
            row[3 * x + 1] = static_cast<JSAMPLE>(qGreen(src[x]));
            row[3 * x + 2] = static_cast<JSAMPLE>(qBlue(src[x]));
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&e.cinfo, rows, 1);
    }
    jpeg_finish_compress(&e.cinfo);
    jpeg_destroy_compress(&e.cinfo);
    return true;
}

bool isRawArgb(QImage::Format f)
{
    return f == QImage::Format_ARGB32 || f == QImage::Format_RGB32
        || f == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

bool BitmapToJpeg(const Bitmap32 &Bitmap, QByteArray &Jpeg, QString *Error)
{
    Jpeg.clear();
    Encoder e;
    bool ok = false;
    {
        Bitmap32Locker lock(Bitmap);
        const QImage &source = Bitmap.Image();
        // A picture in another format is read through a 32-bit copy; ours are ARGB32 already.
        const QImage image
            = isRawArgb(source.format()) ? source : source.convertToFormat(QImage::Format_RGB32);
        e.row.resize(static_cast<std::size_t>(image.width()) * 3 + 3);
        ok = compress(e, image);
    }
    if (ok)
        Jpeg = QByteArray(
            reinterpret_cast<const char *>(e.dest.buffer), static_cast<qsizetype>(e.dest.size));
    else if (Error)
        *Error = QString::fromLocal8Bit(e.err.message);
    std::free(e.dest.buffer);
    return ok;
}

bool BitmapToJpegStream(const Bitmap32 &Bitmap, QBuffer &Stream, QString *Error)
{
    QByteArray jpeg;
    const bool ok = BitmapToJpeg(Bitmap, jpeg, Error);
    const QIODevice::OpenMode mode = Stream.isOpen() ? Stream.openMode() : QIODevice::ReadOnly;
    Stream.close();
    Stream.setData(jpeg);
    Stream.open(mode & ~(QIODevice::Append | QIODevice::Truncate));
    Stream.seek(0);
    return ok;
}
