#include "trim/TrimmingFrm.h"

#include "ui_TrimmingFrm.h"

#include "trim/TrimPictures.h"
#include "ui/DialogKeys.h"
#include "util/ImageDecode.h"
#include "util/MeasureImage.h"

#include <QButtonGroup>
#include <QImageReader>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <stdexcept>

using namespace TrimGeometry;

namespace {

// Above this the wallet sheet of an extreme strip of a photo is not drawn (its geometry
// stays); 1 x 5000 pixels would otherwise ask for a sheet of gigabytes.
constexpr qint64 MaxSheetPixels = 16'000'000;

QSize SizeOf(const TRect &r)
{
    return {r.Width(), r.Height()};
}

// The decode size in the photo's proportions that is at least every picture drawn from it,
// never more than the photo itself.
QSize DecodeSize(QSize Stored, std::initializer_list<QSize> Pictures)
{
    double f = 0;
    for (QSize p : Pictures)
        f = std::max({f, double(p.width()) / Stored.width(), double(p.height()) / Stored.height()});
    f = std::min(f, 1.0);
    return {std::max(1, int(std::ceil(Stored.width() * f - 1e-6))),
        std::max(1, int(std::ceil(Stored.height() * f - 1e-6)))};
}

// The reader's own account of why a photo gives no picture.
QString DecodeError(const QString &FileName, QSize Stored)
{
    QImageReader reader(FileName);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    if (!reader.canRead())
        return reader.errorString();
    if (qint64(Stored.width()) * Stored.height() > MaxDecodePixels)
        return QStringLiteral("Image is too large to decode (%1 x %2)")
            .arg(Stored.width())
            .arg(Stored.height());
    reader.setScaledSize({64, 64});
    if (reader.read().isNull())
        return reader.errorString();
    return QStringLiteral("Unable to read image data");
}

} // namespace

TfrmTrimming::TfrmTrimming(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmTrimming>())
{
    FormCreate();
}

TfrmTrimming::~TfrmTrimming()
{
    FormDestroy();
}

void TfrmTrimming::FormCreate()
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(size());

    // Radio groups: item index = button id. A selection made from code emits the same
    // toggled signal as a click, so both run the group's click handling.
    m_sizeGroup = new QButtonGroup(this);
    for (int i = 0; i < PrintSizeCount; ++i)
        m_sizeGroup->addButton(findChild<QRadioButton *>(QStringLiteral("rbSize%1").arg(i)), i);
    m_layoutGroup = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i)
        m_layoutGroup->addButton(findChild<QRadioButton *>(QStringLiteral("rbLayout%1").arg(i)), i);
    m_layoutGroup->button(0)->setChecked(true);

    connect(m_sizeGroup, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            SizeGroupClick();
    });
    connect(m_layoutGroup, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            LayoutGroupClick();
    });
    connect(ui->btnClose, &QPushButton::clicked, this, [this] { done(mrOK); });
    connect(ui->sBitBtn1, &QPushButton::clicked, this, [this] { done(mrCancel); });

    // Layers from bottom to top: ghost, photo, sheet, frame; the rubber band lies above all.
    TTrimImageView *view = ui->ImgView;
    m_ghostLayer = view->AddLayer();
    m_ghostLayer->Opacity = GhostAlpha / 255.0;
    m_photoLayer = view->AddLayer();
    m_photoLayer->Cropped = true;
    m_sheetLayer = view->AddLayer();
    m_sheetLayer->Cropped = true;
    m_frameLayer = view->AddLayer();
    view->SetRubberBandVisible(false);
    view->OnResizing = [this](TDragState state, const TFloatRect &old, TFloatRect &proposed) {
        RBResizing(state, old, proposed);
    };
    // Enter is OK, on Cancel it is Cancel; the view comes first, so the arrow keys place the
    // photo at once.
    SetDialogKeys(*this, ui->btnClose);
    for (QButtonGroup *group : {m_sizeGroup, m_layoutGroup})
        connect(group, &QButtonGroup::idToggled, this, [group](int Id, bool Checked) {
            if (Checked)
                TabToChecked(*group->button(Id));
        });
    view->setFocus();
}

void TfrmTrimming::FormDestroy()
{
    ui->ImgView->OnResizing = nullptr;
    m_workingOrder.reset();
}

