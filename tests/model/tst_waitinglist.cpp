// The waiting list's recovery file: what it keeps, what it refuses, how a kept list comes back.

#include "common/JpegFixtures.h"
#include "model/WaitingListFile.h"

#include <QDateTime>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString writePhoto(const QString &Folder, const QString &Name, int W, int H, unsigned Seed = 1)
{
    return fixtures::WriteFixture(Folder, Name, fixtures::EncodeJpeg(fixtures::Textured(W, H, Seed)));
}

// An order as a customer leaves it: quantities, an accepted warning, a layout and a crop.
std::unique_ptr<TOrder> editedOrder(const QString &Path)
{
    auto order = TOrder::Create(Path);
    order->SetQuantity(2, 3);
    order->SetQuantity(10, 1);
    order->SetSizeStatus(10, ssWarning);
    order->SetLayout(TOrder::LayoutPaperFull);
    order->Bordered = true;
    order->AutoCorrect = TOrder::AutoCorrectOn;
    order->CropRects[2] = TFloatRect {10.5f, 0, 1210.5f, 800};
    order->CropTexts[2] = QStringLiteral("10,0,1210,800");
    return order;
}

} // namespace

class TestWaitingList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void roundTrip()
    {
        std::vector<std::unique_ptr<TOrder>> orders;
        orders.push_back(editedOrder(writePhoto(m_dir.path(), "사진 1%_a.jpg", 1800, 1200)));
        orders.push_back(TOrder::Create(m_dir.filePath("gone.jpg")));
        const WaitingList list = SnapshotOf(orders);
        QCOMPARE(list.size(), size_t(2));
        QCOMPARE(list[0].FileSize, QFileInfo(orders[0]->FileName).size());
        QVERIFY(list[0].FileTime > 0);
        QCOMPARE(DecodeWaitingList(EncodeWaitingList(list)), list);
    }

    void refused_data()
    {
        const QByteArray good = EncodeWaitingList(
            SnapshotOf([&] {
                std::vector<std::unique_ptr<TOrder>> o;
                o.push_back(editedOrder(writePhoto(m_dir.path(), "r.jpg", 640, 480)));
                return o;
            }()));
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("cut off") << good.left(good.size() / 2) << "손상된";
        QTest::newRow("not JSON") << QByteArray("\x00\xFF garbage", 10) << "손상된";
        QTest::newRow("empty file") << QByteArray() << "손상된";
        QTest::newRow("newer version")
            << QByteArray(good).replace("\"version\":1", "\"version\":7") << "새 버전";
        QTest::newRow("negative quantity")
            << QByteArray(good).replace("\"quantities\":[0", "\"quantities\":[-4") << "quantities";
        QTest::newRow("ten sizes") << QByteArray(good).replace("\"quantities\":[0,", "\"quantities\":[")
                                   << "quantities";
        QTest::newRow("unknown layout")
            << QByteArray(good).replace("\"layout\":1", "\"layout\":9") << "layout";
        QTest::newRow("file is a number")
            << QByteArray(good).replace(QByteArray("\"file\":\""), "\"file\":5,\"x\":\"") << "file";
    }

    void refused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        try {
            DecodeWaitingList(bytes);
            QFAIL("accepted");
        } catch (const WaitingListError &e) {
            QVERIFY2(e.Text().contains(message), qPrintable(e.Text()));
        }
    }

    void damagedFileIsSetAside()
    {
        const QString path = m_dir.filePath("damaged.json");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("{\"version\":1,\"orders\":[{");
        f.close();
        QVERIFY_THROWS_EXCEPTION(WaitingListError, ReadWaitingList(path));
        const QString aside = SetAsideWaitingList(path);
        QVERIFY(!QFile::exists(path));
        QVERIFY(aside.startsWith(path + ".damaged-"));
        QVERIFY(QFile::exists(aside));
        QVERIFY(!ReadWaitingList(path).has_value());
    }

    void restore()
    {
        QTemporaryDir dir;
        const QString same = writePhoto(dir.path(), "same.jpg", 1800, 1200);
        const QString changed = writePhoto(dir.path(), "changed.jpg", 1800, 1200);
        const QString gone = writePhoto(dir.path(), "gone.jpg", 1800, 1200);
        std::vector<std::unique_ptr<TOrder>> orders;
        for (const QString &p : {same, changed, gone})
            orders.push_back(editedOrder(p));
        const WaitingList kept = SnapshotOf(orders);

        QVERIFY(QFile::remove(gone));
        writePhoto(dir.path(), "changed.jpg", 400, 300, 7); // saved over: another picture
        QFile touched(changed);
        QVERIFY(touched.open(QIODevice::ReadWrite));
        QVERIFY(touched.setFileTime(QDateTime::currentDateTimeUtc().addSecs(60),
            QFileDevice::FileModificationTime));
        touched.close();

        const RestoredWaitingList restored = RestoreWaitingList(kept);
        QCOMPARE(restored.Missing, QStringList {gone});
        QCOMPARE(restored.Changed, 1);
        QCOMPARE(restored.Orders.size(), size_t(2));
        const TOrder &a = *restored.Orders[0];
        QCOMPARE(EntryOf(a), kept[0]); // unchanged: everything back, the accepted warning too
        QCOMPARE(a.CartInfoLine(), orders[0]->CartInfoLine());

        const TOrder &b = *restored.Orders[1];
        QCOMPARE(b.FileName, changed);
        QCOMPARE(b.Quantities, kept[1].Quantities);
        QCOMPARE(b.Layout, TOrder::LayoutPaperFull);
        QVERIFY(b.Bordered);
        QCOMPARE(b.AutoCorrect, TOrder::AutoCorrectOn);
        QCOMPARE(b.ImageWidth, 400);
        QVERIFY(b.CropRects[2].IsZero());
        QVERIFY(b.CropTexts[2].isEmpty());
        QCOMPARE(b.SizeStatuses[10], RateImageSize(TPrintSize::psA4, 400, 300)); // rated afresh
    }

    void keeperWritesTheLatestAndRemovesAnEmptyList()
    {
        const QString path = m_dir.filePath("kept/guest.json");
        std::vector<std::unique_ptr<TOrder>> orders;
        orders.push_back(editedOrder(writePhoto(m_dir.path(), "k.jpg", 640, 480)));
        {
            WaitingListKeeper keeper(path);
            keeper.Keep(SnapshotOf(orders));
            QCOMPARE(keeper.Flush(), QString());
            QCOMPARE(ReadWaitingList(path).value(), SnapshotOf(orders));

            for (int q = 1; q <= 50; ++q) { // many changes in a row: the last one is on disk
                orders[0]->SetQuantity(0, q);
                keeper.Keep(SnapshotOf(orders));
            }
            QCOMPARE(keeper.Flush(), QString());
            QCOMPARE(ReadWaitingList(path).value()[0].Quantities[0], 50);

            keeper.Keep({});
            QCOMPARE(keeper.Flush(), QString());
            QVERIFY(!QFile::exists(path));

            keeper.Keep(SnapshotOf(orders));
            keeper.Discard();
            QCOMPARE(keeper.Flush(), QString());
            QVERIFY(!QFile::exists(path));

            orders[0]->SetQuantity(0, 77);
            keeper.Keep(SnapshotOf(orders)); // not flushed: the destructor finishes it
        }
        QCOMPARE(ReadWaitingList(path).value()[0].Quantities[0], 77);
    }

    void keeperReportsAFolderItCannotWrite()
    {
        const QString blocker = m_dir.filePath("blocker");
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly)); // a plain file where the folder should be
        f.close();
        WaitingListKeeper keeper(blocker + "/guest.json");
        WaitingList list(1);
        list[0].FileName = QStringLiteral("/x.jpg");
        keeper.Keep(list);
        QVERIFY(!keeper.Flush().isEmpty());
    }

    void pathPerUser()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(WaitingListPath("kim") != WaitingListPath("guest"));
        QVERIFY(WaitingListPath("a/b").endsWith("/a%2Fb.json"));
        QVERIFY(WaitingListPath("홍길동").endsWith("/%ED%99%8D%EA%B8%B8%EB%8F%99.json"));
    }
};

QTEST_GUILESS_MAIN(TestWaitingList)
#include "tst_waitinglist.moc"
