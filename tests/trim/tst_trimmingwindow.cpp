#include "trim/TrimTestSupport.h"
#include "trim/TrimmingFrm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {

const QColor PhotoRed(200, 40, 40);

// A photo made for the test: red, with a blue disc in the middle so placement shows.
QString MakePhoto(const QTemporaryDir &dir, const QString &name, QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(PhotoRed);
    QPainter p(&img);
    p.setBrush(QColor(40, 60, 200));
    p.setPen(Qt::NoPen);
    const int r = std::min(size.width(), size.height()) / 4;
    p.drawEllipse(QPoint(size.width() / 2, size.height() / 2), r, r);
    p.end();
    const QString path = dir.filePath(name);
    if (!img.save(path, nullptr, 90))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

std::unique_ptr<TOrder> MakeOrder(
    const QString &file, std::initializer_list<int> sizes, std::uint8_t layout, bool bordered)
{
    auto order = TOrder::Create(file);
    for (int s : sizes)
        order->Quantities[s] = 1;
    order->Layout = layout;
    order->Bordered = bordered;
    return order;
}

QAbstractButton *SizeItem(TfrmTrimming &w, int i)
{
    return w.findChild<QRadioButton *>(QStringLiteral("rbSize%1").arg(i));
}

QAbstractButton *LayoutItem(TfrmTrimming &w, int i)
{
    return w.findChild<QRadioButton *>(QStringLiteral("rbLayout%1").arg(i));
}

// A click on the radio indicator, where a short item text leaves no doubt about the hit.
void ClickItem(QAbstractButton *item)
{
    QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(8, item->height() / 2));
}

// Drags with the mouse from the paper's centre by (dx, dy), in steps as a hand does.
void Drag(TfrmTrimming &w, QPoint by)
{
    TTrimImageView *view = w.ImageView();
    const QPoint from = (view->PaperOrigin()
        + QPointF(view->PaperSize().width() / 2, view->PaperSize().height() / 2))
                            .toPoint();
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(view, from + by / 2);
    QTest::mouseMove(view, from + by);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, from + by);
}

bool Near(QColor a, QColor b, int tolerance = 14)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// Presses a script of arrow keys on the view: "Up S+Left C+Right" (S+ Shift, C+ Control).
void PressKeys(TTrimImageView *view, const QString &script)
{
    for (QString token : script.split(' ', Qt::SkipEmptyParts)) {
        Qt::KeyboardModifiers modifiers;
        while (token.size() > 2 && token[1] == '+') {
            modifiers |= token[0] == 'S' ? Qt::ShiftModifier : Qt::ControlModifier;
            token.remove(0, 2);
        }
        const Qt::Key key = token == "Up" ? Qt::Key_Up
            : token == "Down"             ? Qt::Key_Down
            : token == "Left"             ? Qt::Key_Left
                                          : Qt::Key_Right;
        QTest::keyClick(view, key, modifiers);
    }
}

void Shoot(QWidget &w, const char *name)
{
    const QByteArray dir = qgetenv("KB_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        w.grab().save(QString::fromLocal8Bit(dir) + '/' + name + ".png");
}

} // namespace

class TestTrimmingWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sizesFromQuantities();
    void layoutOptionFromOrder_data();
    void layoutOptionFromOrder();
    void layoutForSize_data();
    void layoutForSize();
    void dragWithMouse();
    void moveWithKeys_data();
    void moveWithKeys();
    void viewTakesFocus();
    void imageFullAndBack();
    void walletForcesPaperFull();
    void paintedLayers();
    void okCopiesResults();
    void cancelLeavesOrder();
    void undecodablePhotoFails_data();
    void undecodablePhotoFails();

private:
    QTemporaryDir m_dir;
    QString m_landscape, m_portrait, m_square;
};

void TestTrimmingWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_landscape = MakePhoto(m_dir, "landscape-4000x3000.jpg", {4000, 3000});
    m_portrait = MakePhoto(m_dir, "portrait-3000x4000.jpg", {3000, 4000});
    m_square = MakePhoto(m_dir, "square-900x900.png", {900, 900});
}

