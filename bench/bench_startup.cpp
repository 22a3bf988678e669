// Start-up of the client as a customer starts it with an id on the command line: from process
// start (KB_BENCH_T0, nanoseconds of the real-time clock taken just before exec) to the main
// window shown and the event loop idle, then to the banner loaded; and the memory at that point
// (this process's peak, plus the web engine's helper processes). Run by bench/run-startup.sh.
#include "app/KestrunApplication.h"
#include "app/MainFrm.h"
#include "notices/NoticeWindows.h"
#include "notices/WebView.h"
#include "ui/Skin.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

double msSince(long long T0)
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return (now.tv_sec * 1000000000LL + now.tv_nsec - T0) / 1e6;
}

// Resident memory of every process whose ancestry leads to this one, in kB.
long descendantsRssKb()
{
    QHash<int, int> parent;
    QHash<int, long> rss;
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool ok = false;
        const int pid = entry.toInt(&ok);
        if (!ok)
            continue;
        QFile status("/proc/" + entry + "/status");
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("PPid:"))
                parent[pid] = line.mid(5).trimmed().toInt();
            else if (line.startsWith("VmRSS:"))
                rss[pid] = line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    const int self = getpid();
    long total = 0;
    for (auto it = parent.constBegin(); it != parent.constEnd(); ++it) {
        for (int p = it.key(); p > 1; p = parent.value(p, 0)) {
            if (p == self) {
                total += rss.value(it.key());
                break;
            }
        }
    }
    return total;
}

} // namespace

int main(int argc, char **argv)
{
    const long long t0 = qEnvironmentVariable("KB_BENCH_T0").toLongLong();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    KestrunApplication app(argc, argv);
    ApplySkin(app);
    TfrmMain frmMain(QStringList {QStringLiteral("KestrunBrimvale"), QStringLiteral("guest")});
    CreateNoticeWindows(&frmMain);
    frmMain.show();

    double idleMs = 0;
    QTimer::singleShot(0, &app, [&] { idleMs = msSince(t0); });
    QObject::connect(frmMain.wbBanner(), &WebView::ProgressChange, &app, [&](int P, int M) {
        if (P != M || !frmMain.wbBanner()->Loaded())
            return;
        const double loadedMs = msSince(t0);
        QTimer::singleShot(300, &app, [&, loadedMs] {
            rusage usage;
            getrusage(RUSAGE_SELF, &usage);
            const long tree = descendantsRssKb();
            printf("%s idle_ms=%.1f banner_ms=%.1f peak_rss_mb=%.1f total_rss_mb=%.1f\n",
                frmMain.wbBanner()->Kind() == WebView::Backend::Engine ? "engine" : "text", idleMs,
                loadedMs, usage.ru_maxrss / 1024.0, tree / 1024.0);
            app.quit();
        });
    });
    QTimer::singleShot(30000, &app, [&] { app.exit(1); });
    return app.exec();
}
