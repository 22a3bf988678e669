#include "trim/TrimGeometry.h"
#include "trim/TrimPictures.h"
#include "trim/TrimTestSupport.h"

#include <QTest>

using namespace TrimGeometry;

namespace {

QSize SizeOf(const TRect &r)
{
    return {r.Width(), r.Height()};
}

TFloatRect Moved(const TFloatRect &r, float dx, float dy)
{
    return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

} // namespace

class TestTrimGeometry : public QObject
{
    Q_OBJECT
private slots:
    void paperInView_data();
    void paperInView();
    void placement_data();
    void placement();
    void photoDrag_data();
    void photoDrag();
    void storedPlacementComesBack();
    void wallet_data();
    void wallet();
    void walletDrag_data();
    void walletDrag();
    void cropTextRoundsDown_data();
    void cropTextRoundsDown();
    void frame_data();
    void frame();
    void framePixels_data();
    void framePixels();
    void walletMasks();
    void walletSheetPicture();
};

void TestTrimGeometry::paperInView_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QSize>("landscapePaper");
    QTest::addColumn<QSize>("portraitPaper");
    QTest::newRow("3x5") << 0 << QSize(358, 249) << QSize(242, 347);
    QTest::newRow("D3") << 1 << QSize(358, 267) << QSize(260, 347);
    QTest::newRow("4x6") << 2 << QSize(358, 237) << QSize(230, 347);
    QTest::newRow("D5") << 3 << QSize(358, 267) << QSize(260, 347);
    QTest::newRow("5x7") << 4 << QSize(358, 255) << QSize(246, 347);
    QTest::newRow("D6") << 5 << QSize(358, 267) << QSize(260, 347);
    QTest::newRow("8x10") << 6 << QSize(358, 285) << QSize(276, 347);
    QTest::newRow("11x14") << 7 << QSize(358, 281) << QSize(272, 347);
    QTest::newRow("12x17") << 8 << QSize(358, 251) << QSize(244, 347);
    QTest::newRow("A4") << 10 << QSize(358, 253) << QSize(244, 347);
}

void TestTrimGeometry::paperInView()
{
    QFETCH(int, size);
    QFETCH(QSize, landscapePaper);
    QFETCH(QSize, portraitPaper);
    QCOMPARE(
        PaperRect(size, true), (TRect {0, 0, landscapePaper.width(), landscapePaper.height()}));
    QCOMPARE(PaperRect(size, false), (TRect {0, 0, portraitPaper.width(), portraitPaper.height()}));
}

void TestTrimGeometry::placement_data()
{
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<int>("size");
    QTest::addColumn<QSize>("fit");
    QTest::addColumn<QSize>("paper");
    QTest::addColumn<TFloatRect>("paperFull");
    QTest::addColumn<TFloatRect>("imageFull");

    QTest::newRow("4000x3000 at 4x6")
        << QSize(4000, 3000) << 2 << QSize(388, 291) << QSize(358, 237)
        << TFloatRect {0, -15, 358, 252} << TFloatRect {21, 0, 337, 237};
    QTest::newRow("3000x4000 at 4x6")
        << QSize(3000, 4000) << 2 << QSize(282, 377) << QSize(230, 347)
        << TFloatRect {-14, 0, 244, 347} << TFloatRect {0, 20, 230, 327};
    // A 3:2 photo on 3:2 paper covers it exactly.
    QTest::newRow("900x600 at 4x6") << QSize(900, 600) << 2 << QSize(388, 257) << QSize(358, 237)
                                    << TFloatRect {0, 0, 358, 237} << TFloatRect {1, 0, 357, 237};
    // A square photo goes with the portrait ones.
    QTest::newRow("2000x2000 at 8x10")
        << QSize(2000, 2000) << 6 << QSize(376, 377) << QSize(276, 347)
        << TFloatRect {-35, 0, 311, 347} << TFloatRect {0, 36, 276, 311};
    // A photo smaller than the view is enlarged to the same fit.
    QTest::newRow("400x300 at 4x6")
        << QSize(400, 300) << 2 << QSize(388, 291) << QSize(358, 237)
        << TFloatRect {0, -15, 358, 252} << TFloatRect {21, 0, 337, 237};
}

void TestTrimGeometry::placement()
{
    QFETCH(QSize, photo);
    QFETCH(int, size);
    QFETCH(QSize, fit);
    QFETCH(QSize, paper);
    QFETCH(TFloatRect, paperFull);
    QFETCH(TFloatRect, imageFull);

    const QSize fitted = SizeOf(FitPhotoRect(photo));
    QCOMPARE(fitted, fit);
    QCOMPARE(SizeOf(PaperRect(size, IsLandscape(photo.width(), photo.height()))), paper);
    QCOMPARE(PaperFullLocation(fitted, paper, {}), paperFull);
    QCOMPARE(ImageFullLocation(fitted, paper), imageFull);
}