void TestTrimmingWindow::sizesFromQuantities()
{
    auto order = MakeOrder(m_landscape, {2, 6}, TOrder::LayoutPaperFull, false);
    TfrmTrimming w;
    w.OpenForOrder(*order);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (int i = 0; i < PrintSizeCount; ++i)
        QCOMPARE(SizeItem(w, i)->isEnabled(), i == 2 || i == 6);
    QCOMPARE(w.SizeItemIndex(), 2);
    QCOMPARE(w.findChild<QLabel *>("lblTitle")->text(), QStringLiteral("4x6"));
    QCOMPARE(w.ImageView()->PaperSize(), QSize(358, 237));
    // The photo is decoded small, fitted into the view.
    QCOMPARE(w.PhotoLayer().Bitmap.size(), QSize(388, 291));

    // Choosing the other ordered size lays it out.
    ClickItem(SizeItem(w, 6));
    QCOMPARE(w.SizeItemIndex(), 6);
    QCOMPARE(w.findChild<QLabel *>("lblTitle")->text(), QStringLiteral("8x10"));
    QCOMPARE(w.ImageView()->PaperSize(), QSize(358, 285));
}

void TestTrimmingWindow::layoutOptionFromOrder_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<bool>("bordered");
    QTest::addColumn<int>("item");
    QTest::newRow("paper-full") << 1 << false << 0;
    QTest::newRow("paper-full bordered") << 1 << true << 1;
    QTest::newRow("image-full") << 0 << false << 2;
    QTest::newRow("image-full bordered") << 0 << true << 3;
}

void TestTrimmingWindow::layoutOptionFromOrder()
{
    QFETCH(int, layout);
    QFETCH(bool, bordered);
    QFETCH(int, item);
    auto order = MakeOrder(m_landscape, {2}, std::uint8_t(layout), bordered);
    TfrmTrimming w;
    w.OpenForOrder(*order);
    QCOMPARE(w.LayoutItemIndex(), item);
    QCOMPARE(int(w.WorkingOrder()->Layout), layout);
    QCOMPARE(w.WorkingOrder()->Bordered, bordered);
    const TFloatRect placed
        = layout == 1 ? TFloatRect {0, -15, 358, 252} : TFloatRect {21, 0, 337, 237};
    QCOMPARE(w.PhotoLayer().Location, placed);
    QCOMPARE(w.GhostLayer().Visible, layout == 1);
    QCOMPARE(w.ImageView()->RubberBandVisible(), layout == 1);
    const TFloatRect frame = bordered ? TFloatRect {-7, -7, 365, 244} : TFloatRect {0, 0, 358, 237};
    QCOMPARE(w.FrameLayer().Location, frame);
}

void TestTrimmingWindow::layoutForSize_data()
{
    QTest::addColumn<QString>("photo");
    QTest::addColumn<int>("size");
    QTest::addColumn<QSize>("paper");
    QTest::addColumn<TFloatRect>("photoLocation");
    QTest::addColumn<TFloatRect>("frameLocation");

    QTest::newRow("portrait at 4x6")
        << m_portrait << 2 << QSize(230, 347) << TFloatRect {-14, 0, 244, 347}
        << TFloatRect {-7, -7, 237, 354};
    // A 4:3 photo matches D5's paper exactly.
    QTest::newRow("D5 border stays on the paper")
        << m_landscape << 3 << QSize(358, 267) << TFloatRect {0, 0, 358, 267}
        << TFloatRect {0, 0, 358, 267};
    QTest::newRow("square photo as portrait at 5x7")
        << m_square << 4 << QSize(246, 347) << TFloatRect {-50, 0, 296, 347}
        << TFloatRect {-7, -7, 253, 354};
}

void TestTrimmingWindow::layoutForSize()
{
    QFETCH(QString, photo);
    QFETCH(int, size);
    QFETCH(QSize, paper);
    QFETCH(TFloatRect, photoLocation);
    QFETCH(TFloatRect, frameLocation);
    auto order = MakeOrder(photo, {size}, TOrder::LayoutPaperFull, true);
    TfrmTrimming w;
    w.OpenForOrder(*order);
    QCOMPARE(w.ImageView()->PaperSize(), paper);
    QCOMPARE(w.PhotoLayer().Location, photoLocation);
    QCOMPARE(w.ImageView()->RubberBandLocation(), photoLocation);
    QCOMPARE(w.GhostLayer().Location, photoLocation);
    QCOMPARE(w.FrameLayer().Location, frameLocation);
}

