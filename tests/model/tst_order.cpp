#include "model/uBrimvaleOrders.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

namespace {

// Quantities and crop texts by print size index, for building orders in a table.
using SizeInts = QList<int>;

TFloatRect someCrop()
{
    return TFloatRect {1.5f, 2.0f, 300.0f, 200.0f};
}

} // namespace

class TestOrder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void createMeasuresAndRates();
    void createUnreadablePhoto_data();
    void createUnreadablePhoto();
    void cartInfoLine_data();
    void cartInfoLine();
    void cartInfoLineAfterReset();
    void hasNoQuantity_data();
    void hasNoQuantity();
    void resetKeepsCropsAndStatuses();
    void cloneIsRatedAfresh();
    void sizeLabel();
    void imageFullClearsCrops();
    void waitedThumbnail();

private:
    QTemporaryDir m_dir;
    QString m_photo; // 1024 x 768, red
    QString m_hangul; // 768 x 1024, a name with a blank and Hangul
};

void TestOrder::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_photo = m_dir.filePath("photo_1024x768.jpg");
    QImage landscape(1024, 768, QImage::Format_RGB32);
    landscape.fill(qRgb(220, 20, 20));
    QVERIFY(landscape.save(m_photo, "JPG", 90));
    m_hangul = m_dir.filePath("가족 사진.jpg");
    QVERIFY(QImage(768, 1024, QImage::Format_RGB32).save(m_hangul, "JPG", 90));
}

void TestOrder::createMeasuresAndRates()
{
    const auto order = TOrder::Create(m_photo);
    QCOMPARE(order->FileName, m_photo);
    QCOMPARE(order->ImageWidth, 1024);
    QCOMPARE(order->ImageHeight, 768);
    // Good up to D5 (900 x 675) and for the wallet sheet; short from 5x7 (1050 x 750) on.
    for (int i = 0; i < PrintSizeCount; ++i) {
        const bool enough = i <= 3 || i == 9;
        QCOMPARE(order->GetSizeStatus(i), enough ? ssOptimal : ssBad);
        QCOMPARE(order->GetQuantity(i), 0);
        QVERIFY(order->CropRects[i].IsZero());
        QVERIFY(order->CropTexts[i].isEmpty());
    }
    QCOMPARE(order->Layout, TOrder::LayoutNotChosen);
    QVERIFY(!order->LayoutChosen());
    QCOMPARE(order->Bordered, false);
    QCOMPARE(order->AutoCorrect, TOrder::AutoCorrectOff);
    QVERIFY(order->SizeLabel.isNull());
    QVERIFY(order->HasNoQuantity());

    const auto portrait = TOrder::Create(m_hangul);
    QCOMPARE(portrait->ImageWidth, 768);
    QCOMPARE(portrait->ImageHeight, 1024);
    QCOMPARE(portrait->GetSizeStatus(0), ssOptimal);
    QCOMPARE(portrait->GetSizeStatus(4), ssBad);
}

void TestOrder::createUnreadablePhoto_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty name: no file at all
    QTest::newRow("missing file") << QByteArray();
    QTest::newRow("zero bytes") << QByteArray("");
    QTest::newRow("text named .jpg") << QByteArray("this is not a photo\n");
}

void TestOrder::createUnreadablePhoto()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(QString("unreadable_%1.jpg").arg(QTest::currentDataTag()));
    if (!bytes.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const auto order = TOrder::Create(path);
    QCOMPARE(order->ImageWidth, 0);
    QCOMPARE(order->ImageHeight, 0);
    for (int i = 0; i < PrintSizeCount; ++i)
        QCOMPARE(order->GetSizeStatus(i), ssBad);
    QObject label; // what the card's size label is to the order: a "text" property
    label.setProperty("text", QString());
    order->AttachSizeLabel(&label);
    QCOMPARE(label.property("text").toString(), QStringLiteral("0x0"));
}

