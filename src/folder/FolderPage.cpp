#include "folder/FolderPage.h"

#include "folder/FolderTree.h"
#include "folder/PhotoGrid.h"
#include "folder/PhotoListing.h"
#include "ui/ErrorDisplay.h"
#include "ui/LiveLabel.h"
#include "ui/PlainMessage.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>

namespace {

// Names the photos a folder could not offer, for the status panel's tool tip; a long list is
// cut so the tip stays on the screen.
QString UnlistableNote(const QStringList &Names)
{
    if (Names.isEmpty())
        return {};
    constexpr int Shown = 15;
    QStringList lines {QStringLiteral("파일 이름을 읽을 수 없어 목록에 넣지 못한 사진입니다. "
                                      "이름을 바꾸면 목록에 나타납니다.")};
    lines += Names.mid(0, Shown);
    if (Names.size() > Shown)
        lines.append(QStringLiteral("외 %1장").arg(Names.size() - Shown));
    return lines.join(u'\n');
}

QStringList LocalFiles(const QMimeData *Data)
{
    QStringList paths;
    if (Data && Data->hasUrls())
        for (const QUrl &url : Data->urls())
            if (url.isLocalFile())
                paths.append(url.toLocalFile());
    return paths;
}

} // namespace

TFolderPage::TFolderPage(
    QWidget *TreePanel, QWidget *GridPanel, QWidget *DropTarget, QObject *Parent)
    : QObject(Parent)
    , m_dropTarget(DropTarget)
    , m_tree(new FolderTree(TreePanel))
    , m_grid(new PhotoGrid(GridPanel))
    , m_status(new QStatusBar(GridPanel))
    , m_statusPanel(new QLabel(m_status))
{
    TreePanel->layout()->addWidget(m_tree);
    GridPanel->layout()->addWidget(m_grid);
    GridPanel->layout()->addWidget(m_status);

    m_status->setObjectName(QStringLiteral("sbList"));
    m_status->setAccessibleName(QStringLiteral("선택 상태"));
    m_status->setFixedHeight(24);
    m_status->setSizeGripEnabled(false);
    // The only panel: 200 wide at least, its text may run to the right edge.
    m_statusPanel->setObjectName(QStringLiteral("sbListPanel"));
    m_statusPanel->setAccessibleName(QStringLiteral("선택한 사진 수"));
    ExposeLabelText(m_statusPanel);
    m_statusPanel->setMinimumWidth(200);
    m_status->addWidget(m_statusPanel, 1);

    connect(m_tree, &FolderTree::FolderChange, this,
        [this](const QModelIndex &Node) { RunHandler([&] { tvFolderChange(Node); }); });
    connect(m_grid, &PhotoGrid::ImageSelect, this, &TFolderPage::ivListImageSelect);
    connect(m_grid, &PhotoGrid::ImageDeselect, this, &TFolderPage::ivListImageDeselect);
    connect(m_grid, &PhotoGrid::Progress, this, &TFolderPage::ivListProgress);
    connect(m_grid, &PhotoGrid::FilesDropped, this,
        [this](const QStringList &Paths) { RunHandler([&] { AddPhotoFiles(Paths); }); });

    if (m_dropTarget) {
        m_dropTarget->setAcceptDrops(true);
        m_dropTarget->installEventFilter(this);
    }
}

QString TFolderPage::StatusText() const
{
    return m_statusPanel->text();
}

void TFolderPage::tvFolderChange(const QModelIndex &Node)
{
    if (!Node.isValid())
        return;
    ShowFolder(m_tree->FolderPath(Node));
}

void TFolderPage::ShowFolder(const QString &Path)
{
    m_grid->Clear();
    // A folder that cannot be listed gives an empty grid, without a message.
    m_grid->SetPhotos(ListFolderPhotos(Path));
    m_unlistable = UnlistablePhotoNames(Path);
    m_statusPanel->setToolTip(UnlistableNote(m_unlistable));
    m_statusPanel->setAccessibleDescription(m_statusPanel->toolTip());
    m_grid->DeselectAll();
    writeStatus(0);
}

void TFolderPage::writeStatus(int Selected)
{
    m_statusPanel->setText(QStringLiteral("Choice:") + QString::number(Selected)
        + QStringLiteral("장/Total:") + QString::number(m_grid->ImageCount())
        + QStringLiteral("장(※같은 이름의 사진은 중복 신청 되지 않습니다)")
        + (m_unlistable.isEmpty() ? QString()
                                  : QStringLiteral(" · 파일 이름을 읽을 수 없는 사진 %1장 제외")
                                        .arg(m_unlistable.size())));
}

void TFolderPage::ivListImageSelect(int)
{
    writeStatus(m_grid->SelectedImagesCount());
}

void TFolderPage::ivListImageDeselect(int)
{
    // The grid raises this once the photo no longer counts as selected.
    writeStatus(m_grid->SelectedImagesCount());
}

void TFolderPage::ivListProgress(int Percentage)
{
    emit ProgressChanged(Percentage);
}

void TFolderPage::btnSelectAllClick()
{
    m_grid->SelectAll();
    writeStatus(m_grid->SelectedImagesCount());
}

void TFolderPage::btnDeselecteAllClick()
{
    m_grid->DeselectAll();
    writeStatus(0);
}

void TFolderPage::btnAddToListClick()
{
    if (m_grid->SelectedImagesCount() == 0) {
        ShowPlainMessage(m_grid->window(), QStringLiteral("선택된 사진이 없습니다."));
        return;
    }
    AddSelectedPhotos();
}

void TFolderPage::AddSelectedPhotos()
{
    QStringList paths;
    paths.reserve(m_grid->SelectedImagesCount());
    for (int k = 0; k < m_grid->SelectedImagesCount(); ++k)
        paths.append(m_grid->ImageFileName(m_grid->SelectedImage(k)));
    emit PhotosChosen(paths);
    m_grid->DeselectAll();
    writeStatus(0);
}

void TFolderPage::AddPhotoFiles(const QStringList &Paths)
{
    const QStringList photos = OfferedPhotoFiles(Paths);
    if (!photos.isEmpty())
        emit PhotosChosen(photos);
}

bool TFolderPage::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Watched && Watched == m_dropTarget) {
        switch (Event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDragMoveEvent *>(Event);
            if (OfferedPhotoFiles(LocalFiles(drag->mimeData())).isEmpty())
                drag->ignore();
            else
                drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(Event);
            const QStringList paths = LocalFiles(drop->mimeData());
            drop->acceptProposedAction();
            RunHandler([&] { AddPhotoFiles(paths); });
            return true;
        }
        default:
            break;
        }
    }
    return QObject::eventFilter(Watched, Event);
}