TTrimImageView *TfrmTrimming::ImageView() const
{
    return ui->ImgView;
}

int TfrmTrimming::SizeItemIndex() const
{
    return m_sizeGroup->checkedId();
}

int TfrmTrimming::LayoutItemIndex() const
{
    return m_layoutGroup->checkedId();
}

void TfrmTrimming::SelectSize(int Index)
{
    m_sizeGroup->button(Index)->setChecked(true);
}

void TfrmTrimming::SelectLayout(int Index)
{
    m_layoutGroup->button(Index)->setChecked(true);
}

void TfrmTrimming::SetLayoutItemsEnabled(bool Enabled)
{
    for (QAbstractButton *b : m_layoutGroup->buttons())
        b->setEnabled(Enabled);
}

void TfrmTrimming::OpenForOrder(const TOrder &Order)
{
    m_workingOrder.reset();
    std::unique_ptr<TOrder> copy = Order.Clone();
    LoadPhoto(copy->FileName);
    m_workingOrder = std::move(copy);

    // Only ordered sizes can be chosen; the lowest ordered one comes first.
    int candidate = -1;
    for (int i = PrintSizeCount - 1; i >= 0; --i) {
        const bool ordered = m_workingOrder->Quantities[i] != 0;
        m_sizeGroup->button(i)->setEnabled(ordered);
        if (ordered)
            candidate = i;
    }
    if (candidate >= 0) {
        if (SizeItemIndex() == candidate)
            LayoutForSize();
        else
            SelectSize(candidate);
    }

    const bool bordered = m_workingOrder->Bordered;
    if (m_workingOrder->Layout == TOrder::LayoutPaperFull)
        SelectLayout(bordered ? 1 : 0);
    else
        SelectLayout(bordered ? 3 : 2);
}

void TfrmTrimming::LoadPhoto(const QString &FileName)
{
    const QSize stored = MeasureImage(FileName);
    const QSize fit = SizeOf(FitPhotoRect(stored));
    const TWalletSheet wallet = WalletSheet(stored);
    QImage P;
    if (!stored.isEmpty())
        P = DecodePicture(FileName, stored, DecodeSize(stored, {fit, wallet.Copy}));
    if (P.isNull())
        throw std::runtime_error(DecodeError(FileName, stored).toStdString());

    m_landscape = IsLandscape(stored.width(), stored.height());
    m_photoLayer->Bitmap = TrimPictures::ScaledPhoto(P, fit);
    m_ghostLayer->Bitmap = m_photoLayer->Bitmap;
    m_sheetSize = wallet.Sheet;
    if (qint64(wallet.Sheet.width()) * wallet.Sheet.height() <= MaxSheetPixels)
        m_sheetLayer->Bitmap = TrimPictures::WalletSheet(P, wallet);
    else
        m_sheetLayer->Bitmap = QImage();
    m_sheetLayer->Visible = false;
    ui->ImgView->Changed();
}

void TfrmTrimming::LayoutForSize()
{
    const int s = SizeItemIndex();
    // No size chosen (an order without quantities) leaves nothing to lay out.
    if (s < 0 || !m_workingOrder)
        return;
    TTrimImageView *view = ui->ImgView;
    view->BeginUpdate();

    const QString title = m_sizeGroup->button(s)->text();
    ui->lblTitle->setText(title);
    ui->lblTitle->setAccessibleName(title);
    SetLayoutItemsEnabled(true);

    QSize paper = SizeOf(PaperRect(s, m_landscape));
    view->SetPaperSize(paper);
    const QSize fit = m_photoLayer->Bitmap.size();

    if (s == SizeWallet) {
        view->SetRubberBandVisible(true);
        m_sheetLayer->Visible = true;
        m_photoLayer->Visible = false;
        m_ghostLayer->Visible = false;
        // The wallet is printed paper-full without border only; this may lay out once more.
        SelectLayout(0);
        SetLayoutItemsEnabled(false);
        paper = SizeOf(WalletPaperRect(m_landscape, m_sheetSize));
        view->SetPaperSize(paper);
        m_sheetLayer->Location = SheetLocation(m_sheetSize, paper, m_workingOrder->CropRects[s]);
        view->SetRubberBandChild(m_sheetLayer);
    } else if (m_workingOrder->Layout == TOrder::LayoutPaperFull) {
        view->SetRubberBandVisible(true);
        m_photoLayer->Visible = true;
        m_ghostLayer->Visible = true;
        m_sheetLayer->Visible = false;
        m_photoLayer->Location = PaperFullLocation(fit, paper, m_workingOrder->CropRects[s]);
        view->SetRubberBandChild(m_photoLayer);
        m_ghostLayer->Location = view->RubberBandLocation();
    } else {
        // Image-full: nothing to drag; the crops stay as they are for a switch back.
        view->SetRubberBandVisible(false);
        m_sheetLayer->Visible = false;
        m_ghostLayer->Visible = false;
        m_photoLayer->Visible = true;
        view->SetRubberBandChild(nullptr);
        view->SetRubberBandLocation({0, 0, float(paper.width()), float(paper.height())});
        m_photoLayer->Location = ImageFullLocation(fit, paper);
    }

    view->EndUpdate();
    LayOutFrame(s);
}

