#include "common/WindowTestMain.h"
#include "folder/FolderTree.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>

// The folder tree in a panel as narrow as the folder page's.
class tst_foldertree : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_deep;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_deep = m_dir.path();
        for (int level = 1; level <= 12; ++level)
            m_deep += QStringLiteral("/%1단계_가족여행사진_2024").arg(level, 2, 10, QChar('0'));
        QVERIFY(QDir().mkpath(m_deep));
    }

    void deepFolderIsReadable()
    {
        QWidget panel;
        auto *tree = new FolderTree(&panel);
        (new QHBoxLayout(&panel))->addWidget(tree);
        panel.resize(185, 400);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));

        QVERIFY(tree->SelectFolder(m_deep));
        const QModelIndex node = tree->NodeOf(m_deep);
        QVERIFY(node.isValid());
        const QString name = node.data().toString();
        QCOMPARE(name, QDir(m_deep).dirName());

        // The names scroll sideways instead of being cut to nothing by the panel's edge.
        QTRY_VERIFY(tree->horizontalScrollBar()->maximum() > 0);
        tree->scrollTo(node);
        const int need = tree->fontMetrics().horizontalAdvance(name);
        QTRY_VERIFY2(tree->visualRect(node).width() >= need,
            qPrintable(QStringLiteral("item %1 wide, its name needs %2")
                           .arg(tree->visualRect(node).width())
                           .arg(need)));
        QVERIFY(tree->visualRect(node).intersects(tree->viewport()->rect()));
        // The whole path as the tool tip, for every folder of the tree.
        QCOMPARE(node.data(Qt::ToolTipRole).toString(), QDir::toNativeSeparators(m_deep));
        QCOMPARE(node.parent().data(Qt::ToolTipRole).toString(),
            QDir::toNativeSeparators(QFileInfo(m_deep).path()));
        // A deep folder does not ask for a wider panel: the page keeps its proportions.
        QVERIFY(tree->minimumSizeHint().width() < 185);

        const QString shots = qEnvironmentVariable("KB_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            panel.grab().save(shots + "/foldertree-deep.png");
    }
};

KB_WINDOW_TEST_MAIN(tst_foldertree)
#include "tst_foldertree.moc"