void TestOrder::cartInfoLine_data()
{
    QTest::addColumn<SizeInts>("quantities");
    QTest::addColumn<int>("layout");
    QTest::addColumn<bool>("bordered");
    QTest::addColumn<int>("autoCorrect");
    QTest::addColumn<QStringList>("crops");
    QTest::addColumn<QByteArray>("line");

    const SizeInts none(PrintSizeCount, 0);
    const QStringList noCrops(PrintSizeCount, QString());
    auto with = [](SizeInts q, int index, int value) {
        q[index] = value;
        return q;
    };
    auto crop = [](QStringList c, int index, const QString &text) {
        c[index] = text;
        return c;
    };

    QTest::newRow("2 of 4x6, paper-full, borderless, auto-correction off")
        << with(none, 2, 2) << 1 << false << 1 << noCrops
        << QByteArray("0:0:0:0:0:2:0:0:0:0:0:Y:N:N:Y:N:N:N:::::::::::\r\n");
    QTest::newRow("3x5 is the fifth field")
        << with(none, 0, 7) << 1 << false << 1 << noCrops
        << QByteArray("0:0:0:0:7:0:0:0:0:0:0:Y:N:N:Y:N:N:N:::::::::::\r\n");
    QTest::newRow("D3 first, A4 eleventh")
        << with(with(none, 1, 3), 10, 9999) << 1 << false << 1 << noCrops
        << QByteArray("3:0:0:0:0:0:0:0:0:0:9999:Y:N:N:Y:N:N:N:::::::::::\r\n");
    QTest::newRow("every size in line order")
        << SizeInts {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20} << 1 << false << 1 << noCrops
        << QByteArray("11:13:15:19:10:12:14:16:17:18:20:Y:N:N:Y:N:N:N:::::::::::\r\n");
    QTest::newRow("paper-full with border")
        << with(none, 2, 1) << 1 << true << 1 << noCrops
        << QByteArray("0:0:0:0:0:1:0:0:0:0:0:Y:N:Y:N:N:N:N:::::::::::\r\n");
    QTest::newRow("image-full with border")
        << with(none, 2, 1) << 0 << true << 1 << noCrops
        << QByteArray("0:0:0:0:0:1:0:0:0:0:0:Y:N:N:N:Y:N:N:::::::::::\r\n");
    QTest::newRow("image-full borderless, auto-correction on")
        << with(none, 2, 1) << 0 << false << 0 << noCrops
        << QByteArray("0:0:0:0:0:1:0:0:0:0:0:Y:N:N:N:N:Y:Y:::::::::::\r\n");
    QTest::newRow("layout not chosen: group absent") << with(none, 2,
        1) << 2 << true << 1 << noCrops << QByteArray("0:0:0:0:0:1:0:0:0:0:0:Y:N:N:::::::::::\r\n");
    QTest::newRow("auto-correction not set: field absent")
        << with(none, 2, 1) << 1 << false << 2 << noCrops
        << QByteArray("0:0:0:0:0:1:0:0:0:0:0:Y:N:N:Y:N:N:::::::::::\r\n");
    QTest::newRow("crop for D3 right after auto-correction")
        << with(none, 1, 1) << 1 << false << 1 << crop(noCrops, 1, "12,-3,176,228")
        << QByteArray("1:0:0:0:0:0:0:0:0:0:0:Y:N:N:Y:N:N:N:12,-3,176,228::::::::::\r\n");
    QTest::newRow("crops of wallet and A4 in line order")
        << with(none, 9, 1) << 1 << true << 0
        << crop(crop(noCrops, 9, "0,0,100,200"), 10, "5,6,7,8")
        << QByteArray("0:0:0:1:0:0:0:0:0:0:0:Y:N:Y:N:N:N:Y::::0,0,100,200:::::::5,6,7,8\r\n");
}