void TestTrimGeometry::photoDrag_data()
{
    QTest::addColumn<QSize>("fit");
    QTest::addColumn<QSize>("paper");
    QTest::addColumn<QPoint>("move");
    QTest::addColumn<TFloatRect>("expected");
    QTest::addColumn<QString>("text");

    const QSize land(388, 291), landPaper(358, 237);
    QTest::newRow("30 up is pushed back to the bottom edge")
        << land << landPaper << QPoint(0, -30) << TFloatRect {0, -30, 358, 237} << "0,30,358,237";
    QTest::newRow("10 up stays") << land << landPaper << QPoint(0, -10)
                                 << TFloatRect {0, -25, 358, 242} << "0,25,358,237";
    QTest::newRow("30 down is pushed back to the top edge")
        << land << landPaper << QPoint(0, 30) << TFloatRect {0, 0, 358, 267} << "0,0,358,237";
    QTest::newRow("sideways changes nothing")
        << land << landPaper << QPoint(25, 0) << TFloatRect {0, -15, 358, 252} << "0,15,358,237";
    QTest::newRow("sideways the other way changes nothing")
        << land << landPaper << QPoint(-25, 0) << TFloatRect {0, -15, 358, 252} << "0,15,358,237";

    const QSize port(282, 377), portPaper(230, 347);
    QTest::newRow("portrait 10 left")
        << port << portPaper << QPoint(-10, 0) << TFloatRect {-24, 0, 234, 347} << "24,0,230,347";
    QTest::newRow("portrait 20 left stops at the right edge")
        << port << portPaper << QPoint(-20, 0) << TFloatRect {-28, 0, 230, 347} << "28,0,230,347";
    QTest::newRow("portrait 20 right stops at the left edge")
        << port << portPaper << QPoint(20, 0) << TFloatRect {0, 0, 258, 347} << "0,0,230,347";
    QTest::newRow("portrait up and down changes nothing")
        << port << portPaper << QPoint(0, 12) << TFloatRect {-14, 0, 244, 347} << "14,0,230,347";

    const QSize exact(388, 257);
    for (QPoint move : {QPoint(5, 0), QPoint(-5, 0), QPoint(0, 5), QPoint(0, -5), QPoint(7, -9)})
        QTest::addRow("matching aspect cannot move (%d,%d)", move.x(), move.y())
            << exact << landPaper << move << TFloatRect {0, 0, 358, 237} << "0,0,358,237";
}

void TestTrimGeometry::photoDrag()
{
    QFETCH(QSize, fit);
    QFETCH(QSize, paper);
    QFETCH(QPoint, move);
    QFETCH(TFloatRect, expected);
    QFETCH(QString, text);

    const TFloatRect old = PaperFullLocation(fit, paper, {});
    TFloatRect n = Moved(old, move.x(), move.y());
    ConstrainPhotoMove(old, n, paper);
    QCOMPARE(n, expected);
    QCOMPARE(n.Width(), old.Width());
    QCOMPARE(n.Height(), old.Height());
    // The photo still covers the paper.
    QVERIFY(n.Left <= 0 && n.Top <= 0 && n.Right >= paper.width() && n.Bottom >= paper.height());
    QCOMPARE(CropText(n, paper, false), text);
}

void TestTrimGeometry::storedPlacementComesBack()
{
    const TFloatRect stored {0, -30, 358, 237};
    QCOMPARE(PaperFullLocation({388, 291}, {358, 237}, stored), stored);
    QCOMPARE(SheetLocation({272, 380}, {266, 380}, TFloatRect {-6, 0, 266, 380}),
        (TFloatRect {-6, 0, 266, 380}));
    // An empty rectangle means never placed: the centred placement.
    QCOMPARE(PaperFullLocation({388, 291}, {358, 237}, TFloatRect {5, 5, 5, 9}),
        (TFloatRect {0, -15, 358, 252}));
}

void TestTrimGeometry::wallet_data()
{
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<QSize>("copy");
    QTest::addColumn<QSize>("sheet");
    QTest::addColumn<QPoint>("first");
    QTest::addColumn<QPoint>("second");
    QTest::addColumn<QSize>("paper");
    QTest::addColumn<TFloatRect>("location");

    QTest::newRow("landscape 4000x3000")
        << QSize(4000, 3000) << QSize(234, 176) << QSize(272, 380) << QPoint(19, 9)
        << QPoint(19, 195) << QSize(266, 380) << TFloatRect {-3, 0, 269, 380};
    QTest::newRow("portrait 3000x4000")
        << QSize(3000, 4000) << QSize(176, 234) << QSize(380, 272) << QPoint(9, 19)
        << QPoint(195, 19) << QSize(380, 266) << TFloatRect {0, -3, 380, 269};
    QTest::newRow("square 3000x3000")
        << QSize(3000, 3000) << QSize(228, 228) << QSize(380, 266) << QPoint(1, 19)
        << QPoint(195, 19) << QSize(380, 266) << TFloatRect {0, 0, 380, 266};
}

