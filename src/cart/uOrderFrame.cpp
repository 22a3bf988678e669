#include "cart/uOrderFrame.h"
#include "ui_uOrderFrame.h"

#include "cart/cShape.h"
#include "cart/cSizeIndicator.h"
#include "cart/cThumbView.h"
#include "notices/NoticeWindows.h"
#include "notices/SizeAlertFrm.h"
#include "trim/TrimmingFrm.h"
#include "ui/AppFonts.h"
#include "ui/DialogKeys.h"
#include "ui/ErrorDisplay.h"
#include "ui/ModalResult.h"
#include "util/UploadNames.h"

#include <QMessageBox>
#include <QMouseEvent>

#include <utility>

using namespace ModalResult;

TOrderFrame::TOrderFrame(QWidget *Owner)
    : QFrame(Owner)
    , ui(std::make_unique<Ui::TOrderFrame>())
    , m_imageList(&SizeMarkImageList())
{
    ui->setupUi(this);
    resize(250, 275);
    setFont(SansSerifFont(11));
    setAutoFillBackground(true);
    QPalette face = palette();
    face.setColor(QPalette::Window, Qt::white);
    setPalette(face);
    // Mouse moves over the card and its labels reach the card (they hand the focus to the
    // browser's scroll bar); the fields and buttons keep theirs.
    setMouseTracking(true);

    ui->FilenameLabel->setFont(SansSerifFont(12));
    ui->FilenameLabel->setStyleSheet(
        QStringLiteral("QLabel { background-color: #a6caf0; color: black; padding-left: 2px; }"));
    ui->lblSize->setStyleSheet(QStringLiteral("QLabel { color: #008000; }"));
    ui->Check->setStyleSheet(QStringLiteral("QCheckBox { color: #ff0000; font-weight: bold; }"));
    ui->Shape->lower();

    const std::array<QSpinBox *, PrintSizeCount> spins {ui->SpinEdit1, ui->SpinEdit2, ui->SpinEdit3,
        ui->SpinEdit4, ui->SpinEdit5, ui->SpinEdit6, ui->SpinEdit7, ui->SpinEdit8, ui->SpinEdit9,
        ui->SpinEdit10, ui->SpinEdit11};
    const std::array<TSizeIndicator *, PrintSizeCount> marks {ui->SizeIndicator1,
        ui->SizeIndicator2, ui->SizeIndicator3, ui->SizeIndicator4, ui->SizeIndicator5,
        ui->SizeIndicator6, ui->SizeIndicator7, ui->SizeIndicator8, ui->SizeIndicator9,
        ui->SizeIndicator10, ui->SizeIndicator11};
    const std::array<QLabel *, PrintSizeCount> sizeLabels {ui->Label5, ui->Label1, ui->Label6,
        ui->Label2, ui->Label7, ui->Label3, ui->Label8, ui->Label9, ui->Label10, ui->Label4,
        ui->Label11};
    for (QSpinBox *spin : spins)
        m_spins[spin->property("Tag").toInt()] = spin;
    for (TSizeIndicator *mark : marks) {
        mark->SetImageList(m_imageList);
        mark->SetSizeStatus(ssNone);
        m_marks[mark->property("Tag").toInt()] = mark;
    }
    for (QLabel *label : sizeLabels)
        label->setMouseTracking(true);
    for (QLabel *label : {ui->FilenameLabel, ui->lblSize})
        label->setMouseTracking(true);
    m_radios = {
        ui->RadioButton0, ui->RadioButton1, ui->RadioButton2, ui->RadioButton3, ui->RadioButton4};

    for (QSpinBox *spin : m_spins) {
        // Every change of the value, typed (each keystroke), stepped or set, is a change of the
        // quantity. A field left empty returns to its last value, so it never differs from it.
        connect(spin, &QSpinBox::valueChanged, this, [this, spin] {
            if (!m_binding)
                RunHandler([&] { SpinEditChange(spin); });
        });
    }
    // A layout or auto-correction change counts however it is made: a click, the arrow keys
    // inside the group, Space, or an assistive tool's toggle (which emits no click). Only the
    // button turned on acts; what the card shows of a bound order stays silent (m_binding).
    for (QRadioButton *radio : m_radios)
        connect(radio, &QRadioButton::toggled, this, [this, radio](bool Checked) {
            if (Checked && !m_binding)
                RunHandler([&] { RadioButton0Click(radio); });
        });
    connect(ui->Check, &QCheckBox::toggled, this, [this] {
        if (!m_binding)
            RunHandler([this] { CheckClick(); });
    });
    connect(ui->sButton1, &QPushButton::clicked, this,
        [this] { RunHandler([this] { btnEditClick(); }); });
    connect(ui->sButton2, &QPushButton::clicked, this,
        [this] { RunHandler([this] { btnDeleteClick(); }); });

    hide();
}