void TfrmTrimming::LayOutFrame(int Size)
{
    const TFrame frame = FrameFor(Size, m_workingOrder->Bordered, ui->ImgView->PaperSize());
    m_frameLayer->Bitmap = TrimPictures::Frame(frame);
    m_frameLayer->Location = frame.Location;
    m_frameLayer->Visible = true;
    ui->ImgView->Changed();
}

void TfrmTrimming::ApplyLayoutChoice()
{
    if (!m_workingOrder)
        return;
    switch (LayoutItemIndex()) {
    case 0:
        m_workingOrder->Layout = TOrder::LayoutPaperFull;
        m_workingOrder->Bordered = false;
        break;
    case 1:
        m_workingOrder->Layout = TOrder::LayoutPaperFull;
        m_workingOrder->Bordered = true;
        break;
    case 2:
        m_workingOrder->Layout = TOrder::LayoutImageFull;
        m_workingOrder->Bordered = false;
        break;
    case 3:
        m_workingOrder->Layout = TOrder::LayoutImageFull;
        m_workingOrder->Bordered = true;
        break;
    default:
        break;
    }
    LayoutForSize();
}

void TfrmTrimming::SizeGroupClick()
{
    LayoutForSize();
}

void TfrmTrimming::LayoutGroupClick()
{
    ApplyLayoutChoice();
}

void TfrmTrimming::RBResizing(
    TDragState DragState, const TFloatRect &OldLocation, TFloatRect &NewLocation)
{
    const int item = LayoutItemIndex();
    const int s = SizeItemIndex();
    if (DragState != TDragState::dsMove || (item != 0 && item != 1) || s < 0 || !m_workingOrder)
        return;
    const QSize paper = ui->ImgView->PaperSize();
    if (s == SizeWallet)
        ConstrainSheetMove(OldLocation, NewLocation, paper, m_sheetSize);
    else
        ConstrainPhotoMove(OldLocation, NewLocation, paper);
    m_workingOrder->CropRects[s] = NewLocation;
    m_ghostLayer->Location = NewLocation;
    m_workingOrder->CropTexts[s] = CropText(NewLocation, paper, s == SizeWallet);
}

void TfrmTrimming::ClearView()
{
    ui->ImgView->ClearPaper();
}

void TfrmTrimming::hideEvent(QHideEvent *event)
{
    ClearView();
    QDialog::hideEvent(event);
}

void TfrmTrimming::reject()
{
    // Escape counts as the cancel button.
    done(mrCancel);
}

void TfrmTrimming::CopyResults(const TOrder &From, TOrder &To)
{
    for (int i = 0; i < PrintSizeCount; ++i) {
        To.Quantities[i] = From.Quantities[i];
        To.CropRects[i] = From.CropRects[i];
        To.CropTexts[i] = From.CropTexts[i];
    }
    To.Bordered = From.Bordered;
    To.SetLayout(From.Layout);
}

int TfrmTrimming::Edit(QWidget *parent, TOrder &Order)
{
    TfrmTrimming window(parent);
    window.OpenForOrder(Order);
    const int result = window.exec();
    if (result == mrOK)
        CopyResults(*window.WorkingOrder(), Order);
    return result;
}
