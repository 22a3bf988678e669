// Photo measuring and thumbnails, timed per file in plain loops, plus the photo set they run on.
//   bench_imaging make-set DIR SMALL CAMERA   1024 x 768 and 6000 x 4000 JPEGs (half of the
//                                             camera ones with a 160 x 107 EXIF thumbnail)
//   bench_imaging measure ROUNDS FILE...      MeasureImage per file
//   bench_imaging floor ROUNDS FILE...        bare libjpeg jpeg_read_header per file
//   bench_imaging thumb FILE...               LoadThumbnail (Wait) per photo
//   bench_imaging peak FILE                   one measure + thumbnail, then peak memory
//   bench_imaging make-raw DIR N              N camera raw files (DNG, 3000 x 2000 sensor,
//                                             1620 x 1080 JPEG preview)
//   bench_imaging raw ROUNDS FILE...          raw thumbnail 120 x 105 per photo: LibRaw in this
//                                             process beside the decoding helper; and what
//                                             the helper's check costs a JPEG
//   bench_imaging make-hostile DIR            20 photos crafted to exhaust the decoders
//   bench_imaging hostile [--unshared] FILE...
//                                             every file decoded as the grid (5 threads) and
//                                             the cards (3 threads) do at once: time until all
//                                             are done, the longest stall of the main thread's
//                                             event loop, peak memory; --unshared: each decode
//                                             keeps its cap but the decodes no longer share
//                                             one budget (what the budget saves)
//   bench_imaging bookkeeping ROUNDS FILE     the budget's cost per decode: reserving and
//                                             releasing room, and the header walk to the
//                                             first scan, beside the walk to the frame only
// Output: "key value" lines.
#include "../tests/common/HostileFixtures.h"
#include "../tests/common/JpegFixtures.h"
#include "../tests/common/RawFixtures.h"
#include "decoder/RawDecoder.h"
#include "model/LoadThumbThreadObj.h"
#include "util/DecodeHelper.h"
#include "util/DecodeBudget.h"
#include "util/ImageDecode.h"
#include "util/JpegHeader.h"
#include "util/MeasureImage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double NsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

int MakeSet(const QString &dir, int small, int camera)
{
    QDir().mkpath(dir + "/small");
    QDir().mkpath(dir + "/camera");
    for (int i = 0; i < small; ++i) {
        const QString path = QString("%1/small/p%2.jpg").arg(dir).arg(i, 4, 10, QChar('0'));
        if (!QFile::exists(path))
            WriteFile(path, fixtures::EncodeJpeg(fixtures::Textured(1024, 768, i + 1), 90));
    }
    for (int i = 0; i < camera; ++i) {
        const bool exif = i % 2 == 0;
        const QString path = QString("%1/camera/%2%3.jpg")
                                 .arg(dir, exif ? "exif" : "plain")
                                 .arg(i, 3, 10, QChar('0'));
        if (QFile::exists(path))
            continue;
        const QImage photo = fixtures::Textured(6000, 4000, 1000 + i);
        QByteArray jpeg = fixtures::EncodeJpeg(photo, 92);
        if (exif)
            jpeg = fixtures::WithExif(jpeg,
                fixtures::EncodeJpeg(
                    photo.scaled(160, 107, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), 90));
        WriteFile(path, jpeg);
    }
    WriteFile(dir + "/65500x65500-header.jpg",
        fixtures::WithClaimedSize(
            fixtures::EncodeJpeg(fixtures::Solid(8, 8, Qt::gray)), 65500, 65500));
    return 0;
}

int Measure(int rounds, const QStringList &files)
{
    qint64 sum = 0;
    const auto t0 = Clock::now();
    for (int r = 0; r < rounds; ++r)
        for (const QString &f : files) {
            const QSize s = MeasureImage(f);
            sum += s.width() + s.height();
        }
    std::printf("measure_ns_per_file %.0f\nchecksum %lld\n", NsSince(t0) / (rounds * files.size()),
        static_cast<long long>(sum));
    return 0;
}

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// Kept apart from the loop so that longjmp clobbers nothing the loop holds.
long ReadHeaderSum(jpeg_decompress_struct &info, ErrorManager &err, FILE *fp)
{
    if (setjmp(err.jump) != 0)
        return 0;
    jpeg_stdio_src(&info, fp);
    jpeg_read_header(&info, TRUE);
    return long(info.image_width + info.image_height);
}