void TestTrimGeometry::wallet()
{
    QFETCH(QSize, photo);
    QFETCH(QSize, copy);
    QFETCH(QSize, sheet);
    QFETCH(QPoint, first);
    QFETCH(QPoint, second);
    QFETCH(QSize, paper);
    QFETCH(TFloatRect, location);

    const TWalletSheet w = WalletSheet(photo);
    QCOMPARE(w.Copy, copy);
    QCOMPARE(w.Sheet, sheet);
    QCOMPARE(w.First, first);
    QCOMPARE(w.Second, second);
    const QSize p = SizeOf(WalletPaperRect(IsLandscape(photo.width(), photo.height()), w.Sheet));
    QCOMPARE(p, paper);
    QCOMPARE(SheetLocation(w.Sheet, p, {}), location);
}

void TestTrimGeometry::walletDrag_data()
{
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<QPoint>("move");
    QTest::addColumn<TFloatRect>("expected");
    QTest::addColumn<QString>("text");

    const QSize land(4000, 3000), port(3000, 4000);
    QTest::newRow("landscape, back to the start")
        << land << QPoint(0, 0) << TFloatRect {-3, 0, 269, 380} << "3,0,470,360";
    QTest::newRow("landscape, 10 right stops after 3")
        << land << QPoint(10, 0) << TFloatRect {0, 0, 272, 380} << "0,0,470,360";
    QTest::newRow("landscape, 10 left stops after 3")
        << land << QPoint(-10, 0) << TFloatRect {-6, 0, 266, 380} << "6,0,470,360";
    QTest::newRow("landscape, no vertical movement")
        << land << QPoint(2, 20) << TFloatRect {-1, 0, 271, 380} << "1,0,470,360";
    QTest::newRow("portrait, back to the start")
        << port << QPoint(0, 0) << TFloatRect {0, -3, 380, 269} << "0,3,360,470";
    QTest::newRow("portrait, 10 up stops after 3")
        << port << QPoint(0, -10) << TFloatRect {0, -6, 380, 266} << "0,6,360,470";
    QTest::newRow("portrait, no horizontal movement")
        << port << QPoint(-30, 2) << TFloatRect {0, -1, 380, 271} << "0,1,360,470";
    QTest::newRow("square cannot move")
        << QSize(3000, 3000) << QPoint(-4, 4) << TFloatRect {0, 0, 380, 266} << "0,0,360,470";
}

void TestTrimGeometry::walletDrag()
{
    QFETCH(QSize, photo);
    QFETCH(QPoint, move);
    QFETCH(TFloatRect, expected);
    QFETCH(QString, text);

    const TWalletSheet w = WalletSheet(photo);
    const QSize paper
        = SizeOf(WalletPaperRect(IsLandscape(photo.width(), photo.height()), w.Sheet));
    const TFloatRect old = SheetLocation(w.Sheet, paper, {});
    TFloatRect n = Moved(old, move.x(), move.y());
    ConstrainSheetMove(old, n, paper, w.Sheet);
    QCOMPARE(n, expected);
    QCOMPARE(CropText(n, paper, true), text);
}

void TestTrimGeometry::cropTextRoundsDown_data()
{
    QTest::addColumn<TFloatRect>("location");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << TFloatRect {-14, 0, 244, 347} << "14,0,230,347";
    QTest::newRow("fractions round away from the paper")
        << TFloatRect {-2.5f, -0.25f, 255.5f, 346.75f} << "3,1,230,347";
    QTest::newRow("negative zero is 0") << TFloatRect {-0.0f, -0.0f, 230, 347} << "0,0,230,347";
}

void TestTrimGeometry::cropTextRoundsDown()
{
    QFETCH(TFloatRect, location);
    QFETCH(QString, text);
    QCOMPARE(CropText(location, {230, 347}, false), text);
}

void TestTrimGeometry::frame_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("bordered");
    QTest::addColumn<QSize>("paper");
    QTest::addColumn<QSize>("frameSize");
    QTest::addColumn<TFloatRect>("location");
    QTest::addColumn<bool>("band");
    QTest::addColumn<bool>("masks");

    QTest::newRow("4x6 bordered reaches 7 out") << 2 << true << QSize(358, 237) << QSize(372, 251)
                                                << TFloatRect {-7, -7, 365, 244} << true << false;
    QTest::newRow("4x6 borderless") << 2 << false << QSize(358, 237) << QSize(358, 237)
                                    << TFloatRect {0, 0, 358, 237} << false << false;
    QTest::newRow("D5 bordered stays on the paper")
        << 3 << true << QSize(358, 267) << QSize(358, 267) << TFloatRect {0, 0, 358, 267} << true
        << false;
    QTest::newRow("D6 bordered reaches out") << 5 << true << QSize(260, 347) << QSize(274, 361)
                                             << TFloatRect {-7, -7, 267, 354} << true << false;
    QTest::newRow("wallet") << 9 << false << QSize(266, 380) << QSize(266, 380)
                            << TFloatRect {0, 0, 266, 380} << false << true;
}