void TestTrimmingWindow::dragWithMouse()
{
    auto order = MakeOrder(m_landscape, {2}, TOrder::LayoutPaperFull, false);
    TfrmTrimming w;
    w.OpenForOrder(*order);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // Over the photo the mouse shows the hand; outside it, the ordinary pointer.
    TTrimImageView *view = w.ImageView();
    QTest::mouseMove(view, {204, 200});
    QCOMPARE(view->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(view, {3, 3});
    QCOMPARE(view->cursor().shape(), Qt::ArrowCursor);

    Drag(w, {0, -30});
    const TOrder &wo = *w.WorkingOrder();
    QCOMPARE(w.PhotoLayer().Location, (TFloatRect {0, -30, 358, 237}));
    QCOMPARE(w.GhostLayer().Location, (TFloatRect {0, -30, 358, 237}));
    QCOMPARE(wo.CropRects[2], (TFloatRect {0, -30, 358, 237}));
    QCOMPARE(wo.CropTexts[2], QStringLiteral("0,30,358,237"));

    // Sideways: the photo is exactly as wide as the paper.
    Drag(w, {40, 0});
    QCOMPARE(wo.CropRects[2], (TFloatRect {0, -30, 358, 237}));
    // Down by 10 is allowed.
    Drag(w, {0, 10});
    QCOMPARE(wo.CropTexts[2], QStringLiteral("0,20,358,237"));
    // A drag that starts outside the photo moves nothing.
    QTest::mousePress(w.ImageView(), Qt::LeftButton, Qt::NoModifier, {3, 3});
    QTest::mouseMove(w.ImageView(), {3, 60});
    QTest::mouseRelease(w.ImageView(), Qt::LeftButton, Qt::NoModifier, {3, 60});
    QCOMPARE(wo.CropTexts[2], QStringLiteral("0,20,358,237"));
    // The card's order is untouched by all this.
    QVERIFY(order->CropTexts[2].isEmpty());
    QVERIFY(order->CropRects[2].IsZero());
}

void TestTrimmingWindow::moveWithKeys_data()
{
    QTest::addColumn<QString>("photo");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("layout");
    QTest::addColumn<QString>("keys");
    // The drag that must give the same crop; none when the keys must record nothing.
    QTest::addColumn<bool>("recorded");
    QTest::addColumn<QPoint>("drag");
    QTest::addColumn<QString>("cropText");

    const int paperFull = TOrder::LayoutPaperFull, imageFull = TOrder::LayoutImageFull;
    // Landscape 4x6: the photo at (0, -15, 358, 252), free only vertically.
    QTest::newRow("up by one") << "landscape" << 2 << paperFull << "Up" << true << QPoint(0, -1)
                               << "0,16,358,237";
    QTest::newRow("shift up by ten")
        << "landscape" << 2 << paperFull << "S+Up" << true << QPoint(0, -10) << "0,25,358,237";
    QTest::newRow("down past the edge") << "landscape" << 2 << paperFull << "S+Down S+Down" << true
                                        << QPoint(0, 20) << "0,0,358,237";
    QTest::newRow("up to the far edge") << "landscape" << 2 << paperFull << "S+Up S+Up Up Up"
                                        << true << QPoint(0, -22) << "0,30,358,237";
    QTest::newRow("sideways pushed back")
        << "landscape" << 2 << paperFull << "Left" << true << QPoint(-1, 0) << "0,15,358,237";
    // Portrait 4x6: the photo at (-14, 0, 244, 347), free only horizontally.
    QTest::newRow("portrait right")
        << "portrait" << 2 << paperFull << "Right" << true << QPoint(1, 0) << "13,0,230,347";
    QTest::newRow("portrait shift left twice") << "portrait" << 2 << paperFull << "S+Left S+Left"
                                               << true << QPoint(-20, 0) << "28,0,230,347";
    // The wallet sheet at (-3, 0, 269, 380), within 3 pixels either way.
    QTest::newRow("wallet left") << "landscape" << 9 << paperFull << "Left" << true << QPoint(-1, 0)
                                 << "4,0,470,360";
    QTest::newRow("wallet shift right")
        << "landscape" << 9 << paperFull << "S+Right" << true << QPoint(10, 0) << "0,0,470,360";
    QTest::newRow("wallet up stays")
        << "landscape" << 9 << paperFull << "Up" << true << QPoint(0, -1) << "3,0,470,360";
    // Keys that are not a move record nothing.
    QTest::newRow("control arrow")
        << "landscape" << 2 << paperFull << "C+Up" << false << QPoint() << "";
    QTest::newRow("image-full") << "landscape" << 2 << imageFull << "Up S+Left" << false << QPoint()
                                << "";
}

void TestTrimmingWindow::moveWithKeys()
{
    QFETCH(QString, photo);
    QFETCH(int, size);
    QFETCH(int, layout);
    QFETCH(QString, keys);
    QFETCH(bool, recorded);
    QFETCH(QPoint, drag);
    QFETCH(QString, cropText);

    const QString file = photo == "portrait" ? m_portrait : m_landscape;
    auto order = MakeOrder(file, {size}, std::uint8_t(layout), false);
    TfrmTrimming byKeys;
    byKeys.OpenForOrder(*order);
    byKeys.show();
    QVERIFY(QTest::qWaitForWindowExposed(&byKeys));
    const TFloatRect start = byKeys.ImageView()->RubberBandLocation();
    PressKeys(byKeys.ImageView(), keys);

    const TOrder &wo = *byKeys.WorkingOrder();
    QCOMPARE(wo.CropTexts[size], cropText);
    if (!recorded) {
        QVERIFY(wo.CropRects[size].IsZero());
        QCOMPARE(byKeys.ImageView()->RubberBandLocation(), start);
        return;
    }
    // The keys went the drag's way: the same rectangle, the layers where the drag puts them.
    TfrmTrimming byMouse;
    byMouse.OpenForOrder(*order);
    byMouse.show();
    QVERIFY(QTest::qWaitForWindowExposed(&byMouse));
    Drag(byMouse, drag);
    const TOrder &mo = *byMouse.WorkingOrder();
    QCOMPARE(mo.CropTexts[size], cropText);
    QCOMPARE(wo.CropRects[size], mo.CropRects[size]);
    QCOMPARE(byKeys.GhostLayer().Location, byMouse.GhostLayer().Location);
    const TTrimLayer &moved = size == 9 ? byKeys.SheetLayer() : byKeys.PhotoLayer();
    QCOMPARE(moved.Location, wo.CropRects[size]);
}

void TestTrimmingWindow::viewTakesFocus()
{
    auto order = MakeOrder(m_landscape, {2}, TOrder::LayoutPaperFull, false);
    TfrmTrimming w;
    w.OpenForOrder(*order);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // The view has the focus from the start, and the window says what the keys do.
    QTRY_VERIFY(w.ImageView()->hasFocus());
    const auto *hint = w.findChild<QLabel *>("lblKeyHint");
    QVERIFY(hint && hint->isVisible());
    QVERIFY(hint->text().contains(QStringLiteral("방향키")));
    // With the focus, the view draws its focus frame; without it, not.
    const QColor frame = w.ImageView()->palette().color(QPalette::Highlight);
    QCOMPARE(w.ImageView()->grab().toImage().pixelColor(1, 100), frame);
    w.findChild<QPushButton *>("btnClose")->setFocus();
    QTRY_VERIFY(!w.ImageView()->hasFocus());
    QVERIFY(w.ImageView()->grab().toImage().pixelColor(1, 100) != frame);
    Shoot(w, "trimming-keys");
}

void TestTrimmingWindow::imageFullAndBack()
{
    auto order = MakeOrder(m_landscape, {2}, TOrder::LayoutPaperFull, false);
    TfrmTrimming w;
    w.OpenForOrder(*order);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Drag(w, {0, -30});

    ClickItem(LayoutItem(w, 2));
    const TOrder &wo = *w.WorkingOrder();
    QCOMPARE(int(wo.Layout), 0);
    QCOMPARE(w.PhotoLayer().Location, (TFloatRect {21, 0, 337, 237}));
    QVERIFY(!w.GhostLayer().Visible);
    QVERIFY(!w.ImageView()->RubberBandVisible());
    // The crop survives image-full while the window is open...
    QCOMPARE(wo.CropTexts[2], QStringLiteral("0,30,358,237"));
    // ...and comes back with paper-full.
    ClickItem(LayoutItem(w, 1));
    QCOMPARE(int(wo.Layout), 1);
    QVERIFY(wo.Bordered);
    QCOMPARE(w.PhotoLayer().Location, (TFloatRect {0, -30, 358, 237}));
    QCOMPARE(w.FrameLayer().Location, (TFloatRect {-7, -7, 365, 244}));
}

void TestTrimmingWindow::walletForcesPaperFull()
{
    auto order = MakeOrder(m_landscape, {2, 9}, TOrder::LayoutImageFull, true);
    TfrmTrimming w;
    w.OpenForOrder(*order);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.LayoutItemIndex(), 3);

    ClickItem(SizeItem(w, 9));
    const TOrder &wo = *w.WorkingOrder();
    QCOMPARE(w.LayoutItemIndex(), 0);
    QCOMPARE(int(wo.Layout), 1);
    QVERIFY(!wo.Bordered);
    for (int i = 0; i < 4; ++i)
        QVERIFY(!LayoutItem(w, i)->isEnabled());
    QCOMPARE(w.findChild<QLabel *>("lblTitle")->text(), QStringLiteral("지갑용(2컷)"));
    QCOMPARE(w.ImageView()->PaperSize(), QSize(266, 380));
    QVERIFY(w.SheetLayer().Visible);
    QVERIFY(!w.PhotoLayer().Visible);
    QCOMPARE(w.SheetLayer().Bitmap.size(), QSize(272, 380));
    QCOMPARE(w.SheetLayer().Location, (TFloatRect {-3, 0, 269, 380}));
    QCOMPARE(w.FrameLayer().Location, (TFloatRect {0, 0, 266, 380}));

    Drag(w, {10, 25});
    QCOMPARE(wo.CropRects[9], (TFloatRect {0, 0, 272, 380}));
    QCOMPARE(wo.CropTexts[9], QStringLiteral("0,0,470,360"));
    Drag(w, {-3, 0});
    QCOMPARE(wo.CropTexts[9], QStringLiteral("3,0,470,360"));

    // Another size enables the options again, and the order stays paper-full borderless.
    ClickItem(SizeItem(w, 2));
    QCOMPARE(w.SizeItemIndex(), 2);
    for (int i = 0; i < 4; ++i)
        QVERIFY(LayoutItem(w, i)->isEnabled());
    QCOMPARE(int(wo.Layout), 1);
    QVERIFY(!wo.Bordered);
    QCOMPARE(w.PhotoLayer().Location, (TFloatRect {0, -15, 358, 252}));
    // And back: the sheet where it was left.
    ClickItem(SizeItem(w, 9));
    QCOMPARE(w.SheetLayer().Location, (TFloatRect {-3, 0, 269, 380}));
}

