#include "app/KestrunApplication.h"
#include "app/MainFrm.h"
#include "cart/uOrderBrowser.h"
#include "common/AppTestMain.h"
#include "common/ModalWatcher.h"
#include "folder/FolderFixtures.h"
#include "folder/FolderPage.h"
#include "folder/FolderTree.h"
#include "folder/PhotoGrid.h"
#include "ui/Skin.h"

#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QProgressBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cstdio>

using namespace folderfixtures;

namespace {

const QString Note = QStringLiteral("장(※같은 이름의 사진은 중복 신청 되지 않습니다)");

QString Status(int Selected, int Total)
{
    return QStringLiteral("Choice:%1장/Total:%2").arg(Selected).arg(Total) + Note;
}

} // namespace

class tst_folderpage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder25;
    std::unique_ptr<TfrmMain> m_main;

    struct OfferedFolder
    {
        QString Tag;
        QStringList Files, Shown;
    };
    static QList<OfferedFolder> OfferedFolders()
    {
        return {{"jpeg-only", {"a.jpg", "b.JPEG", "c.png", "d.bmp", "e.tif", ".f.jpg"},
                    {"a.jpg", "b.JPEG"}},
            {"raw-and-metafile", {"x.cr2", "x.wmf"}, {"x.cr2", "x.wmf"}}};
    }

    TFolderPage *page() const { return m_main->Folders(); }
    PhotoGrid *grid() const { return page()->ivList(); }

    TOrderBrowser *browser() const
    {
        return m_main->OrderBrowserPanel()->findChild<TOrderBrowser *>();
    }

    QStringList orderFiles() const
    {
        QStringList files;
        for (int i = 0; i < browser()->OrderCount(); ++i)
            files.append(browser()->OrderAt(i)->FileName);
        return files;
    }

    void openFolder(const QString &Path)
    {
        m_main->pcMain()->setCurrentIndex(TfrmMain::FolderPageIndex);
        page()->tvFolder()->setCurrentIndex(QModelIndex()); // so the same folder changes too
        QVERIFY(page()->tvFolder()->SelectFolder(Path));
        QCOMPARE(page()->tvFolder()->FolderPath(page()->tvFolder()->currentIndex()), Path);
        QCoreApplication::processEvents();
    }

    void click(int Position)
    {
        grid()->scrollTo(grid()->model()->index(Position, 0));
        QTest::mouseClick(
            grid()->viewport(), Qt::LeftButton, {}, grid()->ImageRect(Position).center());
    }

    void press(const char *Button)
    {
        QToolButton *button = m_main->ToolButton(QString::fromLatin1(Button));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // The photo at a grid position (the grid keeps the order the folder lists them in).
    void btnClearSelection() { press("btnDeselecteAll"); }

    QString photo(int Position) const { return grid()->ImageFileName(Position); }

private slots:
    void initTestCase()
    {
        // No print service: the banner fails quietly, the pages work without it.
        qputenv("KESTRUN_WEB_URL", "http://127.0.0.1:9");
        qputenv("KESTRUN_CONFIG", m_dir.filePath("Kestrun.cfg").toUtf8());
        // Every folder exists before the tree first lists their parent.
        m_folder25 = m_dir.filePath("trip");
        QCOMPARE(MakePhotos(m_folder25, 25).size(), 25);
        MakePhotos(m_dir.filePath("other"), 2, Qt::blue);
        MakePhotos(m_dir.filePath("other2"), 4);
        QDir().mkpath(m_dir.filePath("gallery"));
        for (int i = 0; i < 30; ++i) {
            QImage picture = fixtures::Textured(400, i % 4 ? 300 : 533, unsigned(i + 1));
            picture.fill(QColor::fromHsv(i * 12 % 360, 120 + i * 4, 220)); // a hue per photo
            QPainter(&picture).drawImage(QRect(40, 40, 160, 120), fixtures::Textured(160, 120, i));
            QVERIFY(WriteFile(m_dir.filePath(QStringLiteral("gallery/DSC_%1.jpg").arg(1000 + i)),
                fixtures::EncodeJpeg(picture)));
        }
        for (const auto &[tag, files, shown] : OfferedFolders()) {
            QDir().mkpath(m_dir.filePath(tag));
            for (const QString &name : files)
                QVERIFY(WriteFile(m_dir.filePath(tag) + '/' + name, SolidPhoto(Qt::gray)));
        }

        m_main = std::make_unique<TfrmMain>(QStringList {"KestrunBrimvale", "guest"});
        if (!browser()) {
            // The cart page has no browser of its own yet: give it one.
            auto *own = new TOrderBrowser(m_main->OrderBrowserPanel());
            m_main->OrderBrowserPanel()->layout()->addWidget(own);
        }
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    }

    void cleanupTestCase() { m_main.reset(); }

    void init() { browser()->ClearOrders(); }

    void offeredPhotosOfAFolder_data()
    {
        QTest::addColumn<QStringList>("shown");
        for (const auto &[tag, files, shown] : OfferedFolders())
            QTest::newRow(qPrintable(tag)) << shown;
    }

    void offeredPhotosOfAFolder()
    {
        QFETCH(QStringList, shown);
        openFolder(m_dir.filePath(QTest::currentDataTag()));
        QStringList captions;
        for (int i = 0; i < grid()->ImageCount(); ++i)
            captions.append(grid()->model()->index(i, 0).data().toString());
        captions.sort();
        QCOMPARE(captions, shown);
        QCOMPARE(grid()->SelectedImagesCount(), 0);
        QCOMPARE(page()->StatusText(), Status(0, int(shown.size())));
    }

    void unlistableFolderGivesAnEmptyGrid()
    {
        openFolder(m_folder25);
        QCOMPARE(grid()->ImageCount(), 25);
        page()->tvFolderChange(QModelIndex()); // no node: nothing happens
        QCOMPARE(grid()->ImageCount(), 25);
        ModalWatcher watcher(ModalWatcher::Dismiss, 300);
        page()->ShowFolder(m_dir.filePath("gone"));
        QCOMPARE(grid()->ImageCount(), 0);
        QTest::qWait(400);
        QVERIFY(!watcher.Seen());
    }

    void photosWhoseNamesCannotBeRead()
    {
        const QString folder = m_dir.filePath("unreadable names");
        MakePhotos(folder, 2);
        const QByteArray raw = QFile::encodeName(folder) + "/\xBB\xE7\xC1\xF8.jpg"; // CP949
        FILE *f = fopen(raw.constData(), "wb");
        QVERIFY(f);
        fclose(f);
        openFolder(folder);
        QCOMPARE(grid()->ImageCount(), 2);
        QCOMPARE(page()->StatusText(),
            Status(0, 2) + QStringLiteral(" · 파일 이름을 읽을 수 없는 사진 1장 제외"));
        QLabel *panel = m_main->findChild<QLabel *>("sbListPanel");
        QVERIFY(panel);
        QVERIFY2(
            panel->toolTip().contains(QStringLiteral("\n사진.jpg")), qPrintable(panel->toolTip()));
        click(0); // the note stays while the selection changes
        QCOMPARE(page()->StatusText(),
            Status(1, 2) + QStringLiteral(" · 파일 이름을 읽을 수 없는 사진 1장 제외"));
        if (const QString shots = qEnvironmentVariable("KB_SCREENSHOTS"); !shots.isEmpty())
            m_main->grab().save(shots + "/folderpage-unreadable-names.png");
        openFolder(m_folder25);
        QCOMPARE(page()->StatusText(), Status(0, 25));
        QVERIFY(panel->toolTip().isEmpty());
    }

    void statusTextCountsClicks()
    {
        openFolder(m_folder25);
        for (int p : {4, 11, 17})
            click(p);
        QCOMPARE(page()->StatusText(), Status(3, 25));
        click(11); // a selected photo: deselected
        QCOMPARE(page()->StatusText(), Status(2, 25));
        QCOMPARE(grid()->SelectedImagesCount(), 2);
    }

    void addingWithNothingSelected()
    {
        openFolder(m_folder25);
        ModalWatcher watcher(ModalWatcher::Dismiss);
        press("btnAddToList");
        QVERIFY(watcher.Seen());
        QCOMPARE(watcher.Text(), QStringLiteral("선택된 사진이 없습니다."));
        QCOMPARE(watcher.Title(), QString());
        QCOMPARE(m_main->pcMain()->currentIndex(), int(TfrmMain::FolderPageIndex));
        QCOMPARE(browser()->OrderCount(), 0);
    }

    void plainMessageBox()
    {
        openFolder(m_folder25);
        QMessageBox::Icon icon = QMessageBox::Critical;
        int buttons = 0;
        ModalWatcher watcher([&](QWidget *W) {
            auto *box = qobject_cast<QMessageBox *>(W);
            if (box) {
                icon = box->icon();
                buttons = int(box->buttons().size());
            }
            ModalWatcher::Dismiss(W);
        });
        press("btnAddToList");
        QVERIFY(watcher.Seen());
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons, 1);
    }

    void addingInSelectionOrder()
    {
        openFolder(m_folder25);
        browser()->AddOrder(TOrder::Create(photo(20))); // listed before
        for (int p : {5, 2, 9})
            click(p);
        press("btnAddToList");
        QCOMPARE(orderFiles(), QStringList({photo(20), photo(5), photo(2), photo(9)}));
        QCOMPARE(browser()->OrderAt(1)->ImageWidth, 160); // measured as it was made
        QCOMPARE(m_main->pcMain()->currentIndex(), int(TfrmMain::CartPageIndex));
        QVERIFY(!m_main->WaitPanel()->isVisible());
        QCOMPARE(m_main->ggProgress()->maximum(), 3);
        QCOMPARE(m_main->ggProgress()->value(), 3);
        QCOMPARE(grid()->SelectedImagesCount(), 0);
        for (int p = 0; p < 25; ++p)
            QVERIFY(!grid()->IsSelected(p));
    }

    void samePhotoTwice()
    {
        openFolder(m_folder25);
        click(1);
        press("btnAddToList");
        QCOMPARE(browser()->OrderCount(), 1);
        press("btnFolderView");
        click(1);
        click(3);
        click(1);
        click(1); // selected again: 3 then 1
        press("btnAddToList");
        QCOMPARE(orderFiles(), QStringList({photo(1), photo(3)}));
        QCOMPARE(m_main->ggProgress()->value(), 1); // the skipped photo leaves the gauge
        QCOMPARE(grid()->SelectedImagesCount(), 0);
        QCOMPARE(m_main->pcMain()->currentIndex(), int(TfrmMain::CartPageIndex));

        // Only the one already listed: no order, yet the page changes and the selection goes.
        press("btnFolderView");
        click(3);
        press("btnAddToList");
        QCOMPARE(browser()->OrderCount(), 2);
        QCOMPARE(grid()->SelectedImagesCount(), 0);
        QCOMPARE(m_main->pcMain()->currentIndex(), int(TfrmMain::CartPageIndex));
    }

    void sameNameInTwoFolders()
    {
        const QString other = m_dir.filePath("other");
        openFolder(m_folder25);
        click(int(grid()
                      ->model()
                      ->match(grid()->model()->index(0, 0), Qt::DisplayRole, "IMG_0001.jpg")
                      .value(0)
                      .row()));
        press("btnAddToList");
        openFolder(other);
        click(int(grid()
                      ->model()
                      ->match(grid()->model()->index(0, 0), Qt::DisplayRole, "IMG_0001.jpg")
                      .value(0)
                      .row()));
        press("btnAddToList");
        QCOMPARE(
            orderFiles(), QStringList({m_folder25 + "/IMG_0001.jpg", other + "/IMG_0001.jpg"}));
    }

    void folderChangeDropsTheSelection()
    {
        const QString other = m_dir.filePath("other2");
        openFolder(m_folder25);
        click(0);
        click(6);
        openFolder(other);
        QCOMPARE(grid()->SelectedImagesCount(), 0);
        QCOMPARE(page()->StatusText(), Status(0, 4));
        openFolder(m_folder25);
        QCOMPARE(grid()->SelectedImagesCount(), 0);
        ModalWatcher watcher(ModalWatcher::Dismiss);
        press("btnAddToList");
        QVERIFY(watcher.Seen());
        QCOMPARE(browser()->OrderCount(), 0);
    }

    void selectAllAndDeselectButtons()
    {
        openFolder(m_folder25);
        click(7);
        press("btnSelectAll");
        QCOMPARE(grid()->SelectedImagesCount(), 25);
        QCOMPARE(page()->StatusText(), Status(25, 25));
        press("btnDeselecteAll");
        QCOMPARE(grid()->SelectedImagesCount(), 0);
        QCOMPARE(page()->StatusText(), Status(0, 25));
        click(7);
        press("btnSelectAll");
        press("btnAddToList");
        QStringList all;
        for (int i = 0; i < 25; ++i)
            all.append(grid()->ImageFileName(i));
        QCOMPARE(orderFiles(), all); // grid order, the clicked one in its place
    }

    void screenshots()
    {
        // KB_SCREENSHOTS=<folder> keeps pictures of the folder page for a look by eye.
        const QString folder = qEnvironmentVariable("KB_SCREENSHOTS");
        if (folder.isEmpty())
            QSKIP("KB_SCREENSHOTS not set");
        openFolder(m_dir.filePath("gallery"));
        for (int p : {1, 6, 7, 12})
            click(p);
        QVERIFY(QTest::qWaitFor([&] { return !grid()->ThumbnailsPending(); }, 10000));
        QTest::qWait(100);
        m_main->grab().save(folder + "/folderpage.png");
        grid()->grab().save(folder + "/folderpage-grid.png");
        btnClearSelection();
    }

    void photosDroppedOnTheCartPage()
    {
        openFolder(m_folder25);
        click(0);
        press("btnAddToList");
        QVERIFY(WriteFile(m_dir.filePath("loose.jpg"), SolidPhoto(Qt::green)));
        QVERIFY(WriteFile(m_dir.filePath("loose.png"), SolidPhoto(Qt::green)));
        QMimeData data;
        data.setUrls(
            {QUrl::fromLocalFile(m_dir.filePath("loose.png")), QUrl::fromLocalFile(photo(0)),
                QUrl::fromLocalFile(m_dir.filePath("loose.jpg")), QUrl::fromLocalFile(m_folder25)});
        QWidget *target = m_main->CartPage();
        const QPoint at(40, 40);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &drop);
        QCOMPARE(orderFiles(), QStringList({photo(0), m_dir.filePath("loose.jpg")}));

        // Dropped on the grid: the same road, so the folder page gives way to the cart page.
        press("btnFolderView");
        QVERIFY(WriteFile(m_dir.filePath("loose2.jpg"), SolidPhoto(Qt::green)));
        QMimeData more;
        more.setUrls({QUrl::fromLocalFile(m_dir.filePath("loose2.jpg")),
            QUrl::fromLocalFile(m_dir.filePath("loose.jpg"))});
        QDragEnterEvent enterGrid(at, Qt::CopyAction, &more, Qt::LeftButton, {});
        QCoreApplication::sendEvent(grid()->viewport(), &enterGrid);
        QDropEvent dropGrid(at, Qt::CopyAction, &more, Qt::LeftButton, {});
        QCoreApplication::sendEvent(grid()->viewport(), &dropGrid);
        QCOMPARE(orderFiles(),
            QStringList({photo(0), m_dir.filePath("loose.jpg"), m_dir.filePath("loose2.jpg")}));
        QCOMPARE(m_main->pcMain()->currentIndex(), int(TfrmMain::CartPageIndex));
    }
};

KB_APP_TEST_MAIN(tst_folderpage)

#include "tst_folderpage.moc"
