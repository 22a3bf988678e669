// The upload engine on loopback, for bench/run-upload.sh, which runs the anchor tools beside it.
//   bench_upload ftp WEB_URL FTP_URL USER FILE...    whole FTP route (photos + thumbnails +
//                                                    cart-info post); prints bytes, seconds,
//                                                    throughput and peak memory; "seconds" is
//                                                    the whole upload, "route_seconds" from the
//                                                    first photo to the last one's end
//   bench_upload ftp-prepared ...                    the same after the thumbnails were made
//                                                    ahead, as while photos sit on the order list
//   bench_upload http WEB_URL UPLOAD_URL USER FILE...  the web route without the pauses after
//                                                    each photo (FTP pointed at a closed port)
//   bench_upload make FILE MEGABYTES                 a JPEG of that size that does not compress
#include "model/uBrimvaleOrders.h"
#include "upload/IUploadObserver.h"
#include "upload/UploadEngine.h"
#include "upload/UploadTexts.h"
#include "upload/UploadThumbnails.h"
#include "model/ThumbnailService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QStringList>

#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Silent, but notes when the first photo starts and when the last one is done.
class QuietObserver : public IUploadObserver
{
public:
    QElapsedTimer Clock;
    qint64 FirstPhotoNs = -1;
    qint64 LastPhotoNs = -1;

    void SetMessage(const QString &Text) override
    {
        if (FirstPhotoNs < 0 && Text.startsWith(UploadTexts::Sending))
            FirstPhotoNs = Clock.nsecsElapsed();
    }
    void SetSpeed(const QString &) override {}
    void SetExceptionText(const QString &) override {}
    void FileGauge(std::int64_t, std::int64_t) override {}
    void TotalGauge(int Max, int Progress) override
    {
        if (Max > 0 && Progress == Max)
            LastPhotoNs = Clock.nsecsElapsed();
    }
    void SetCancelEnabled(bool) override {}
    void ShowMessage(const QString &Text) override { std::fprintf(stderr, "message: %s\n", qPrintable(Text)); }
    bool AskWebRoute(const QString &) override { return true; }
    void ShowError(const QString &Text) override { std::fprintf(stderr, "error: %s\n", qPrintable(Text)); }
    void OpenBrowser(const QByteArray &) override {}
};

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

int make(const QString &path, qint64 megabytes)
{
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray small;
    {
        QBuffer buffer(&small);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG", 90);
    }
    // A small picture, then noise after its end marker: the file has the size of a large
    // photo and does not compress, while its thumbnail stays cheap to draw.
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    f.write(small);
    const qint64 target = megabytes * 1024 * 1024;
    unsigned state = 12345;
    QByteArray block(1 << 20, '\0');
    for (qint64 written = small.size(); written < target; written += block.size()) {
        for (qsizetype i = 0; i < block.size(); ++i) {
            state = state * 1664525u + 1013904223u;
            block[i] = char(state >> 24);
        }
        f.write(block.constData(), qMin<qint64>(block.size(), target - written));
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == "make")
        return make(args[1], args[2].toLongLong());
    if (args.size() < 5 || (args[0] != "ftp" && args[0] != "ftp-prepared" && args[0] != "http")) {
        std::fprintf(stderr, "usage: bench_upload ftp|ftp-prepared|http WEB_URL FTP_OR_UPLOAD_URL USER FILE...\n");
        return 2;
    }
    const bool ftp = args[0].startsWith("ftp");
    const bool prepared = args[0] == "ftp-prepared";
    std::vector<std::unique_ptr<TOrder>> orders;
    qint64 bytes = 0;
    for (const QString &file : args.mid(4)) {
        auto order = TOrder::Create(file);
        order->SetQuantity(2, 1);
        order->SetLayout(TOrder::LayoutPaperFull);
        bytes += QFileInfo(file).size();
        orders.push_back(std::move(order));
    }
    QuietObserver observer;
    UploadEngine engine(observer);
    UploadSettings settings = UploadSettings::FromConfig();
    settings.WebUrl = args[1];
    if (ftp) {
        settings.FtpUrl = args[2];
        settings.UploadUrl = args[1];
        // KB_VERIFY_STORES=0: stores taken at their reply, to show what the SIZE check costs
        settings.VerifyStores = qEnvironmentVariable("KB_VERIFY_STORES") != "0";
    } else {
        settings.UploadUrl = args[2];
        settings.FtpUrl = QStringLiteral("ftp://127.0.0.1:1"); // refused: the web route
        settings.PhotoPauseMs = 0;
    }
    QList<TOrder *> list;
    for (const auto &o : orders)
        list.append(o.get());
    UploadRequest request = UploadRequest::FromOrders(args[3], list, settings);
    if (prepared) {
        for (const auto &o : orders)
            UploadThumbnails::Shared().Prepare(o->FileName);
        UploadThumbnails::Shared().WaitForBackground();
    }
    observer.Clock.start();
    const bool ok = engine.RunUpload(std::move(request));
    const double seconds = observer.Clock.nsecsElapsed() / 1e9;
    const double routeSeconds = (observer.LastPhotoNs - observer.FirstPhotoNs) / 1e9;
    std::printf("completed %d\nbytes %lld\nseconds %.3f\nroute_seconds %.3f\nmb_per_s %.1f\n"
                "route_mb_per_s %.1f\npeak_rss_mb %.1f\nthumbnails_ready %llu\n"
                "thumbnail_bytes_kept_each %.0f\ndecoding_threads_peak %d\n",
        ok ? 1 : 0, static_cast<long long>(bytes), seconds, routeSeconds,
        bytes / 1048576.0 / seconds, bytes / 1048576.0 / routeSeconds, peakRssMb(),
        static_cast<unsigned long long>(UploadThumbnails::Shared().Statistics().TakenReady),
        double(UploadThumbnails::Shared().Statistics().KeptBytes)
            / qMax(1, UploadThumbnails::Shared().Statistics().Kept),
        ThumbnailService::Shared().Statistics().PeakBusy);
    return ok ? 0 : 1;
}