void TestTrimmingWindow::paintedLayers()
{
    auto order = MakeOrder(m_landscape, {2}, TOrder::LayoutPaperFull, true);
    TfrmTrimming w;
    w.OpenForOrder(*order);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Shoot(w, "trim-landscape-4x6-paperfull-border");

    const QImage img = w.ImageView()->grab().toImage();
    const QPoint o = w.ImageView()->PaperOrigin().toPoint();
    QCOMPARE(o, QPoint(25, 80));
    const QColor background = img.pixelColor(2, 2);
    const int x = o.x() + 40;
    QCOMPARE(img.pixelColor(x, o.y() - 7), QColor(Qt::black)); // outline 7 out
    for (int y = o.y() - 6; y < o.y(); ++y)
        QCOMPARE(img.pixelColor(x, y), QColor(Qt::white)); // the white band
    QVERIFY(Near(img.pixelColor(x, o.y() + 5), PhotoRed)); // the photo on the paper
    // Above the paper, where the photo reaches up to -15: the ghost, half transparent.
    const QColor ghost = img.pixelColor(x, o.y() - 10);
    const QColor half((PhotoRed.red() + background.red()) / 2,
        (PhotoRed.green() + background.green()) / 2, (PhotoRed.blue() + background.blue()) / 2);
    QVERIFY2(Near(ghost, half), qPrintable(ghost.name() + " vs " + half.name()));
    // Beyond the photo only the view's background.
    QCOMPARE(img.pixelColor(x, o.y() - 20), background);

    ClickItem(LayoutItem(w, 3));
    Shoot(w, "trim-landscape-4x6-imagefull-border");
    const QImage full = w.ImageView()->grab().toImage();
    QCOMPARE(full.pixelColor(o.x() + 10, o.y() + 100), QColor(Qt::white)); // paper beside
    QVERIFY(Near(full.pixelColor(o.x() + 30, o.y() + 100), PhotoRed));
    QCOMPARE(full.pixelColor(x, o.y() - 10), background); // no ghost in image-full

    // Hiding the window empties the paper.
    w.findChild<QPushButton *>("sBitBtn1")->click();
    QCOMPARE(w.result(), TfrmTrimming::mrCancel);
    QVERIFY(w.ImageView()->PaperSize().isEmpty());
}