TOrderFrame::~TOrderFrame()
{
    if (m_order && m_order->SizeLabel == ui->lblSize)
        m_order->AttachSizeLabel(nullptr);
}

TShape *TOrderFrame::Shape() const
{
    return ui->Shape;
}
QLabel *TOrderFrame::FilenameLabel() const
{
    return ui->FilenameLabel;
}
TThumbView *TOrderFrame::Thumb() const
{
    return ui->Thumb;
}
QLabel *TOrderFrame::lblSize() const
{
    return ui->lblSize;
}
QCheckBox *TOrderFrame::Check() const
{
    return ui->Check;
}
QPushButton *TOrderFrame::btnEdit() const
{
    return ui->sButton1;
}
QPushButton *TOrderFrame::btnDelete() const
{
    return ui->sButton2;
}

void TOrderFrame::SetOrder(TOrder *Order)
{
    if (!Order) {
        if (m_order && m_order->SizeLabel == ui->lblSize)
            m_order->AttachSizeLabel(nullptr);
        m_order = nullptr;
        hide();
        return;
    }

    if (Order != m_order) {
        // The previous photo must not write into this label any more.
        if (m_order && m_order->SizeLabel == ui->lblSize)
            m_order->AttachSizeLabel(nullptr);
        m_order = Order;
        m_order->AttachSizeLabel(ui->lblSize);
        m_order->LoadThumbnail(ui->Thumb->Bitmap(), false);
    }

    // The controls are written silently (no question, no click handling); what their handlers
    // would have stored is what the order holds already. A shown quantity that changed is
    // still reported once, so the browser's quantity status follows the rebinding.
    m_binding = true;
    bool quantityShown = false;
    for (int i = 0; i < PrintSizeCount; ++i)
        m_marks[i]->SetSizeStatus(m_order->GetSizeStatus(i));
    for (int i = 0; i < PrintSizeCount; ++i) {
        const int value = m_order->GetQuantity(i);
        if (m_spins[i]->value() != value) {
            const QSignalBlocker block(m_spins[i]);
            m_spins[i]->setValue(value);
            quantityShown = true;
        }
    }
    showLayout();
    if (m_order->AutoCorrect == TOrder::AutoCorrectOn)
        ui->Check->setChecked(true);
    else if (m_order->AutoCorrect == TOrder::AutoCorrectOff)
        ui->Check->setChecked(false);
    ui->Check->hide();
    ui->FilenameLabel->setText(FileNamePart(m_order->FileName));
    m_binding = false;

    UpdateOutline();
    show();
    if (quantityShown && OnQuantityChange)
        OnQuantityChange(this);
}

void TOrderFrame::showLayout()
{
    // The buttons follow the order here; their handler would only store the same choice again.
    const bool binding = std::exchange(m_binding, true);
    QRadioButton *button = ui->RadioButton0;
    if (m_order->Layout == TOrder::LayoutPaperFull)
        button = m_order->Bordered ? ui->RadioButton2 : ui->RadioButton1;
    else if (m_order->Layout == TOrder::LayoutImageFull)
        button = m_order->Bordered ? ui->RadioButton4 : ui->RadioButton3;
    button->setChecked(true);
    TabToChecked(*button);
    m_binding = binding;
}

