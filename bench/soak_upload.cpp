// The upload soak, for bench/run-soak.sh: many seeds of one long upload each against the print
// service's seeded random faults, with a photo deleted and one saved over on the way.
//   soak_upload ROUTE FIRST_SEED COUNT [PHOTOS]     ROUTE: ftp or http
// Prints one line per run and a closing summary: how many completed, how many stopped, how
// many ended any other way (a false completion, a hang), and the memory of the process after
// each run and at its peak. Exit code 1 when any run ended any other way.
#include "upload/SoakRun.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace {

double residentMB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1 << 20) : 0;
}

double peakMB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: soak_upload ftp|http FIRST_SEED COUNT [PHOTOS]\n");
        return 2;
    }
    soak::Options opt;
    opt.Route = args[1];
    const unsigned first = args[2].toUInt();
    const int count = args[3].toInt();
    opt.Photos = args.size() > 4 ? args[4].toInt() : 300;
    opt.Rates = soak::DefaultRates(opt.Route);
    // KB_SOAK_RATES='{"http_status": 0.001}': other rates than a home line's, e.g. so that a web
    // route, which one failed post ends, completes some of its runs too.
    if (const QByteArray rates = qgetenv("KB_SOAK_RATES"); !rates.isEmpty()) {
        const QJsonDocument doc = QJsonDocument::fromJson(rates);
        if (!doc.isObject()) {
            std::fprintf(stderr, "KB_SOAK_RATES is not a JSON object\n");
            return 2;
        }
        opt.Rates = doc.object();
    }

    PrintService service;
    QString error;
    if (!service.start(&error)) {
        std::fprintf(stderr, "print service: %s\n", qPrintable(error));
        return 2;
    }
    soak::PhotoSet set(opt.Photos);
    int completed = 0, stopped = 0, other = 0;
    QList<double> after;
    for (int i = 0; i < count; ++i) {
        opt.Seed = first + unsigned(i);
        const soak::Outcome out = soak::Run(service, set, opt);
        after.append(residentMB());
        const QString verdict = !out.Sound() ? QStringLiteral("FAULT")
            : out.Completed                  ? QStringLiteral("completed")
                                             : QStringLiteral("stopped");
        (out.Sound() ? (out.Completed ? completed : stopped) : other)++;
        const QJsonObject fired = out.Chaos.value("fired").toObject();
        QStringList faults;
        for (auto it = fired.begin(); it != fired.end(); ++it)
            faults << QStringLiteral("%1=%2").arg(it.key()).arg(it.value().toInt());
        std::printf(
            "%s seed %u: %s in %.1f s, %d reconnections, faults {%s}; %s; rss %.0f MB%s%s\n",
            qPrintable(opt.Route), opt.Seed, qPrintable(verdict), out.Ms / 1000.0, out.Reconnects,
            qPrintable(faults.join(u' ')), qPrintable(out.Events), after.last(),
            out.Completed ? "" : qPrintable(QStringLiteral("; shown: ") + out.Ending.left(90)),
            out.Sound()
                ? ""
                : qPrintable(QStringLiteral("\n  ") + out.Faults.join(QStringLiteral("\n  "))));
        std::fflush(stdout);
    }
    std::printf("%s: %d runs, %d completed, %d stopped with the error shown, %d false or hung; "
                "rss after the first run %.0f MB, after the last %.0f MB, peak %.0f MB\n",
        qPrintable(opt.Route), count, completed, stopped, other, after.value(0),
        after.value(count - 1), peakMB());
    return other ? 1 : 0;
}
