#include "util/JpegEncode.h"

#include <QTest>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

// What a decoder sees in one of our JPEGs.
struct Decoded
{
    bool ok = false;
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    bool arithmetic = false;
    bool jfif = false;
    int quantTables = 0;
    std::vector<unsigned> luminanceTable; // 64 entries
    std::vector<unsigned> chrominanceTable;
    std::vector<unsigned char> pixels; // RGB
};

struct DecodeError
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void decodeErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<DecodeError *>(cinfo->err)->jump, 1);
}

void decode(const QByteArray &jpeg, Decoded &out)
{
    jpeg_decompress_struct cinfo{};
    DecodeError err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = decodeErrorExit;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        out.ok = false;
        return;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    out.width = static_cast<int>(cinfo.image_width);
    out.height = static_cast<int>(cinfo.image_height);
    out.components = cinfo.num_components;
    out.progressive = cinfo.progressive_mode;
    out.arithmetic = cinfo.arith_code;
    out.jfif = cinfo.saw_JFIF_marker;
    for (int t = 0; t < NUM_QUANT_TBLS; ++t) {
        if (!cinfo.quant_tbl_ptrs[t])
            continue;
        ++out.quantTables;
        auto &table = t == 0 ? out.luminanceTable : out.chrominanceTable;
        table.assign(cinfo.quant_tbl_ptrs[t]->quantval, cinfo.quant_tbl_ptrs[t]->quantval + 64);
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.pixels.resize(std::size_t(out.width) * out.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.pixels.data() + std::size_t(cinfo.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    out.ok = true;
}

// Baseline DCT is the SOF0 marker; a progressive or extended file would carry SOF1/SOF2.
bool hasMarker(const QByteArray &jpeg, unsigned char marker)
{
    return jpeg.contains(QByteArray("\xFF") + char(marker));
}

// A thumbnail-like picture: four coloured quadrants with a varying alpha that must not matter.
std::shared_ptr<Bitmap32> quadrants(int width, int height, int alpha)
{
    auto bitmap = Bitmap32::Create();
    bitmap->SetSize(width, height);
    Bitmap32Locker lock(*bitmap);
    QImage &image = bitmap->Image();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            const QRgb c = !right && !bottom ? qRgba(255, 255, 255, alpha)
                : right && !bottom           ? qRgba(200, 30, 40, alpha)
                : !right                     ? qRgba(20, 160, 60, alpha)
                                             : qRgba(30, 50, 210, alpha);
            image.setPixel(x, y, c);
        }
    return bitmap;
}

int maxDifference(const Decoded &d, const QImage &image, int margin)
{
    int worst = 0;
    for (int y = margin; y < d.height - margin; ++y)
        for (int x = margin; x < d.width - margin; ++x) {
            // Keep off the quadrant edges, where 4:2:0 chroma smears by design.
            if (std::abs(x - d.width / 2) < margin || std::abs(y - d.height / 2) < margin)
                continue;
            const QRgb c = image.pixel(x, y);
            const unsigned char *p = &d.pixels[(std::size_t(y) * d.width + x) * 3];
            worst = std::max({worst, std::abs(p[0] - qRed(c)), std::abs(p[1] - qGreen(c)),
                              std::abs(p[2] - qBlue(c))});
        }
    return worst;
}

} // namespace

class TestJpegEncode : public QObject
{
    Q_OBJECT
private slots:
    void thumbnailFile();
    void alphaIgnored();
    void streamReplacedAndRewound();
    void emptyBitmapFails();
    void largeBitmap();
};

void TestJpegEncode::thumbnailFile()
{
    auto bitmap = quadrants(120, 105, 255);
    const QImage before = bitmap->Snapshot();
    QBuffer stream;
    QVERIFY(BitmapToJpegStream(*bitmap, stream));
    QVERIFY(stream.isOpen());
    QCOMPARE(stream.pos(), qint64(0));
    const QByteArray jpeg = stream.readAll();
    QVERIFY(jpeg.startsWith("\xFF\xD8\xFF\xE0")); // SOI, then the JFIF APP0 segment
    QCOMPARE(jpeg.mid(6, 5), QByteArray("JFIF\0", 5));
    QVERIFY(jpeg.endsWith("\xFF\xD9"));
    QVERIFY(hasMarker(jpeg, 0xC0));
    QVERIFY(!hasMarker(jpeg, 0xC2));

    Decoded d;
    decode(jpeg, d);
    QVERIFY(d.ok);
    QCOMPARE(d.width, 120);
    QCOMPARE(d.height, 105);
    QCOMPARE(d.components, 3);
    QVERIFY(d.jfif);
    QVERIFY(!d.progressive);
    QVERIFY(!d.arithmetic);
    // Quality 100 on the IJG scale: every entry of both default tables is 1.
    QCOMPARE(d.quantTables, 2);
    QCOMPARE(d.luminanceTable, std::vector<unsigned>(64, 1));
    QCOMPARE(d.chrominanceTable, std::vector<unsigned>(64, 1));
    QVERIFY2(maxDifference(d, before, 4) <= 3, "decoded colours are far from the bitmap's");
    QCOMPARE(bitmap->Snapshot(), before);
}

void TestJpegEncode::alphaIgnored()
{
    // Alpha is dropped, not blended: a transparent picture encodes like an opaque one.
    QByteArray opaque, transparent;
    QVERIFY(BitmapToJpeg(*quadrants(120, 105, 255), opaque));
    QVERIFY(BitmapToJpeg(*quadrants(120, 105, 0), transparent));
    QCOMPARE(transparent, opaque);
}

void TestJpegEncode::streamReplacedAndRewound()
{
    // A reused stream, left at its end with older and longer contents, holds only the JPEG.
    QBuffer stream;
    stream.open(QIODevice::ReadWrite);
    stream.write(QByteArray(100000, 'x'));
    QVERIFY(BitmapToJpegStream(*quadrants(16, 8, 255), stream));
    QCOMPARE(stream.pos(), qint64(0));
    QVERIFY(stream.openMode() & QIODevice::WriteOnly);
    const QByteArray jpeg = stream.data();
    QVERIFY(jpeg.size() < 100000);
    QVERIFY(jpeg.startsWith("\xFF\xD8"));
    QVERIFY(jpeg.endsWith("\xFF\xD9"));
}

void TestJpegEncode::emptyBitmapFails()
{
    // libjpeg refuses an empty image; the program must get a failure, not an exit.
    auto bitmap = Bitmap32::Create();
    QBuffer stream;
    stream.setData("old");
    QString error;
    QVERIFY(!BitmapToJpegStream(*bitmap, stream, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(stream.size(), qint64(0));
    QCOMPARE(stream.pos(), qint64(0));
    // The encoder is still usable afterwards.
    QByteArray jpeg;
    QVERIFY(BitmapToJpeg(*quadrants(8, 8, 255), jpeg));
}

void TestJpegEncode::largeBitmap()
{
    // Big enough that the output buffer must grow several times.
    auto bitmap = Bitmap32::Create();
    bitmap->SetSize(1200, 900);
    {
        Bitmap32Locker lock(*bitmap);
        QImage &image = bitmap->Image();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 7) ^ y, (y * 13) & 255, (x * y) & 255));
    }
    QByteArray jpeg;
    QVERIFY(BitmapToJpeg(*bitmap, jpeg));
    QVERIFY(jpeg.size() > 64 * 1024);
    Decoded d;
    decode(jpeg, d);
    QVERIFY(d.ok);
    QCOMPARE(d.width, 1200);
    QCOMPARE(d.height, 900);
}

QTEST_APPLESS_MAIN(TestJpegEncode)
#include "tst_jpegencode.moc"
