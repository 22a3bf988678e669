#include "notices/SizeAlertFrm.h"
#include "ui_SizeAlertFrm.h"

#include "notices/WebView.h"
#include "ui/AppFonts.h"
#include "ui/DialogKeys.h"
#include "ui/ErrorDisplay.h"
#include "ui/FixedDialog.h"
#include "ui/ModalResult.h"

#include <QEvent>

using namespace ModalResult;

TfrmSizeAlert::TfrmSizeAlert(QWidget *Owner)
    : QDialog(Owner)
    , ui(std::make_unique<Ui::TfrmSizeAlert>())
    , m_yesResult(mrYes)
    , m_noResult(mrNo)
{
    ui->setupUi(this);
    m_shortName = accessibleName();
    MakeFixedDialog(*this, 543, 243, SansSerifFont(11));
    // Enter on a button presses it; elsewhere it is No, so that a key meant for the quantity
    // field never accepts a print the photo is too small for. Escape is the close box's Cancel.
    SetDialogKeys(*this, ui->btnNo);
    for (QWidget *w : {static_cast<QWidget *>(ui->chkAll), static_cast<QWidget *>(ui->btnYes),
             static_cast<QWidget *>(ui->btnNo)})
        w->setFont(GulimFont(12));

    connect(ui->WebBanner, &WebView::ProgressChange, this, [this](int Progress, int ProgressMax) {
        RunHandler([&] { WebBannerProgressChange(Progress, ProgressMax); });
    });
    // Every change of the box counts: a click, Space, or an assistive tool's toggle (which emits
    // no click).
    connect(
        ui->chkAll, &QCheckBox::toggled, this, [this] { RunHandler([this] { chkAllClick(); }); });
    connect(
        ui->btnYes, &QPushButton::clicked, this, [this] { RunHandler([this] { btnYesClick(); }); });
    connect(
        ui->btnNo, &QPushButton::clicked, this, [this] { RunHandler([this] { btnNoClick(); }); });
    FormCreate();
}

TfrmSizeAlert::~TfrmSizeAlert() = default;

WebView *TfrmSizeAlert::Banner() const
{
    return ui->WebBanner;
}

void TfrmSizeAlert::FormCreate()
{
    ui->WebBanner->ShowServicePage(QStringLiteral("/popup/ifpf_pop2.htm"));
}

void TfrmSizeAlert::WebBannerProgressChange(int Progress, int ProgressMax)
{
    ui->WebBanner->HideScrollBarsWhenLoaded(Progress, ProgressMax);
}

void TfrmSizeAlert::updateAnswers()
{
    const bool all = ui->chkAll->isChecked();
    m_yesResult = all ? mrYesToAll : mrYes;
    m_noResult = all ? mrNoToAll : mrNo;
}

void TfrmSizeAlert::chkAllClick()
{
    updateAnswers();
}

void TfrmSizeAlert::btnYesClick()
{
    updateAnswers();
    done(m_yesResult);
}

void TfrmSizeAlert::btnNoClick()
{
    updateAnswers();
    done(m_noResult);
}

void TfrmSizeAlert::changeEvent(QEvent *Event)
{
    QDialog::changeEvent(Event);
    // A screen reader names the warning with the photo it is about, as the caption does.
    if (Event->type() == QEvent::WindowTitleChange) {
        const QString title = windowTitle();
        setAccessibleName(
            title.isEmpty() ? m_shortName : m_shortName + QStringLiteral(": ") + title);
    }
}

void TfrmSizeAlert::reject()
{
    done(mrCancel);
}
