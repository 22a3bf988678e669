#include "folder/FolderFixtures.h"
#include "folder/PhotoGrid.h"

#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace folderfixtures;

class tst_photogrid : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_photos25;

    static QList<int> Selected(const PhotoGrid &Grid)
    {
        QList<int> positions;
        for (int k = 0; k < Grid.SelectedImagesCount(); ++k)
            positions.append(Grid.SelectedImage(k));
        return positions;
    }

    static void Click(PhotoGrid &Grid, int Position, Qt::KeyboardModifiers Modifiers = {})
    {
        Grid.scrollTo(Grid.model()->index(Position, 0));
        QTest::mouseClick(
            Grid.viewport(), Qt::LeftButton, Modifiers, Grid.ImageRect(Position).center());
    }

    // A grid on screen with the photos, 4 columns wide.
    static std::unique_ptr<PhotoGrid> ShownGrid(const QStringList &Photos, QSize Size = {620, 500})
    {
        auto grid = std::make_unique<PhotoGrid>();
        grid->resize(Size);
        grid->SetPhotos(Photos);
        grid->show();
        if (!QTest::qWaitForWindowExposed(grid.get()))
            return nullptr;
        return grid;
    }

    static bool WaitForThumbnails(PhotoGrid &Grid)
    {
        return QTest::qWaitFor([&] { return !Grid.ThumbnailsPending(); }, 20000);
    }

    // The colour painted at the centre of a photo's thumbnail box.
    static QColor PaintedCentre(PhotoGrid &Grid, int Position)
    {
        const QImage shot = Grid.viewport()->grab().toImage();
        const QRect item = Grid.ImageRect(Position);
        return shot.pixelColor(item.center().x(), item.top() + 4 + 1 + 5 + 65);
    }