void TOrderFrame::UpdateOutline()
{
    if (!m_order)
        return;
    const bool complete = !m_order->HasNoQuantity() && m_order->LayoutChosen();
    ui->Shape->SetPenColor(complete ? CompleteColor() : IncompleteColor());
    ui->Shape->setAccessibleDescription(
        complete ? QStringLiteral("주문 준비됨") : QStringLiteral("수량 또는 인화 방식 미선택"));
}

void TOrderFrame::SpinEditChange(QSpinBox *Sender)
{
    if (!m_order || !Sender)
        return;
    const int i = Sender->property("Tag").toInt();
    if (i < 0 || i >= PrintSizeCount)
        return;
    TSizeIndicator *mark = m_marks[i];
    const int value = Sender->value();

    if (mark->SizeStatus() == ssBad && value > 0) {
        TOrder *const asked = m_order;
        int answer = mrNo;
        if (TfrmSizeAlert *alert = frmSizeAlert()) {
            alert->setWindowTitle(FileNamePart(asked->FileName));
            answer = alert->exec();
        }
        // The card may have been bound to another photo meanwhile; the answer was about this one.
        if (m_order != asked)
            return;
        if (answer == mrYes || answer == mrYesToAll) {
            mark->SetSizeStatus(ssWarning);
            m_order->SetSizeStatus(i, ssWarning);
            m_order->SetQuantity(i, Sender->value());
        } else {
            // Runs this handler again, which stores the 0.
            Sender->setValue(0);
        }
    } else {
        m_order->SetQuantity(i, value);
    }

    UpdateOutline();
    if (OnQuantityChange)
        OnQuantityChange(this);
}

void TOrderFrame::RadioButton0Click(QRadioButton *Sender)
{
    if (!m_order || !Sender)
        return;
    switch (Sender->property("Tag").toInt()) {
    case 1:
        m_order->SetLayout(TOrder::LayoutPaperFull);
        m_order->Bordered = false;
        break;
    case 2:
        m_order->SetLayout(TOrder::LayoutPaperFull);
        m_order->Bordered = true;
        break;
    case 3:
        m_order->SetLayout(TOrder::LayoutImageFull);
        m_order->Bordered = false;
        break;
    case 4:
        m_order->SetLayout(TOrder::LayoutImageFull);
        m_order->Bordered = true;
        break;
    default:
        break;
    }
    UpdateOutline();
    if (OnOptionChange)
        OnOptionChange(this);
}

void TOrderFrame::CheckClick()
{
    if (!m_order)
        return;
    m_order->AutoCorrect = ui->Check->isChecked() ? TOrder::AutoCorrectOn : TOrder::AutoCorrectOff;
    UpdateOutline();
    if (OnOptionChange)
        OnOptionChange(this);
}

void TOrderFrame::btnEditClick()
{
    if (!m_order)
        return;
    if (m_order->HasNoQuantity()) {
        QMessageBox box(QMessageBox::NoIcon, QString(), QStringLiteral("주문수량을 설정해 주세요"),
            QMessageBox::Ok, this);
        box.exec();
        return;
    }
    if (!m_order->LayoutChosen())
        return;

    TOrder *const edited = m_order;
    TfrmTrimming window(this);
    window.OpenForOrder(*edited);
    if (window.exec() != mrOk || m_order != edited || !window.WorkingOrder())
        return;
    TfrmTrimming::CopyResults(*window.WorkingOrder(), *edited);
    // CopyResults has cleared the crops of an image-full layout; the buttons follow the order.
    showLayout();
    UpdateOutline();
}

void TOrderFrame::btnDeleteClick()
{
    if (OnDeleteOrder)
        OnDeleteOrder(this);
}

void TOrderFrame::mouseMoveEvent(QMouseEvent *Event)
{
    if (OnMouseMove)
        OnMouseMove(this);
    QFrame::mouseMoveEvent(Event);
}