int Floor(int rounds, const QStringList &files)
{
    std::vector<QByteArray> names;
    for (const QString &f : files)
        names.push_back(QFile::encodeName(f));
    jpeg_decompress_struct info;
    ErrorManager err;
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit
        = [](j_common_ptr c) { std::longjmp(reinterpret_cast<ErrorManager *>(c->err)->jump, 1); };
    jpeg_create_decompress(&info);
    qint64 sum = 0;
    const auto t0 = Clock::now();
    for (int r = 0; r < rounds; ++r)
        for (const QByteArray &name : names) {
            FILE *fp = std::fopen(name.constData(), "rb");
            if (!fp)
                continue;
            sum += ReadHeaderSum(info, err, fp);
            jpeg_abort_decompress(&info);
            std::fclose(fp);
        }
    std::printf("floor_ns_per_file %.0f\nchecksum %lld\n", NsSince(t0) / (rounds * names.size()),
        static_cast<long long>(sum));
    jpeg_destroy_decompress(&info);
    return 0;
}

int Thumb(const QStringList &files)
{
    auto bitmap = Bitmap32::Create();
    const auto t0 = Clock::now();
    for (const QString &f : files)
        LoadThumbnail(bitmap, f, true);
    std::printf("thumb_ns_per_photo %.0f\n", NsSince(t0) / files.size());
    return 0;
}

int Peak(const QString &file)
{
    auto bitmap = Bitmap32::Create();
    QSize size;
    if (!file.isEmpty()) {
        size = MeasureImage(file);
        LoadThumbnail(bitmap, file, true);
    }
    const QImage image = bitmap->Snapshot();
    bool white = image.size() == QSize(120, 105);
    for (int y = 0; white && y < image.height(); ++y)
        for (int x = 0; white && x < image.width(); ++x)
            white = image.pixel(x, y) == 0xFFFFFFFF;
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("measured %dx%d\nthumbnail_all_white %d\npeak_rss_mb %.1f\n", size.width(),
        size.height(), white ? 1 : 0, usage.ru_maxrss / 1024.0);
    return 0;
}

int MakeHostile(const QString &dir)
{
    using namespace hostile;
    QDir().mkpath(dir);
    // At the default budget: some just under the per-decode cap, the rest far over it.
    const QList<std::pair<const char *, QByteArray>> kinds {
        {"progressive-444-6300", ProgressiveClaiming(6300, 6300)},
        {"progressive-444-9400", ProgressiveClaiming(9400, 9400)},
        {"split-scan-6300", SplitScanClaiming(6300, 6300)},
        {"progressive-grey-16000x12000", ProgressiveClaiming(16000, 12000, true)},
        {"progressive-444-6200", ProgressiveClaiming(6200, 6200)},
        {"exif-thumbnail-14142", ExifThumbnailClaiming(14142)},
        {"png-bomb-8000", PngBomb(8000, 8000)},
        {"noisy-progressive-6300", NoisyScan(ProgressiveClaiming(6300, 6300))},
        {"cut-progressive-9400", Cut(ProgressiveClaiming(9400, 9400), 300)},
        {"photo", fixtures::EncodeJpeg(fixtures::Textured(1024, 768))},
    };
    for (int i = 0; i < 20; ++i) {
        const auto &[kind, bytes] = kinds[i % kinds.size()];
        WriteFile(QString("%1/%2-%3.jpg").arg(dir, kind).arg(i, 2, 10, QChar('0')), bytes);
    }
    return 0;
}

int Hostile(bool unshared, const QStringList &files)
{
    if (unshared) // every decode of the run could hold its cap at once
        SetDecodeBudget(DefaultDecodeBudget * 8, DefaultDecodeBudget);
    PeakMemory::Reset();
    const qint64 base = PeakMemory::Rss();
    QThreadPool grid;
    grid.setMaxThreadCount(5);
    std::vector<std::shared_ptr<Bitmap32>> cards;
    std::atomic<int> pictures {0};
    QElapsedTimer clock;
    clock.start();
    for (const QString &f : files) {
        grid.start([f, &pictures] {
            if (!DecodeFittedPicture(f, {130, 130}).Image.isNull())
                ++pictures;
        });
        cards.push_back(Bitmap32::Create());
        LoadThumbnail(cards.back(), f, false);
    }
    // The main thread meanwhile runs an event loop, as the window's would.
    qint64 last = clock.nsecsElapsed(), stall = 0;
    QTimer tick;
    QEventLoop loop;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        stall = qMax(stall, now - last);
        last = now;
        if (grid.activeThreadCount() == 0 && ThumbnailLoadStatistics().Queued == 0)
            loop.quit();
    });
    tick.start(5);
    loop.exec();
    grid.waitForDone();
    WaitForThumbnailLoads();
    const double total = clock.nsecsElapsed() / 1e6;
    const DecodeBudgetCounts counts = DecodeBudgetStatistics();
    std::printf("files %lld\npictures %d\nall_done_ms %.1f\nlongest_stall_ms %.1f\n"
                "peak_over_base_mb %.1f\nbase_mb %.1f\nbudget_peak_mb %.1f\nwaited %llu\n"
                "refused %llu\n",
        static_cast<long long>(files.size()), pictures.load(), total, stall / 1e6,
        (PeakMemory::Peak() - base) / 1e6, base / 1e6, counts.PeakInUse / 1e6,
        static_cast<unsigned long long>(counts.Waited),
        static_cast<unsigned long long>(counts.Refused));
    return 0;
}

