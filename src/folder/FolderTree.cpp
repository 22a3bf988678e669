#include "folder/FolderTree.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScrollBar>

namespace {

// VCL colour 16511722 (blue in the high byte): a light blue.
const QColor TreeBackground(0xEA, 0xF4, 0xFB);

// The folders with their full paths as tool tips: deep in the tree a name alone does not say
// where it is, and a long one may be cut at the panel's edge.
class FolderModel : public QFileSystemModel
{
public:
    using QFileSystemModel::QFileSystemModel;

    QVariant data(const QModelIndex &Index, int Role) const override
    {
        if (Role == Qt::ToolTipRole && Index.isValid())
            return QDir::toNativeSeparators(filePath(Index));
        return QFileSystemModel::data(Index, Role);
    }
};

} // namespace

FolderTree::FolderTree(QWidget *Parent)
    : QTreeView(Parent)
    , m_model(new FolderModel(this))
{
    setObjectName(QStringLiteral("tvFolder"));
    setAccessibleName(QStringLiteral("폴더 목록"));

    m_model->setReadOnly(true);
    // Folders only; hidden ones stay hidden as the desktop's own file manager keeps them.
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    // The watcher keeps the tree up to date when folders come and go.
    m_model->setRootPath(QDir::rootPath());

    setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        hideColumn(column);
    header()->hide();
    // The column is as wide as its deepest shown name and scrolls sideways in the narrow panel,
    // so names far down the tree are not elided to nothing.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setIndentation(19);
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setAnimated(false);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    setStyleSheet(QStringLiteral("QTreeView#tvFolder { background: %1; border: none; }")
                      .arg(TreeBackground.name()));

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex &Current, const QModelIndex &) {
            if (Current.isValid())
                expand(Current);
            emit FolderChange(Current);
        });

    // Home opened down to its own folders, the root above it too; nothing selected.
    const QString home = QDir::homePath();
    for (QModelIndex node = m_model->index(home); node.isValid(); node = node.parent())
        expand(node);
    scrollTo(m_model->index(home), QAbstractItemView::PositionAtTop);
}

QString FolderTree::FolderPath(const QModelIndex &Node) const
{
    return Node.isValid() ? m_model->filePath(Node) : QString();
}

QModelIndex FolderTree::NodeOf(const QString &Path) const
{
    return m_model->index(QDir::cleanPath(Path));
}

bool FolderTree::SelectFolder(const QString &Path)
{
    const QModelIndex node = NodeOf(Path);
    if (!node.isValid())
        return false;
    setCurrentIndex(node);
    scrollTo(node);
    return true;
}

void FolderTree::scrollTo(const QModelIndex &Index, ScrollHint Hint)
{
    QTreeView::scrollTo(Index, Hint);
    if (!Index.isValid())
        return;
    // The column's width follows the names laid out; bring it up to date before measuring.
    executeDelayedItemsLayout();
    header()->resizeSections(QHeaderView::ResizeToContents);
    updateGeometries();
    const int left = visualRect(Index).left();
    const int width = viewport()->width();
    if (left < 0 || left > width / 2)
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + left - indentation());
}
