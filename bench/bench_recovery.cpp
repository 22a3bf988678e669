// The waiting list's recovery file for a long list (2,000 photos, every one with quantities, a
// layout and a crop): what the window thread pays once a second (a snapshot of the list and the
// comparison with the last one) and what the keeper's thread pays to write it (encode and an
// atomic write). Prints the best of several rounds; no anchor tool does this work.
#include "model/WaitingListFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double bestMs(int Rounds, const std::function<void()> &Work)
{
    double best = 1e300;
    for (int r = 0; r < Rounds; ++r) {
        QElapsedTimer t;
        t.start();
        Work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 2000;
    QTemporaryDir dir;

    std::vector<std::unique_ptr<TOrder>> orders;
    for (int n = 0; n < count; ++n) {
        auto order = TOrder::Create(dir.filePath(QStringLiteral("사진 폴더/IMG_%1.jpg").arg(n, 5, 10, QChar(u'0'))));
        order->FileSize = 4'000'000 + n;
        order->FileTime = 1'700'000'000'000LL + n;
        order->SetImageSize(4000, 3000);
        for (int i = 0; i < PrintSizeCount; ++i)
            order->SetQuantity(i, (n + i) % 3);
        order->SetLayout(TOrder::LayoutPaperFull);
        order->CropRects[2] = TFloatRect {12.5f, 0, 3012.5f, 2000};
        order->CropTexts[2] = QStringLiteral("12,0,3012,2000");
        orders.push_back(std::move(order));
    }

    WaitingList last = SnapshotOf(orders);
    const double tick = bestMs(20, [&] {
        WaitingList now = SnapshotOf(orders);
        if (!(now == last))
            std::abort();
    });
    QByteArray bytes;
    const double encode = bestMs(10, [&] { bytes = EncodeWaitingList(last); });
    const QString path = dir.filePath(QStringLiteral("kept/guest.json"));
    WaitingListKeeper keeper(path);
    const double write = bestMs(10, [&] {
        last[0].Quantities[0] ^= 1; // a change, so every round writes
        keeper.Keep(last);
        if (!keeper.Flush().isEmpty())
            std::abort();
    });
    const double decode = bestMs(10, [&] { DecodeWaitingList(bytes); });

    std::printf("recovery file, %d photos: %.1f kB\n", count, bytes.size() / 1024.0);
    std::printf("  window thread, snapshot and comparison per look: %.2f ms\n", tick);
    std::printf("  keeper thread, encode: %.1f ms; encode and atomic write: %.1f ms\n", encode, write);
    std::printf("  start-up, reading it back (decode only): %.1f ms\n", decode);
    return 0;
}
