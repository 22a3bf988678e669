#include "folder/FolderTree.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>

namespace {

// VCL colour 16511722 (blue in the high byte): a light blue.
const QColor TreeBackground(0xEA, 0xF4, 0xFB);

} // namespace

FolderTree::FolderTree(QWidget *Parent)
    : QTreeView(Parent)
    , m_model(new QFileSystemModel(this))
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