void TestOrder::cartInfoLine()
{
    QFETCH(SizeInts, quantities);
    QFETCH(int, layout);
    QFETCH(bool, bordered);
    QFETCH(int, autoCorrect);
    QFETCH(QStringList, crops);
    QFETCH(QByteArray, line);

    const auto order = TOrder::Create(m_dir.filePath("no such photo.jpg"));
    for (int i = 0; i < PrintSizeCount; ++i) {
        order->SetQuantity(i, quantities[i]);
        order->CropTexts[i] = crops[i];
    }
    order->Layout = std::uint8_t(layout);
    order->Bordered = bordered;
    order->AutoCorrect = std::uint8_t(autoCorrect);
    const QString text = order->CartInfoLine();
    QCOMPARE(text.toLatin1(), line);
    QCOMPARE(text.toUtf8(), line); // ASCII only
}

void TestOrder::cartInfoLineAfterReset()
{
    const auto order = TOrder::Create(m_photo);
    order->SetQuantity(2, 2);
    order->Layout = TOrder::LayoutPaperFull;
    order->Reset();
    order->SetQuantity(4, 1);
    order->SetLayout(TOrder::LayoutPaperFull);
    QCOMPARE(
        order->CartInfoLine(), QStringLiteral("0:0:0:0:0:0:1:0:0:0:0:Y:N:N:Y:N:N:::::::::::\r\n"));
}

void TestOrder::hasNoQuantity_data()
{
    QTest::addColumn<SizeInts>("quantities");
    QTest::addColumn<bool>("none");
    const SizeInts zero(PrintSizeCount, 0);
    SizeInts one = zero;
    one[10] = 1;
    SizeInts huge = zero;
    huge[0] = INT_MAX;
    huge[1] = INT_MAX; // a 32-bit sum would wrap to -2
    SizeInts cancelling = zero;
    cancelling[3] = 5;
    cancelling[4] = -5;
    QTest::newRow("all zero") << zero << true;
    QTest::newRow("one print") << one << false;
    QTest::newRow("sum beyond 32 bits") << huge << false;
    QTest::newRow("sum zero") << cancelling << true;
}

void TestOrder::hasNoQuantity()
{
    QFETCH(SizeInts, quantities);
    QFETCH(bool, none);
    TOrder order(m_dir.filePath("no such photo.jpg"));
    for (int i = 0; i < PrintSizeCount; ++i)
        order.SetQuantity(i, quantities[i]);
    QCOMPARE(order.HasNoQuantity(), none);
}

void TestOrder::resetKeepsCropsAndStatuses()
{
    const auto order = TOrder::Create(m_photo);
    QObject label; // what the card's size label is to the order: a "text" property
    label.setProperty("text", QString());
    order->AttachSizeLabel(&label);
    order->SetQuantity(0, 4);
    order->SetSizeStatus(4, ssWarning);
    order->Layout = TOrder::LayoutPaperFull;
    order->Bordered = true;
    order->AutoCorrect = TOrder::AutoCorrectOn;
    order->CropRects[0] = someCrop();
    order->CropTexts[0] = "1,2,3,4";

    order->Reset();
    QVERIFY(order->HasNoQuantity());
    QVERIFY(!order->LayoutChosen());
    QCOMPARE(order->Bordered, false);
    QCOMPARE(order->AutoCorrect, TOrder::AutoCorrectNotSet);
    QCOMPARE(order->GetSizeStatus(4), ssWarning);
    QCOMPARE(order->CropRects[0], someCrop());
    QCOMPARE(order->CropTexts[0], QStringLiteral("1,2,3,4"));
    QCOMPARE(order->ImageWidth, 1024);
    QCOMPARE(order->SizeLabel.data(), &label);
}

