#include "util/Geometry.h"

#include <QTest>

Q_DECLARE_METATYPE(TRect)

namespace QTest {
template<>
char *toString(const TRect &r)
{
    return qstrdup(QByteArray("(" + QByteArray::number(r.Left) + ", " + QByteArray::number(r.Top)
                              + ", " + QByteArray::number(r.Right) + ", "
                              + QByteArray::number(r.Bottom) + ")")
                       .constData());
}
} // namespace QTest

class TestGeometry : public QObject
{
    Q_OBJECT
private slots:
    void fit_data();
    void fit();
    void cover_data();
    void cover();
    void resultOverInput();
};

namespace {

void addColumns()
{
    QTest::addColumn<TRect>("reference");
    QTest::addColumn<TRect>("target");
    QTest::addColumn<TRect>("expected");
}

} // namespace

void TestGeometry::fit_data()
{
    addColumns();
    // Half surplus -7.5 rounds down to -8: 120 x 89, not 120 x 90.
    QTest::newRow("landscape photo in thumbnail")
        << TRect{0, 0, 4000, 3000} << TRect{0, 0, 120, 105} << TRect{0, 8, 120, 97};
    QTest::newRow("portrait photo in thumbnail")
        << TRect{0, 0, 3000, 4000} << TRect{0, 0, 120, 105} << TRect{21, 0, 99, 105};
    QTest::newRow("4x6 paper in view")
        << TRect{0, 0, 900, 600} << TRect{0, 0, 358, 347} << TRect{0, 55, 358, 292};
    QTest::newRow("equal ratios") << TRect{0, 0, 400, 300} << TRect{10, 20, 130, 110}
                                  << TRect{10, 20, 130, 110};
    QTest::newRow("reference position ignored")
        << TRect{100, 100, 500, 400} << TRect{0, 0, 120, 105} << TRect{0, 8, 120, 97};
    QTest::newRow("target off the origin")
        << TRect{0, 0, 4000, 3000} << TRect{50, 30, 170, 135} << TRect{50, 38, 170, 127};
    // Cross products beyond 32 bits must still compare exactly.
    QTest::newRow("large sizes") << TRect{0, 0, 65500, 65500} << TRect{0, 0, 65500, 65499}
                                 << TRect{1, 0, 65499, 65499};
}

void TestGeometry::fit()
{
    QFETCH(TRect, reference);
    QFETCH(TRect, target);
    QFETCH(TRect, expected);
    QCOMPARE(AspectFitRect(reference, target), expected);
}

void TestGeometry::cover_data()
{
    addColumns();
    QTest::newRow("portrait photo over paper")
        << TRect{0, 0, 3000, 4000} << TRect{0, 0, 176, 228} << TRect{0, -3, 176, 231};
    QTest::newRow("square over paper")
        << TRect{0, 0, 500, 500} << TRect{0, 0, 176, 228} << TRect{-26, 0, 202, 228};
    QTest::newRow("388x291 over 358x237")
        << TRect{0, 0, 388, 291} << TRect{0, 0, 358, 237} << TRect{0, -15, 358, 252};
    QTest::newRow("equal ratios") << TRect{0, 0, 400, 300} << TRect{10, 20, 130, 110}
                                  << TRect{10, 20, 130, 110};
    QTest::newRow("reference position ignored")
        << TRect{100, 100, 500, 400} << TRect{0, 0, 358, 237} << TRect{0, -15, 358, 252};
    QTest::newRow("target off the origin")
        << TRect{0, 0, 500, 500} << TRect{100, 50, 276, 278} << TRect{74, 50, 302, 278};
}

void TestGeometry::cover()
{
    QFETCH(TRect, reference);
    QFETCH(TRect, target);
    QFETCH(TRect, expected);
    QCOMPARE(AspectCoverRect(reference, target), expected);
}

void TestGeometry::resultOverInput()
{
    // Both inputs are read before the result is written.
    TRect r{0, 0, 120, 105};
    r = AspectFitRect(TRect{0, 0, 4000, 3000}, r);
    QCOMPARE(r, (TRect{0, 8, 120, 97}));
    TRect p{0, 0, 3000, 4000};
    p = AspectCoverRect(p, TRect{0, 0, 176, 228});
    QCOMPARE(p, (TRect{0, -3, 176, 231}));
    // No caller passes a reference without area; it leaves the target as it is.
    QCOMPARE(AspectFitRect(TRect{0, 0, 0, 10}, TRect{1, 2, 3, 4}), (TRect{1, 2, 3, 4}));
    QCOMPARE(AspectCoverRect(TRect{0, 0, 10, 0}, TRect{1, 2, 3, 4}), (TRect{1, 2, 3, 4}));
}

QTEST_APPLESS_MAIN(TestGeometry)
#include "tst_geometry.moc"