private slots:
    void initTestCase() { m_photos25 = MakePhotos(m_dir.filePath("25"), 25); }

    void clickTogglesAndRaisesEvents()
    {
        auto grid = ShownGrid(m_photos25);
        QVERIFY(grid);
        QSignalSpy selects(grid.get(), &PhotoGrid::ImageSelect);
        QSignalSpy deselects(grid.get(), &PhotoGrid::ImageDeselect);
        QList<int> countAtDeselect;
        connect(grid.get(), &PhotoGrid::ImageDeselect, this,
            [&](int) { countAtDeselect.append(grid->SelectedImagesCount()); });

        Click(*grid, 3);
        Click(*grid, 7);
        QCOMPARE(Selected(*grid), QList<int>({3, 7}));
        Click(*grid, 3);
        QCOMPARE(Selected(*grid), QList<int>({7}));
        QCOMPARE(selects.size(), 2);
        QCOMPARE(deselects.size(), 1);
        QCOMPARE(deselects.at(0).at(0).toInt(), 3);
        // Raised once the change is complete.
        QCOMPARE(countAtDeselect, QList<int>({1}));
    }

    void selectionOrderFollowsClicks()
    {
        auto grid = ShownGrid(m_photos25);
        QVERIFY(grid);
        for (int p : {5, 2, 9, 24})
            Click(*grid, p);
        QCOMPARE(Selected(*grid), QList<int>({5, 2, 9, 24}));
        QVERIFY(grid->IsSelected(24) && !grid->IsSelected(0));
    }

    void shiftClickRuns_data()
    {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<int>("shiftClick");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("forward") << QList<int> {3} << 6 << QList<int> {3, 4, 5, 6};
        QTest::newRow("backward") << QList<int> {12} << 9 << QList<int> {9, 10, 11, 12};
        QTest::newRow("replaces the selection")
            << QList<int> {0, 20, 10} << 11 << QList<int> {10, 11};
    }

    void shiftClickRuns()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(int, shiftClick);
        QFETCH(QList<int>, expected);
        auto grid = ShownGrid(m_photos25);
        QVERIFY(grid);
        for (int p : clicks)
            Click(*grid, p);
        Click(*grid, shiftClick, Qt::ShiftModifier);
        QCOMPARE(Selected(*grid), expected);
    }

    void clickOnEmptySpaceChangesNothing()
    {
        auto grid = ShownGrid(m_photos25.mid(0, 5), {620, 500});
        QVERIFY(grid);
        Click(*grid, 1);
        QSignalSpy selects(grid.get(), &PhotoGrid::ImageSelect);
        QSignalSpy deselects(grid.get(), &PhotoGrid::ImageDeselect);
        const QRect last = grid->ImageRect(4);
        // Below the only row, right of the last photo, and in the gap between two photos.
        const QPoint below(20, last.bottom() + 40);
        const QPoint right(last.right() + 30, last.center().y());
        const QPoint gap(
            (grid->ImageRect(0).right() + grid->ImageRect(1).left()) / 2, last.center().y());
        for (const QPoint &at : {below, right, gap})
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(Selected(*grid), QList<int>({1}));
        QCOMPARE(selects.size() + deselects.size(), 0);
    }

    void keyboard()
    {
        auto grid = ShownGrid(m_photos25);
        QVERIFY(grid);
        grid->setFocus();
        QSignalSpy selects(grid.get(), &PhotoGrid::ImageSelect);
        Click(*grid, 2);
        QTest::keyClick(grid.get(), Qt::Key_Right);
        QCOMPARE(grid->currentIndex().row(), 3);
        QCOMPARE(Selected(*grid), QList<int>({2})); // moving does not select
        QTest::keyClick(grid.get(), Qt::Key_Space);
        QCOMPARE(Selected(*grid), QList<int>({2, 3}));
        QTest::keyClick(grid.get(), Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(grid.get(), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(Selected(*grid), QList<int>({3, 4, 5})); // the run from the anchor, photo 3
        QTest::keyClick(grid.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(grid->SelectedImagesCount(), 25);
        QCOMPARE(grid->SelectedImage(0), 0);
        QCOMPARE(grid->SelectedImage(24), 24);
        QCOMPARE(selects.size(), 1 + 1 + 2 + 22);
    }

    void programChangesRaiseNoEvents()
    {
        auto grid = ShownGrid(m_photos25);
        QVERIFY(grid);
        QSignalSpy selects(grid.get(), &PhotoGrid::ImageSelect);
        QSignalSpy deselects(grid.get(), &PhotoGrid::ImageDeselect);
        Click(*grid, 7);
        grid->SelectAll();
        QCOMPARE(grid->SelectedImagesCount(), 25);
        QCOMPARE(grid->SelectedImage(0), 0); // grid order, the clicked one too
        QCOMPARE(grid->SelectedImage(7), 7);
        grid->DeselectAll();
        QCOMPARE(grid->SelectedImagesCount(), 0);
        QCOMPARE(selects.size(), 1);
        QCOMPARE(deselects.size(), 0);
        grid->SetPhotos({});
        grid->SelectAll();
        QCOMPARE(grid->SelectedImagesCount(), 0);
    }

    void newPhotosDropTheSelection()
    {
        auto grid = ShownGrid(m_photos25);
        QVERIFY(grid);
        Click(*grid, 1);
        Click(*grid, 2);
        grid->SetPhotos(m_photos25.mid(0, 3));
        QCOMPARE(grid->SelectedImagesCount(), 0);
        QVERIFY(!grid->IsSelected(1));
        Click(*grid, 0, Qt::ShiftModifier); // the old anchor is gone too
        QCOMPARE(Selected(*grid), QList<int>({0}));
    }

    void thumbnailsArePainted()
    {
        QStringList photos;
        for (int i = 0; i < 6; ++i) {
            const QString path = m_dir.filePath(QStringLiteral("paint/p%1.jpg").arg(i));
            QDir().mkpath(QFileInfo(path).path());
            QVERIFY(WriteFile(path, SolidPhoto(i % 2 ? Qt::blue : Qt::red, i < 3)));
            photos.append(path);
        }
        QVERIFY(WriteFile(m_dir.filePath("paint/broken.jpg"), QByteArray("\xFF\xD8\xFF junk")));
        photos.append(m_dir.filePath("paint/broken.jpg"));
        auto grid = ShownGrid(photos);
        QVERIFY(grid);
        QVERIFY(WaitForThumbnails(*grid));
        QTest::qWait(20);
        for (int i = 0; i < 6; ++i) {
            const QColor c = PaintedCentre(*grid, i);
            QVERIFY2(i % 2 ? c.blue() > 200 && c.red() < 60 : c.red() > 200 && c.blue() < 60,
                qPrintable(QStringLiteral("photo %1 painted %2").arg(i).arg(c.name())));
        }
        // A photo that cannot be decoded keeps an empty box.
        QCOMPARE(PaintedCentre(*grid, 6), QColor(Qt::white));
    }

    void thumbnailsAheadOfScrollingAndBounded()
    {
        const QStringList photos = MakePhotos(m_dir.filePath("many"), 900, Qt::green);
        QCOMPARE(photos.size(), 900);
        auto grid = ShownGrid(photos);
        QVERIFY(grid);
        QVERIFY(WaitForThumbnails(*grid));
        const auto [first, last] = grid->VisibleRange();
        QCOMPARE(first, 0);
        QVERIFY(last >= 7 && last < 40);
        QVERIFY(grid->HasThumbnail(last + PhotoGrid::ReadAhead));
        QVERIFY(!grid->HasThumbnail(last + PhotoGrid::ReadAhead + 1));
        QCOMPARE(grid->ThumbnailCount(), last + PhotoGrid::ReadAhead + 1);

        // A small cache stays within its bytes while the grid scrolls to the end.
        const qint64 bound = 200 * 160 * 120 * 4;
        grid->SetThumbnailCacheBytes(bound);
        QScrollBar *bar = grid->verticalScrollBar();
        for (int v = 0; v <= bar->maximum(); v += bar->pageStep()) {
            bar->setValue(v);
            QCoreApplication::processEvents();
            QVERIFY(grid->ThumbnailBytes() <= bound);
        }
        bar->setValue(bar->maximum());
        QVERIFY(WaitForThumbnails(*grid));
        QVERIFY(grid->ThumbnailBytes() <= bound);
        QVERIFY(grid->HasThumbnail(899));
        QVERIFY(!grid->HasThumbnail(0));
    }

    void folderChangeDropsOldThumbnails()
    {
        const QStringList red = MakePhotos(m_dir.filePath("red"), 300, Qt::red);
        const QStringList blue = MakePhotos(m_dir.filePath("blue"), 3, Qt::blue);
        auto grid = ShownGrid(red);
        QVERIFY(grid);
        QCoreApplication::processEvents(); // red work under way
        grid->SetPhotos(blue);
        QVERIFY(WaitForThumbnails(*grid));
        QTest::qWait(50); // any late result of the red folder would arrive now
        QCOMPARE(grid->ThumbnailCount(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY(PaintedCentre(*grid, i).blue() > 200);
    }

    void progressReachesAHundred()
    {
        auto grid = std::make_unique<PhotoGrid>();
        QSignalSpy progress(grid.get(), &PhotoGrid::Progress);
        grid->resize(620, 500);
        grid->SetPhotos(m_photos25);
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        QVERIFY(WaitForThumbnails(*grid));
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().at(0).toInt(), 100);
    }

    void dropOffersOnlyPhotos()
    {
        auto grid = ShownGrid(m_photos25.mid(0, 2));
        QVERIFY(grid);
        QVERIFY(WriteFile(m_dir.filePath("drop.png"), SolidPhoto(Qt::red)));
        QSignalSpy dropped(grid.get(), &PhotoGrid::FilesDropped);
        auto send = [&](const QList<QUrl> &Urls) {
            QMimeData data;
            data.setUrls(Urls);
            const QPoint at(50, 50);
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(grid->viewport(), &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(grid->viewport(), &drop);
            return drop.isAccepted();
        };
        QVERIFY(!send({QUrl::fromLocalFile(m_dir.filePath("drop.png"))}));
        QVERIFY(send({QUrl::fromLocalFile(m_dir.filePath("drop.png")),
            QUrl::fromLocalFile(m_photos25[4]), QUrl("https://example.org/x.jpg")}));
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(dropped.at(0).at(0).toStringList(), QStringList({m_photos25[4]}));
    }
};

QTEST_MAIN(tst_photogrid)
#include "tst_photogrid.moc"