void TestOrder::cloneIsRatedAfresh()
{
    const auto order = TOrder::Create(m_photo);
    QObject label; // what the card's size label is to the order: a "text" property
    label.setProperty("text", QString());
    order->AttachSizeLabel(&label);
    order->SetSizeStatus(4, ssWarning); // the user accepted the warning for 5x7
    order->SetQuantity(4, 3);
    order->SetQuantity(10, 1);
    order->Layout = TOrder::LayoutPaperFull;
    order->Bordered = true;
    order->AutoCorrect = TOrder::AutoCorrectNotSet;
    order->CropRects[7] = someCrop();
    order->CropTexts[7] = "0,-3,176,231";

    const auto copy = order->Clone();
    QCOMPARE(copy->GetSizeStatus(4), ssBad);
    QCOMPARE(order->GetSizeStatus(4), ssWarning);
    QVERIFY(copy->SizeLabel.isNull());
    QCOMPARE(copy->FileName, order->FileName);
    QCOMPARE(copy->ImageWidth, 1024);
    QCOMPARE(copy->ImageHeight, 768);
    QCOMPARE(copy->Quantities, order->Quantities);
    QCOMPARE(copy->CropRects[7], someCrop());
    QCOMPARE(copy->CropTexts, order->CropTexts);
    QCOMPARE(copy->Layout, TOrder::LayoutPaperFull);
    QCOMPARE(copy->Bordered, true);
    QCOMPARE(copy->AutoCorrect, TOrder::AutoCorrectNotSet);
    QCOMPARE(copy->CartInfoLine(), order->CartInfoLine());
    // The copy is independent of its original.
    copy->SetQuantity(4, 0);
    QCOMPARE(order->GetQuantity(4), 3);
    QCOMPARE(label.property("text").toString(), QStringLiteral("1024x768"));
}

void TestOrder::sizeLabel()
{
    const auto order = TOrder::Create(m_photo);
    auto *label = new QObject;
    label->setProperty("text", QStringLiteral("before"));
    order->AttachSizeLabel(label);
    QCOMPARE(label->property("text").toString(), QStringLiteral("1024x768"));
    order->SetImageSize(640, 480);
    QCOMPARE(label->property("text").toString(), QStringLiteral("640x480"));
    QCOMPARE(order->GetSizeStatus(9), ssOptimal);
    QCOMPARE(order->GetSizeStatus(0), ssBad);
    // Any other object with a "text" property as well.
    QObject plain;
    plain.setProperty("text", QString());
    order->AttachSizeLabel(&plain);
    QCOMPARE(plain.property("text").toString(), QStringLiteral("640x480"));
    order->AttachSizeLabel(label);
    // A label that goes away leaves no dangling link behind.
    delete label;
    QVERIFY(order->SizeLabel.isNull());
    order->SetImageSize(1, 1);
    order->AttachSizeLabel(nullptr);
    QVERIFY(order->SizeLabel.isNull());
}

void TestOrder::imageFullClearsCrops()
{
    TOrder order(m_photo);
    order.CropRects[3] = someCrop();
    order.CropTexts[3] = "1,2,3,4";
    order.SetLayout(TOrder::LayoutPaperFull);
    QCOMPARE(order.CropTexts[3], QStringLiteral("1,2,3,4"));
    order.SetLayout(TOrder::LayoutImageFull);
    QCOMPARE(order.Layout, TOrder::LayoutImageFull);
    for (int i = 0; i < PrintSizeCount; ++i) {
        QVERIFY(order.CropRects[i].IsZero());
        QVERIFY(order.CropTexts[i].isEmpty());
    }
}

void TestOrder::waitedThumbnail()
{
    // The order hands its own photo to the loader; a waited load is finished on return.
    const auto order = TOrder::Create(m_photo);
    auto bitmap = Bitmap32::Create();
    order->LoadThumbnail(bitmap, true);
    const QImage picture = bitmap->Snapshot();
    QCOMPARE(picture.size(), QSize(120, 105));
    const QColor middle = picture.pixelColor(60, 52);
    QVERIFY2(
        middle.red() > 180 && middle.green() < 70 && middle.blue() < 70, qPrintable(middle.name()));
    QCOMPARE(picture.pixelColor(60, 2), QColor(Qt::white)); // the band above a 4:3 photo
}

QTEST_MAIN(TestOrder)
#include "tst_order.moc"
