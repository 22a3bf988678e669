#include "util/Cp949.h"
#include "util/UploadNames.h"

#include <QTest>

class TestUploadTexts : public QObject
{
    Q_OBJECT
private slots:
    void fileNamePart_data();
    void fileNamePart();
    void cleanFileName_data();
    void cleanFileName();
    void uploadName_data();
    void uploadName();
    void remotePaths();
    void toCp949_data();
    void toCp949();
    void fromCp949_data();
    void fromCp949();
    void uploadNameOnTheWire();
};

void TestUploadTexts::fileNamePart_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("linux") << "/home/kim/사진/a.jpg" << "a.jpg";
    QTest::newRow("windows") << "D:\\Pics\\a b.jpg" << "a b.jpg";
    QTest::newRow("drive only") << "D:a.jpg" << "a.jpg";
    QTest::newRow("colon in linux name") << "/home/kim/12:30 party.jpg" << "30 party.jpg";
    QTest::newRow("bare name") << "a.jpg" << "a.jpg";
    QTest::newRow("trailing slash") << "/home/kim/" << "";
    QTest::newRow("mixed separators") << "C:\\x/y\\z.png" << "z.png";
}

void TestUploadTexts::fileNamePart()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(FileNamePart(path), name);
}

void TestUploadTexts::cleanFileName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("no percent") << "/p/IMG_0001.JPG" << "IMG_0001.JPG";
    QTest::newRow("one percent") << "/p/50%.jpg" << "50％.jpg";
    QTest::newRow("two percent") << "/p/%20%.jpg" << "％20％.jpg";
    QTest::newRow("percent in folder only") << "/100%/a.jpg" << "a.jpg";
    QTest::newRow("blank, underscore, hangul") << "D:\\Pics\\가족 사진_1.jpg" << "가족 사진_1.jpg";
}

void TestUploadTexts::cleanFileName()
{
    QFETCH(QString, path);
    QFETCH(QString, cleaned);
    QCOMPARE(CleanFileName(path), cleaned);
}

void TestUploadTexts::uploadName_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    const QString stamp = QStringLiteral("20240131153045A");
    QTest::newRow("first") << 0 << "/p/a.jpg" << stamp + "_00000_a.jpg";
    QTest::newRow("twelfth") << 11 << "/p/a.jpg" << stamp + "_00011_a.jpg";
    QTest::newRow("99999") << 99999 << "/p/a.jpg" << stamp + "_99999_a.jpg";
    QTest::newRow("six digits") << 100000 << "/p/a.jpg" << stamp + "_100000_a.jpg";
    QTest::newRow("underscores stay") << 3 << "/p/my_photo_1.jpg" << stamp + "_00003_my_photo_1.jpg";
    QTest::newRow("percent and blank") << 1 << "D:\\Pics\\a b%.jpg" << stamp + "_00001_a b％.jpg";
    QTest::newRow("colon never reaches the name") << 2 << "/p/12:30.jpg" << stamp + "_00002_30.jpg";
}

void TestUploadTexts::uploadName()
{
    QFETCH(int, index);
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(UploadName(QStringLiteral("20240131153045A"), index, path), name);
}

void TestUploadTexts::remotePaths()
{
    const QString name = UploadName(QStringLiteral("20240131153045A"), 0, "D:\\Pics\\a b.jpg");
    QCOMPARE(RemotePhotoPath("/images/orders/20240131/guest/", name),
             QStringLiteral("/images/orders/20240131/guest/20240131153045A_00000_a b.jpg"));
    // Every blank of the whole path, the folder's included.
    QCOMPARE(RemoteThumbnailPath("/images/thumbs/20240131/kim lee/", name),
             QStringLiteral("/images/thumbs/20240131/kim_lee/20240131153045A_00000_a_b.jpg"));
}

void TestUploadTexts::toCp949_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("unheld"); // "" unless given
    QTest::newRow("empty") << QString() << QByteArray() << QString();
    QTest::newRow("ascii") << "a_b 1.jpg:%" << QByteArray("a_b 1.jpg:%") << QString();
    QTest::newRow("hangul") << "가" << QByteArray("\xB0\xA1") << QString();
    // Letters outside EUC-KR that only the unified code holds.
    QTest::newRow("ddom") << "똠" << QByteArray("\x8C\x63") << QString();
    QTest::newRow("haeng") << "햏" << QByteArray("\xC1\x64") << QString();
    QTest::newRow("bwelg") << "뷁" << QByteArray("\x94\xEE") << QString();
    QTest::newRow("full-width percent") << "％" << QByteArray("\xA3\xA5") << QString();
    QTest::newRow("emoji") << QString::fromUtf8("a\xF0\x9F\x98\x80z") << QByteArray("a?z")
                           << QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("emoji then euro") << QString::fromUtf8("\xF0\x9F\x98\x80\xE2\x82\xAC")
                                     << QByteArray("?\xA2\xE6") << QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("each unheld letter once, in order")
        << QStringLiteral("café é©") << QByteArray("caf? ??") << QStringLiteral("é©");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "x" << QByteArray("?x")
                                    << QString(QChar::ReplacementCharacter);
}

void TestUploadTexts::toCp949()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, unheld);
    QString told;
    QCOMPARE(::toCp949(text, &told), bytes);
    QCOMPARE(told, unheld);
}

void TestUploadTexts::fromCp949_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("hangul and ascii") << QByteArray("\x8C\x63\xC1\x64\x94\xEE.jpg") << "똠햏뷁.jpg";
    QTest::newRow("full-width percent") << QByteArray("50\xA3\xA5") << "50％";
    QTest::newRow("bad byte") << QByteArray("a\xFF" "b") << QString("a") + QChar(0xFFFD) + "b";
    QTest::newRow("cut lead byte") << QByteArray("a\xB0") << QString("a") + QChar(0xFFFD);
}

void TestUploadTexts::fromCp949()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(::fromCp949(bytes), text);
}

void TestUploadTexts::uploadNameOnTheWire()
{
    const QString name = UploadName(QStringLiteral("20240131153045A"), 7, "/p/똠 50%.jpg");
    const QByteArray wire = ::toCp949(name);
    QCOMPARE(wire, QByteArray("20240131153045A_00007_\x8C\x63 50\xA3\xA5.jpg"));
    QCOMPARE(::fromCp949(wire), name);
}

QTEST_APPLESS_MAIN(TestUploadTexts)
#include "tst_uploadtexts.moc"