void TestTrimmingWindow::okCopiesResults()
{
    auto order = MakeOrder(m_portrait, {2, 9}, TOrder::LayoutPaperFull, false);
    order->Quantities[2] = 3;
    int seen = -1;
    QTimer::singleShot(0, [&] {
        auto *w = qobject_cast<TfrmTrimming *>(QApplication::activeModalWidget());
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        Shoot(*w, "trim-portrait-4x6");
        Drag(*w, {-10, 0});
        ClickItem(SizeItem(*w, 9));
        Shoot(*w, "trim-portrait-wallet");
        Drag(*w, {0, -1});
        seen = w->WorkingOrder()->Quantities[2];
        QTest::mouseClick(w->findChild<QPushButton *>("btnClose"), Qt::LeftButton);
    });
    QCOMPARE(TfrmTrimming::Edit(nullptr, *order), TfrmTrimming::mrOK);
    QCOMPARE(seen, 3);
    QCOMPARE(order->Quantities[2], 3);
    QCOMPARE(order->CropRects[2], (TFloatRect {-24, 0, 234, 347}));
    QCOMPARE(order->CropTexts[2], QStringLiteral("24,0,230,347"));
    QCOMPARE(order->CropTexts[9], QStringLiteral("0,4,360,470"));
    QCOMPARE(int(order->Layout), 1);
    QVERIFY(!order->Bordered);
}

