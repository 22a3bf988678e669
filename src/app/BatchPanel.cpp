#include "app/BatchPanel.h"
#include "ui_BatchPanel.h"

#include "cart/cSizeIndicator.h"
#include "cart/uOrderBrowser.h"
#include "model/uBrimvaleOrders.h"
#include "notices/NoticeWindows.h"
#include "notices/SizeAlertFrm.h"
#include "ui/AppFonts.h"
#include "ui/ErrorDisplay.h"
#include "ui/ModalResult.h"
#include "util/UploadNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

using namespace ModalResult;

namespace {

constexpr int PaperFullItem = 0;
constexpr int ImageFullItem = 1;
constexpr int BorderlessItem = 0;
constexpr int BorderedItem = 1;

} // namespace

TBatchPanel::TBatchPanel(TOrderBrowser *Browser, QWidget *Parent)
    : QWidget(Parent)
    , ui(std::make_unique<Ui::TBatchPanel>())
    , m_browser(Browser)
{
    ui->setupUi(this);
    // Controls at fixed places: the host's layout gets the form's size as it is.
    setFixedSize(193, height());
    setFont(GulimFont(11));

    QFont heading = GulimFont(12);
    heading.setBold(true);
    ui->BatchHeading->setFont(heading);
    ui->GuideHeading->setFont(heading);
    ui->BatchHeading->setStyleSheet(
        QStringLiteral("background-color: #c4d8f0; color: #15428b; border: 1px solid #8db2e3;"));
    ui->GuideHeading->setStyleSheet(QStringLiteral(
        "background-color: #dfeaf7; color: #15428b; border-bottom: 1px solid #8db2e3;"));

    // The legend shows the marks of the cards: blue round for enough pixels, red cross for too
    // few. Status ssNone: the pictures are their own, not drawn from a status.
    const TImageList &marks = SizeMarkImageList();
    ui->GuideMarkGood->SetPicture(marks.Image(1));
    ui->GuideMarkBad->SetPicture(marks.Image(0));

    const std::array<QSpinBox *, PrintSizeCount> spins {ui->Spin3x5, ui->SpinD3, ui->Spin4x6,
        ui->SpinD5, ui->Spin5x7, ui->SpinD6, ui->Spin8x10, ui->Spin11x14, ui->Spin12x17,
        ui->SpinWallet, ui->SpinA4};
    for (QSpinBox *spin : spins) {
        m_spins[spin->property("Tag").toInt()] = spin;
        // Each keystroke and each arrow click is a change of the quantity.
        connect(spin, &QSpinBox::valueChanged, this, [this, spin] {
            if (!m_resetting)
                RunHandler([&] { Spin11x14Change(spin); });
        });
    }

    for (QComboBox *box : {ui->cbLayout, ui->cbBorder}) {
        // Picking an item and typing into the box both change it.
        connect(box, &QComboBox::currentTextChanged, this, [this, box] {
            if (!m_resetting)
                RunHandler([&] { cbLayoutChange(box); });
        });
    }
    // Every change of the check box counts: a click, Space, or an assistive tool's toggle (which
    // emits no click).
    connect(ui->Chk_All, &QCheckBox::toggled, this, [this] {
        if (!m_resetting)
            RunHandler([this] { Chk_AllClick(); });
    });

    m_resetting = true;
    ui->cbLayout->setCurrentIndex(-1);
    ui->cbLayout->setEditText(LayoutPrompt());
    ui->cbBorder->setCurrentIndex(BorderlessItem);
    ui->Chk_All->setChecked(true);
    m_resetting = false;
}

TBatchPanel::~TBatchPanel() = default;

QComboBox *TBatchPanel::cbLayout() const
{
    return ui->cbLayout;
}
QComboBox *TBatchPanel::cbBorder() const
{
    return ui->cbBorder;
}
QCheckBox *TBatchPanel::Chk_All() const
{
    return ui->Chk_All;
}
TSizeIndicator *TBatchPanel::GuideMark(int Index) const
{
    return Index == 0 ? ui->GuideMarkGood : ui->GuideMarkBad;
}

void TBatchPanel::Spin11x14Change(QSpinBox *Sender)
{
    if (!Sender)
        return;
    const int i = Sender->property("Tag").toInt();
    if (i < 0 || i >= PrintSizeCount)
        return;
    const int v = Sender->value();

    // The answer holds for this one change only; "for all" spares the rest of this loop.
    int answer = 0;
    for (int n = 0; n < m_browser->OrderCount(); ++n) {
        TOrder *order = m_browser->OrderAt(n);
        if (order->GetSizeStatus(i) == ssBad && v != 0) {
            if (answer != mrYesToAll && answer != mrNoToAll) {
                answer = mrNo;
                if (TfrmSizeAlert *alert = frmSizeAlert()) {
                    alert->setWindowTitle(FileNamePart(order->FileName));
                    answer = alert->exec();
                }
            }
            if (answer == mrYes || answer == mrYesToAll) {
                order->SetSizeStatus(i, ssWarning);
                order->SetQuantity(i, v);
            }
            // Any other answer leaves this photo's quantity as it was.
        } else {
            order->SetQuantity(i, v);
        }
    }
    m_browser->RefreshView();
}

int TBatchPanel::chosenItem(const QComboBox *Box)
{
    if (Box->currentIndex() >= 0 && Box->currentText() == Box->itemText(Box->currentIndex()))
        return Box->currentIndex();
    return Box->findText(Box->currentText(), Qt::MatchExactly);
}

void TBatchPanel::cbLayoutChange(QComboBox *)
{
    // Both boxes are read every time. A box whose text names none of its items (nothing chosen
    // yet, or other text typed) leaves that option of every photo as it is, so choosing a
    // border first keeps the layouts chosen on the cards.
    const int layoutItem = chosenItem(ui->cbLayout);
    const int borderItem = chosenItem(ui->cbBorder);

    for (int n = 0; n < m_browser->OrderCount(); ++n) {
        TOrder *order = m_browser->OrderAt(n);
        if (layoutItem == PaperFullItem)
            order->Layout = TOrder::LayoutPaperFull;
        else if (layoutItem == ImageFullItem)
            order->SetLayout(TOrder::LayoutImageFull); // clears every crop
        if (borderItem == BorderlessItem)
            order->Bordered = false;
        else if (borderItem == BorderedItem)
            order->Bordered = true;
    }
    m_browser->RefreshView();
    m_browser->setFocus();
    emit OptionsApplied();
}

void TBatchPanel::Chk_AllClick()
{
    const std::uint8_t value
        = ui->Chk_All->isChecked() ? TOrder::AutoCorrectOn : TOrder::AutoCorrectOff;
    for (int n = 0; n < m_browser->OrderCount(); ++n)
        m_browser->OrderAt(n)->AutoCorrect = value;
    m_browser->RefreshView();
    m_browser->setFocus();
    emit OptionsApplied();
}

void TBatchPanel::ResetBatchPanel()
{
    m_resetting = true;
    for (QSpinBox *spin : m_spins)
        spin->setValue(0);
    ui->cbLayout->setCurrentIndex(-1);
    ui->cbLayout->setEditText(LayoutPrompt());
    ui->cbBorder->setCurrentIndex(BorderlessItem);
    ui->Chk_All->setChecked(true);
    m_resetting = false;

    for (int n = 0; n < m_browser->OrderCount(); ++n)
        m_browser->OrderAt(n)->Reset();
    m_browser->RefreshView();
}
