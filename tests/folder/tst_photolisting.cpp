#include "folder/FolderFixtures.h"
#include "folder/PhotoListing.h"
#include "folder/PhotoSelection.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

using namespace folderfixtures;

class tst_photolisting : public QObject
{
    Q_OBJECT

private slots:
    void offeredExtensions()
    {
        // Readable and not on the exclusion list: the JPEG photos and these others.
        QStringList expected = QStringLiteral(
            "jpg,jpeg,jpe,jif,g3n,g3f,xif,cur,dcm,dic,dicom,wmf,emf,targa,pix,pxm,wbmp,jp2,j2k,"
            "jpc,j2c,dcx,crw,cr2,nef,pef,raf,x3f,bay,orf,srf,mrw,dcr,sr2,iev,lyr,all")
                                   .split(u',');
        QStringList offered = OfferedExtensions();
        expected.sort();
        offered.sort();
        QCOMPARE(offered, expected);
        QVERIFY(QString::fromLatin1(ExcludedExtensionsText).startsWith("tif,tiff,fax,bw,"));
        QVERIFY(QString::fromLatin1(ExcludedExtensionsText).endsWith(",pnm,pfm,sct"));
    }

    void listing_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("offered");
        QTest::newRow("hidden and excluded formats")
            << QStringList {"a.jpg", "b.JPEG", "c.png", "d.bmp", "e.tif", ".f.jpg"}
            << QStringList {} << QStringList {"a.jpg", "b.JPEG"};
        QTest::newRow("camera raw and metafile") << QStringList {"x.cr2", "x.wmf", "x.NEF",
            "x.raw"} << QStringList {} << QStringList {"x.NEF", "x.cr2", "x.wmf"};
        QTest::newRow("JPEG spellings in any case") << QStringList {"a.JpE", "b.jif",
            "c.Jpg"} << QStringList {} << QStringList {"a.JpE", "b.jif", "c.Jpg"};
        QTest::newRow("last extension counts") << QStringList {"x.jpg.png", "y.png.jpg",
            "z.jpg.bak"} << QStringList {} << QStringList {"y.png.jpg"};
        QTest::newRow("no extension, a bare dot, unknown") << QStringList {"README", "photo.",
            "clip.mp4", "notes.txt"} << QStringList {} << QStringList {};
        QTest::newRow("folders are not photos")
            << QStringList {"a.jpg"} << QStringList {"trip.jpg", "sub"} << QStringList {"a.jpg"};
    }

    void listing()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, folders);
        QFETCH(QStringList, offered);
        QTemporaryDir dir;
        for (const QString &name : files)
            QVERIFY(WriteFile(dir.filePath(name), SolidPhoto(Qt::green)));
        for (const QString &name : folders)
            QVERIFY(QDir(dir.path()).mkdir(name));

        QStringList listed = ListFolderPhotos(dir.path());
        for (const QString &path : listed)
            QVERIFY2(path.startsWith(dir.path() + '/'), qPrintable(path));
        for (QString &path : listed)
            path = QFileInfo(path).fileName();
        listed.sort();
        QCOMPARE(listed, offered);
    }

    void listedByNameWithNumbersInOrder()
    {
        QTemporaryDir dir;
        const QStringList created {"img_10.jpg", "IMG_2.jpg", "b.jpg", "A.jpg", "img_1.JPG"};
        for (const QString &name : created)
            QVERIFY(WriteFile(dir.filePath(name), SolidPhoto(Qt::green)));
        QStringList listed = ListFolderPhotos(dir.path());
        for (QString &path : listed)
            path = QFileInfo(path).fileName();
        QCOMPARE(listed, QStringList({"A.jpg", "b.jpg", "img_1.JPG", "IMG_2.jpg", "img_10.jpg"}));
    }

    void linksAndBrokenLinks()
    {
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath("real.jpg"), SolidPhoto(Qt::blue)));
        QVERIFY(QFile::link(dir.filePath("real.jpg"), dir.filePath("link.jpg")));
        QVERIFY(QFile::link(dir.filePath("gone.jpg"), dir.filePath("broken.jpg")));
        QStringList listed = ListFolderPhotos(dir.path());
        listed.sort();
        QCOMPARE(listed, QStringList({dir.filePath("link.jpg"), dir.filePath("real.jpg")}));
    }

    // Names whose bytes are not UTF-8 cannot be listed by Qt; the customer learns of them.
    void namesThatCannotBeRead()
    {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + '/';
        const auto writeRaw = [&](const QByteArray &name) {
            const QByteArray path = folder + name;
            FILE *f = fopen(path.constData(), "wb");
            QVERIFY(f);
            fputs("not a photo", f);
            fclose(f);
        };
        writeRaw("\xBB\xE7\xC1\xF8.jpg"); // 사진.jpg written in CP949
        writeRaw("\xFF\xFE 10.JPG"); // neither UTF-8 nor CP949
        writeRaw("\xFF notes.txt"); // not a photo
        writeRaw(".\xFF.jpg"); // hidden
        QVERIFY(mkdir((folder + "\xFF.jpg").constData(), 0700) == 0); // a folder
        QVERIFY(WriteFile(dir.filePath("사진 2.jpg"), SolidPhoto(Qt::red)));

        QCOMPARE(ListFolderPhotos(dir.path()), QStringList {dir.filePath("사진 2.jpg")});
        const QStringList unlistable = UnlistablePhotoNames(dir.path());
        QCOMPARE(unlistable.size(), 2);
        QCOMPARE(unlistable[0], QStringLiteral("사진.jpg"));
        QVERIFY2(unlistable[1].endsWith(" 10.JPG")
                && unlistable[1].contains(QChar::ReplacementCharacter),
            qPrintable(unlistable[1]));
        QVERIFY(UnlistablePhotoNames(dir.filePath("missing")).isEmpty());
    }

    void unlistableFolder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << QStringLiteral("/nonexistent-folder/photos");
        QTest::newRow("empty") << QString();
        QTest::newRow("a file, not a folder") << QStringLiteral(KB_SOURCE_DIR "/CMakeLists.txt");
    }

    void unlistableFolder()
    {
        QFETCH(QString, path);
        QVERIFY(ListFolderPhotos(path).isEmpty());
    }

    void noAccess()
    {
        if (geteuid() == 0)
            QSKIP("root reads every folder");
        QTemporaryDir dir;
        const QString locked = dir.filePath("locked");
        MakePhotos(locked, 3);
        QFile::setPermissions(locked, QFile::Permissions());
        QVERIFY(ListFolderPhotos(locked).isEmpty());
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void droppedFiles()
    {
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath("a.jpg"), SolidPhoto(Qt::red)));
        QVERIFY(WriteFile(dir.filePath("b.png"), SolidPhoto(Qt::red)));
        QVERIFY(WriteFile(dir.filePath(".c.jpg"), SolidPhoto(Qt::red)));
        QVERIFY(QDir(dir.path()).mkdir("d.jpg"));
        QVERIFY(WriteFile(dir.filePath("e.cr2"), QByteArray("not really raw")));
        const QStringList dropped {dir.filePath("e.cr2"), dir.filePath("b.png"),
            dir.filePath(".c.jpg"), dir.filePath("d.jpg"), dir.filePath("missing.jpg"),
            dir.filePath("a.jpg")};
        QCOMPARE(OfferedPhotoFiles(dropped),
            QStringList({dir.filePath("e.cr2"), dir.filePath("a.jpg")}));
    }

    // The selection list itself; the grid's clicks are tested with the grid.
    void selectionRuns_data()
    {
        QTest::addColumn<QList<int>>("toggles");
        QTest::addColumn<int>("runTo");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("forward") << QList<int> {3} << 6 << QList<int> {3, 4, 5, 6};
        QTest::newRow("backward, grid order") << QList<int> {6} << 3 << QList<int> {3, 4, 5, 6};
        QTest::newRow("others dropped") << QList<int> {0, 9, 5} << 7 << QList<int> {5, 6, 7};
        QTest::newRow("anchor toggled off still anchors")
            << QList<int> {4, 4} << 2 << QList<int> {2, 3, 4};
        QTest::newRow("no anchor: from the first") << QList<int> {} << 2 << QList<int> {0, 1, 2};
    }

    void selectionRuns()
    {
        QFETCH(QList<int>, toggles);
        QFETCH(int, runTo);
        QFETCH(QList<int>, expected);
        PhotoSelection selection;
        selection.Reset(10);
        for (int p : toggles)
            selection.Toggle(p);
        const PhotoSelection::Change change = selection.SelectRun(runTo);
        QCOMPARE(QList<int>(selection.Positions().begin(), selection.Positions().end()), expected);
        for (int p = 0; p < 10; ++p)
            QCOMPARE(selection.IsSelected(p), expected.contains(p));
        for (int p : change.Selected)
            QVERIFY(expected.contains(p));
        for (int p : change.Deselected)
            QVERIFY(!expected.contains(p));
    }

    void selectionOutOfRange()
    {
        PhotoSelection selection;
        selection.Reset(3);
        QVERIFY(selection.Toggle(3).Selected.empty());
        QVERIFY(selection.Toggle(-1).Selected.empty());
        QVERIFY(selection.SelectRun(7).Selected.empty());
        QCOMPARE(selection.Count(), 0);
        selection.Reset(0);
        QVERIFY(selection.SelectAll().Selected.empty());
    }
};

QTEST_GUILESS_MAIN(tst_photolisting)
#include "tst_photolisting.moc"
