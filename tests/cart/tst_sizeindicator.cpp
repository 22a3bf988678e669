#include "cart/cSizeIndicator.h"

#include <QPainter>
#include <QtTest>

namespace {

// Counts pixels of the picture by colour family.
struct Census
{
    int white = 0, red = 0, blue = 0, other = 0;
};

Census Count(const QImage &Picture)
{
    Census c;
    for (int y = 0; y < Picture.height(); ++y)
        for (int x = 0; x < Picture.width(); ++x) {
            const QColor p = Picture.pixelColor(x, y);
            if (p.red() > 245 && p.green() > 245 && p.blue() > 245)
                ++c.white;
            else if (p.red() > 120 && p.red() > p.green() + 60 && p.red() > p.blue() + 60)
                ++c.red;
            else if (p.blue() > 120 && p.blue() > p.red() + 40)
                ++c.blue;
            else
                ++c.other;
        }
    return c;
}

} // namespace

class tst_sizeindicator : public QObject
{
    Q_OBJECT

private slots:
    void marks_data()
    {
        QTest::addColumn<QList<int>>("writes");
        QTest::addColumn<bool>("red");
        QTest::addColumn<bool>("blue");
        QTest::newRow("bad") << QList<int> {ssBad} << true << false;
        QTest::newRow("optimal") << QList<int> {ssOptimal} << false << true;
        QTest::newRow("warning") << QList<int> {ssWarning} << true << false;
        QTest::newRow("none is a white square") << QList<int> {ssNone} << false << false;
        QTest::newRow("bad then optimal: only the round mark")
            << QList<int> {ssBad, ssOptimal} << false << true;
        QTest::newRow("optimal then none") << QList<int> {ssOptimal, ssNone} << false << false;
    }

    void marks()
    {
        QFETCH(QList<int>, writes);
        QFETCH(bool, red);
        QFETCH(bool, blue);
        TSizeIndicator mark;
        mark.resize(16, 16);
        mark.SetImageList(&SizeMarkImageList());
        for (int status : writes)
            mark.SetSizeStatus(static_cast<TSizeStatus>(status));
        QCOMPARE(int(mark.SizeStatus()), writes.last());
        QCOMPARE(mark.Picture().size(), QSize(16, 16));
        const Census c = Count(mark.Picture());
        QCOMPARE(c.red > 20, red);
        QCOMPARE(c.blue > 20, blue);
        QVERIFY2(c.red == 0 || c.blue == 0, "one mark at a time");
        if (!red && !blue)
            QCOMPARE(c.white, 16 * 16);
        else
            QVERIFY(c.white > 0); // drawn on white, not on the old picture
    }

    void warningLooksLikeBad()
    {
        TSizeIndicator bad, warning;
        for (TSizeIndicator *m : {&bad, &warning}) {
            m->resize(16, 16);
            m->SetImageList(&SizeMarkImageList());
        }
        bad.SetSizeStatus(ssBad);
        warning.SetSizeStatus(ssWarning);
        QCOMPARE(warning.Picture(), bad.Picture());
        QCOMPARE(warning.grab().toImage(), bad.grab().toImage());
    }

    void withoutImageListKeepsItsPicture()
    {
        TSizeIndicator legend;
        legend.resize(16, 16);
        const QImage own = SizeMarkImageList().Image(1);
        legend.SetPicture(own);
        legend.SetSizeStatus(ssBad);
        legend.SetSizeStatus(ssNone);
        QCOMPARE(legend.SizeStatus(), ssNone);
        QCOMPARE(legend.Picture(), own.convertToFormat(QImage::Format_ARGB32_Premultiplied));

        TSizeIndicator bare;
        bare.resize(16, 16);
        bare.SetSizeStatus(ssOptimal);
        QVERIFY(bare.Picture().isNull());
    }

    void clearCanvasFillsTheControl()
    {
        TSizeIndicator mark;
        mark.resize(20, 18);
        mark.ClearCanvas();
        QCOMPARE(mark.Picture().size(), QSize(20, 18));
        QCOMPARE(Count(mark.Picture()).white, 20 * 18);
    }

    void imageListBounds()
    {
        const TImageList &list = SizeMarkImageList();
        QCOMPARE(list.Count(), 3);
        QCOMPARE(QSize(list.Width(), list.Height()), QSize(16, 16));
        QImage canvas(16, 16, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        QPainter p(&canvas);
        list.Draw(p, 0, 0, -1);
        list.Draw(p, 0, 0, 3);
        p.end();
        QCOMPARE(Count(canvas).white, 256);
    }
};

QTEST_MAIN(tst_sizeindicator)
#include "tst_sizeindicator.moc"
