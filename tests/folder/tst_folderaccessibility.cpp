// The folder page as a screen reader reads it: which photos of "사진 목록" are selected, told on
// every change, and the status with its counts.

#include "common/AccessibilityProbe.h"
#include "folder/FolderFixtures.h"
#include "folder/FolderPage.h"
#include "folder/PhotoGrid.h"

#include <QAccessible>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

class tst_folderaccessibility : public QObject
{
    Q_OBJECT

    AccessibilityProbe m_probe;
    QTemporaryDir m_dir;
    QStringList m_photos;

    // Positions whose item a screen reader reads as selected.
    static QList<int> ReadSelected(PhotoGrid &Grid)
    {
        QList<int> selected;
        QAccessibleTableInterface *table = AccessibilityProbe::Interface(&Grid)->tableInterface();
        for (int row = 0; row < table->rowCount(); ++row) {
            QAccessibleInterface *cell = table->cellAt(row, 0);
            if (cell && cell->state().selected)
                selected.append(row);
        }
        return selected;
    }

    static QList<int> GridSelected(const PhotoGrid &Grid)
    {
        QList<int> selected;
        for (int p = 0; p < Grid.ImageCount(); ++p)
            if (Grid.IsSelected(p))
                selected.append(p);
        return selected;
    }

    static void Click(PhotoGrid &Grid, int Position, Qt::KeyboardModifiers Modifiers = {})
    {
        QTest::mouseClick(
            Grid.viewport(), Qt::LeftButton, Modifiers, Grid.ImageRect(Position).center());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(AccessibilityProbe::Active());
        m_photos = folderfixtures::MakePhotos(m_dir.filePath(QStringLiteral("photos")), 12);
    }

    void selectedStateFollowsTheGrid()
    {
        PhotoGrid grid;
        grid.resize(620, 500);
        grid.SetPhotos(m_photos);
        grid.show();
        grid.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&grid));
        QVERIFY(AccessibilityProbe::Interface(&grid)->tableInterface());
        QCOMPARE(ReadSelected(grid), QList<int>());

        const auto told = [&](QAccessible::Event Type) { return m_probe.Count(Type, &grid); };
        struct Step
        {
            const char *What;
            std::function<void()> Do;
            QAccessible::Event Told; // InvalidEvent: nothing in particular
        };
        const Step steps[] = {
            {"click", [&] { Click(grid, 2); }, QAccessible::SelectionAdd},
            {"ctrl+click", [&] { Click(grid, 5, Qt::ControlModifier); }, QAccessible::SelectionAdd},
            {"shift+click", [&] { Click(grid, 7, Qt::ShiftModifier); },
                QAccessible::SelectionWithin},
            {"space", [&] { QTest::keyClick(&grid, Qt::Key_Space); }, QAccessible::SelectionRemove},
            {"ctrl+a", [&] { QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier); },
                QAccessible::SelectionWithin},
            {"deselect all", [&] { grid.DeselectAll(); }, QAccessible::SelectionWithin},
            {"click again", [&] { Click(grid, 11); }, QAccessible::SelectionAdd},
            {"new folder", [&] { grid.SetPhotos(m_photos.mid(0, 4)); }, QAccessible::InvalidEvent},
        };
        for (const Step &step : steps) {
            m_probe.Clear();
            step.Do();
            QVERIFY2(ReadSelected(grid) == GridSelected(grid), step.What);
            if (step.Told != QAccessible::InvalidEvent)
                QVERIFY2(told(step.Told) >= 1,
                    qPrintable(QString::fromLatin1(step.What) + u' ' + m_probe.Describe(&grid)));
        }
        QCOMPARE(ReadSelected(grid), QList<int>());
    }

    void statusReadsItsCounts()
    {
        QWidget treePanel, gridPanel;
        new QVBoxLayout(&treePanel);
        new QVBoxLayout(&gridPanel);
        TFolderPage page(&treePanel, &gridPanel);
        gridPanel.resize(700, 500);
        gridPanel.show();
        auto *status = page.sbList()->findChild<QLabel *>(QStringLiteral("sbListPanel"));
        QVERIFY(status);

        page.ShowFolder(m_dir.filePath(QStringLiteral("photos")));
        QCOMPARE(AccessibilityProbe::Name(status),
            QStringLiteral("선택한 사진 수: ") + page.StatusText());
        QVERIFY(page.StatusText().startsWith(QStringLiteral("Choice:0장/Total:12장")));

        m_probe.Clear();
        page.ivList()->SelectAll();
        page.ivListImageSelect(0); // as the grid reports a selection by the customer
        QVERIFY(AccessibilityProbe::Name(status).contains(QStringLiteral("Choice:12장")));
        QVERIFY2(m_probe.Count(QAccessible::NameChanged, status) == 1,
            qPrintable(m_probe.Describe(status)));
    }
};

QTEST_MAIN(tst_folderaccessibility)
#include "tst_folderaccessibility.moc"