void TestTrimGeometry::frame()
{
    QFETCH(int, size);
    QFETCH(bool, bordered);
    QFETCH(QSize, paper);
    QFETCH(QSize, frameSize);
    QFETCH(TFloatRect, location);
    QFETCH(bool, band);
    QFETCH(bool, masks);

    const TFrame f = FrameFor(size, bordered, paper);
    QCOMPARE(f.Size, frameSize);
    QCOMPARE(f.Location, location);
    QCOMPARE(f.Band, band);
    QCOMPARE(f.WalletMasks, masks);
}

void TestTrimGeometry::framePixels_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("bordered");
    // Pixels along a line from the paper's top-left corner inwards, in paper coordinates.
    QTest::addColumn<QList<int>>("paperX");
    QTest::addColumn<QList<QRgb>>("expected");

    const QRgb black = 0xFF000000, white = 0xFFFFFFFF, none = 0;
    QTest::newRow("4x6 bordered: outline 7 out, white band just outside")
        << 2 << true << QList<int> {-7, -6, -1, 0, 5}
        << QList<QRgb> {black, white, white, none, none};
    QTest::newRow("D5 bordered: outline on the edge, band inside")
        << 3 << true << QList<int> {0, 1, 6, 7, 20}
        << QList<QRgb> {black, white, white, none, none};
    QTest::newRow("borderless: only the outline")
        << 2 << false << QList<int> {0, 1, 6} << QList<QRgb> {black, none, none};
}

void TestTrimGeometry::framePixels()
{
    QFETCH(int, size);
    QFETCH(bool, bordered);
    QFETCH(QList<int>, paperX);
    QFETCH(QList<QRgb>, expected);

    const TFrame f = FrameFor(size, bordered, {358, 267});
    const QImage img = TrimPictures::Frame(f).convertToFormat(QImage::Format_ARGB32);
    const int y = img.height() / 2;
    for (int i = 0; i < paperX.size(); ++i) {
        const int x = paperX[i] - int(f.Location.Left);
        QCOMPARE(img.pixel(x, y), expected[i]);
        // The same across the top edge.
        QCOMPARE(img.pixel(img.width() / 2, paperX[i] - int(f.Location.Top)), expected[i]);
    }
    // The right-hand outline lies on the frame's last column.
    QCOMPARE(img.pixel(img.width() - 1, y), QRgb(0xFF000000));
}

void TestTrimGeometry::walletMasks()
{
    const TWalletMasks landscape = WalletMasks({380, 266});
    QCOMPARE(landscape.First, (TRect {0, 0, 380, 19}));
    QCOMPARE(landscape.Second, (TRect {0, 247, 380, 266}));
    const TWalletMasks portrait = WalletMasks({266, 380});
    QCOMPARE(portrait.First, (TRect {0, 0, 19, 380}));
    QCOMPARE(portrait.Second, (TRect {247, 0, 266, 380}));

    const QImage img = TrimPictures::Frame(FrameFor(9, false, {266, 380}))
                           .convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(img.pixel(10, 100), QRgb(0xFFFFFFFF)); // left mask
    QCOMPARE(img.pixel(250, 100), QRgb(0xFFFFFFFF)); // right mask
    QCOMPARE(img.pixel(100, 100), QRgb(0)); // the pictures show through
    QCOMPARE(img.pixel(265, 100), QRgb(0xFF000000)); // outline over the mask
}

void TestTrimGeometry::walletSheetPicture()
{
    QImage photo(400, 300, QImage::Format_RGB32);
    photo.fill(QColor(200, 30, 30));
    const TWalletSheet w = WalletSheet(photo.size());
    const QImage sheet = TrimPictures::WalletSheet(photo, w).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(sheet.size(), w.Sheet);
    QCOMPARE(qAlpha(sheet.pixel(5, 5)), 0); // margin
    QCOMPARE(qAlpha(sheet.pixel(100, 190)), 0); // between the two pictures
    QCOMPARE(sheet.pixel(100, 100), QColor(200, 30, 30).rgb()); // first picture
    QCOMPARE(sheet.pixel(100, 300), QColor(200, 30, 30).rgb()); // second picture
    QCOMPARE(qAlpha(sheet.pixel(100, 375)), 0);
}

QTEST_GUILESS_MAIN(TestTrimGeometry)
#include "tst_trimgeometry.moc"