int Bookkeeping(int rounds, const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 1;
    JpegHeader h;
    qint64 sum = 0;
    auto t0 = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        DecodeReservation room(1 << 20);
        sum += room.Granted();
    }
    const double reserve = NsSince(t0) / rounds;
    t0 = Clock::now();
    for (int r = 0; r < rounds; ++r)
        sum += ReadJpegHeader(f, h, false) ? h.Width : 0;
    const double frame = NsSince(t0) / rounds;
    t0 = Clock::now();
    for (int r = 0; r < rounds; ++r)
        sum += ReadJpegHeader(f, h, true) ? h.FirstScanComponents : 0;
    const double scan = NsSince(t0) / rounds;
    std::printf("reserve_release_ns %.0f\nheader_to_frame_ns %.0f\nheader_to_scan_ns %.0f\n"
                "checksum %lld\n",
        reserve, frame, scan, static_cast<long long>(sum));
    return 0;
}

int MakeRaw(const QString &dir, int count)
{
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        const QString path = QString("%1/raw%2.nef").arg(dir).arg(i, 3, 10, QChar('0'));
        if (QFile::exists(path))
            continue;
        const QImage preview = fixtures::Textured(1620, 1080, 500 + i);
        WriteFile(path, fixtures::MakeDng(3000, 2000, preview, fixtures::EncodeJpeg(preview, 90)));
    }
    return 0;
}

// The old way, in this process: LibRaw opened twice (measure, then preview), as before.
QImage RawInProcess(const QString &file, QSize box)
{
    const QSize stored = RawFile(file).Size();
    if (stored.isEmpty())
        return {};
    const TRect fit
        = AspectFitRect({0, 0, stored.width(), stored.height()}, {0, 0, box.width(), box.height()});
    return RawFile(file).Preview({fit.Width(), fit.Height()}, MaxDecodePixels);
}

int Raw(int rounds, const QStringList &files)
{
    const QSize box(120, 105);
    QStringList raws, jpegs;
    for (const QString &f : files)
        (f.endsWith(".nef") ? raws : jpegs) << f;
    DecodeFittedPicture(raws.value(0), box); // starts the helpers, as the first photo does
    double inProcess = 1e300, outOfProcess = 1e300, check = 1e300;
    int bad = 0;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        for (const QString &f : raws)
            bad += RawInProcess(f, box).isNull();
        inProcess = qMin(inProcess, NsSince(t0) / raws.size());
        t0 = Clock::now();
        for (const QString &f : raws)
            bad += DecodeFittedPicture(f, box).Image.isNull();
        outOfProcess = qMin(outOfProcess, NsSince(t0) / raws.size());
        if (!jpegs.isEmpty()) {
            FittedPicture unused;
            t0 = Clock::now();
            for (const QString &f : jpegs)
                bad += FitOutOfProcess(f, box, unused);
            check = qMin(check, NsSince(t0) / jpegs.size());
        }
    }
    std::printf("raw_in_process_ns %.0f\nraw_out_of_process_ns %.0f\njpeg_check_ns %.0f\n"
                "failures %d\n",
        inProcess, outOfProcess, jpegs.isEmpty() ? 0.0 : check, bad);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 4 && args[0] == "make-set")
        return MakeSet(args[1], args[2].toInt(), args[3].toInt());
    if (args.size() >= 3 && args[0] == "measure")
        return Measure(args[1].toInt(), args.mid(2));
    if (args.size() >= 3 && args[0] == "floor")
        return Floor(args[1].toInt(), args.mid(2));
    if (args.size() >= 2 && args[0] == "thumb")
        return Thumb(args.mid(1));
    if (args.size() == 3 && args[0] == "make-raw")
        return MakeRaw(args[1], args[2].toInt());
    if (args.size() >= 3 && args[0] == "raw")
        return Raw(args[1].toInt(), args.mid(2));
    if (args.size() == 2 && args[0] == "peak")
        return Peak(args[1]);
    if (args.size() == 2 && args[0] == "make-hostile")
        return MakeHostile(args[1]);
    if (args.size() >= 2 && args[0] == "hostile") {
        const bool unshared = args[1] == "--unshared";
        return Hostile(unshared, args.mid(unshared ? 2 : 1));
    }
    if (args.size() == 3 && args[0] == "bookkeeping")
        return Bookkeeping(args[1].toInt(), args[2]);
    if (args.size() == 1 && args[0] == "peak-baseline")
        return Peak(QString()); // the process with Qt loaded and nothing decoded
    std::fprintf(stderr, "usage: see the head of bench_imaging.cpp\n");
    return 2;
}