void TestTrimmingWindow::cancelLeavesOrder()
{
    auto order = MakeOrder(m_landscape, {2, 9}, TOrder::LayoutImageFull, true);
    order->CropTexts[4] = "1,2,3,4";
    const QString lineBefore = order->CartInfoLine();
    QTimer::singleShot(0, [&] {
        auto *w = qobject_cast<TfrmTrimming *>(QApplication::activeModalWidget());
        QVERIFY(w);
        ClickItem(LayoutItem(*w, 0));
        Drag(*w, {0, -30});
        ClickItem(SizeItem(*w, 9));
        Shoot(*w, "trim-landscape-wallet");
        Drag(*w, {2, 0});
        QTest::mouseClick(w->findChild<QPushButton *>("sBitBtn1"), Qt::LeftButton);
    });
    QCOMPARE(TfrmTrimming::Edit(nullptr, *order), TfrmTrimming::mrCancel);
    QCOMPARE(order->CartInfoLine(), lineBefore);
    for (int i = 0; i < PrintSizeCount; ++i)
        QVERIFY(order->CropRects[i].IsZero());
    QCOMPARE(int(order->Layout), 0);
    QVERIFY(order->Bordered);

    // Escape counts as cancel.
    QTimer::singleShot(
        0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    QCOMPARE(TfrmTrimming::Edit(nullptr, *order), TfrmTrimming::mrCancel);
}

void TestTrimmingWindow::undecodablePhotoFails_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("not a picture") << QByteArray("this is no photo at all\n").repeated(40);
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("JPEG marker, then nothing") << QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
}

void TestTrimmingWindow::undecodablePhotoFails()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath("corrupted.jpg");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();

    auto order = MakeOrder(path, {2}, TOrder::LayoutPaperFull, false);
    TfrmTrimming w;
    try {
        w.OpenForOrder(*order);
        QFAIL("OpenForOrder accepted a photo that cannot be decoded");
    } catch (const std::runtime_error &e) {
        QVERIFY2(qstrlen(e.what()) > 0, "the error carries the decoder's message");
    }
    QVERIFY(!w.WorkingOrder());

    // A file that is not there at all.
    auto missing = MakeOrder(m_dir.filePath("gone.jpg"), {2}, TOrder::LayoutPaperFull, false);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, w.OpenForOrder(*missing));
}

QTEST_MAIN(TestTrimmingWindow)
#include "tst_trimmingwindow.moc"
