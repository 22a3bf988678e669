// The folder walk of real uploads when the upload host lists folders in the Unix style and in the
// Windows (DOS) style: the same folders must be found, and the same ones created, either way.

#include "upload/UploadFixture.h"
#include "util/UploadNames.h"

#include <QtTest>

using namespace uploadtest;

namespace {

QString orders(const QString &Rest)
{
    return QStringLiteral("/images/orders/") + Day + Rest;
}

QString thumbs(const QString &Rest)
{
    return QStringLiteral("/images/thumbs/") + Day + Rest;
}

QList<QByteArray> cp949All(const QStringList &Paths)
{
    QList<QByteArray> out;
    for (const QString &p : Paths)
        out.append(toCp949(p));
    return out;
}

} // namespace

class TestFtpListing : public QObject
{
    Q_OBJECT
    UPLOAD_SERVICE_FIXTURE

private slots:
    void initTestCase() { startService(); }
    void init() { resetService(); }

    void foldersFoundAndMadeInEitherListingStyle_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QStringList>("existing"); // folders on the host before the upload
        QTest::addColumn<QStringList>("made");     // the MKD arguments expected, in order

        const QString hong = QStringLiteral("홍 길동");
        const QString hongThumbs = QStringLiteral("홍_길동");
        for (const QString &style : {QStringLiteral("unix"), QStringLiteral("windows")}) {
            const QByteArray tag = style.toLatin1() + ": ";
            QTest::newRow(tag + "fresh day") << style << "kim" << QStringList{}
                << QStringList{thumbs(""), thumbs("/kim"), orders(""), orders("/kim")};
            // A file in the day folder puts a size line among the folder lines.
            QTest::newRow(tag + "folders exist") << style << "kim"
                << QStringList{orders("/kim"), thumbs("/kim"), orders("/readme.txt")}
                << QStringList{};
            QTest::newRow(tag + "only in another letter case") << style << "kim"
                << QStringList{orders("/KIM"), thumbs("/Kim")}
                << QStringList{thumbs("/kim"), orders("/kim")};
            // Read only up to its blank, "kim 2" would pass for "kim".
            QTest::newRow(tag + "a longer name starting with the folder's") << style << "kim"
                << QStringList{orders("/kim 2"), thumbs("/kim 2")}
                << QStringList{thumbs("/kim"), orders("/kim")};
            QTest::newRow(tag + "blanks and Hangul, fresh") << style << hong << QStringList{}
                << QStringList{
                       thumbs(""), thumbs(u'/' + hongThumbs), orders(""), orders(u'/' + hong)};
            QTest::newRow(tag + "blanks and Hangul, existing") << style << hong
                << QStringList{orders(u'/' + hong), thumbs(u'/' + hongThumbs),
                       orders(QStringLiteral("/김  두 칸"))}
                << QStringList{};
            // The listing parser drops a name's leading blank: the folder is not recognised,
            // its creation is refused as existing, and the walk goes into it all the same.
            QTest::newRow(tag + "leading blank, existing") << style << " kim"
                << QStringList{orders("/ kim"), thumbs("/_kim")}
                << QStringList{orders("/ kim")};
        }
    }
    void foldersFoundAndMadeInEitherListingStyle()
    {
        QFETCH(QString, style);
        QFETCH(QString, user);
        QFETCH(QStringList, existing);
        QFETCH(QStringList, made);

        for (const QString &path : existing) {
            const QString verb = path.endsWith(QLatin1String(".txt")) ? "put" : "mkdir";
            const QJsonObject args{{"path", path}, {"encoding", "cp949"}, {"data_b64", "eHl6"}};
            QVERIFY(service.control(verb, args).value("ok").toBool());
        }
        QVERIFY(service.setFaults({{"list_style", style}}));
        const QJsonObject faults = service.control("faults").value("faults").toObject();
        QCOMPARE(faults.value("list_style").toString(), style);

        Photos photos;
        photos.Add("a.jpg");
        Recorder rec;
        UploadEngine engine(rec);
        QVERIFY2(engine.RunUpload(RequestFor(service, user, photos)), qPrintable((rec.Of("Box") + rec.Of("Error")).join(" / ")));

        QCOMPARE(Args(service, "MKD"), cp949All(made));
        QCOMPARE(Args(service, "LIST").size(), 8); // every level of both paths, root included
        const QString name = UploadName(Stamp, 0, photos.At(0).FileName);
        QCOMPARE(Args(service, "STOR"),
            (QList<QByteArray>{OrdersPath(user, name), ThumbsPath(user, name)}));
        QCOMPARE(service.readFile(OrdersPath(user, name)), ReadLocal(photos.At(0).FileName));
    }
};

QTEST_GUILESS_MAIN(TestFtpListing)
#include "tst_ftplisting.moc"
