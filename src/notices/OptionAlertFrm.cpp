#include "notices/OptionAlertFrm.h"
#include "ui_OptionAlertFrm.h"

#include "notices/WebView.h"
#include "ui/AppFonts.h"
#include "ui/DialogKeys.h"
#include "ui/ErrorDisplay.h"
#include "ui/FixedDialog.h"
#include "ui/ModalResult.h"

using namespace ModalResult;

TfrmOptionAlert::TfrmOptionAlert(QWidget *Owner)
    : QDialog(Owner)
    , ui(std::make_unique<Ui::TfrmOptionAlert>())
{
    ui->setupUi(this);
    MakeFixedDialog(*this, 370, 455, SansSerifFont(11));
    SetDialogKeys(*this, ui->sButton1);

    connect(ui->WebBanner, &WebView::ProgressChange, this, [this](int Progress, int ProgressMax) {
        RunHandler([&] { WebBannerProgressChange(Progress, ProgressMax); });
    });
    connect(ui->sButton1, &QPushButton::clicked, this, [this] { done(mrOk); });
    FormCreate();
}

TfrmOptionAlert::~TfrmOptionAlert() = default;

WebView *TfrmOptionAlert::Banner() const
{
    return ui->WebBanner;
}

void TfrmOptionAlert::FormCreate()
{
    ui->WebBanner->ShowServicePage(QStringLiteral("/popup/ifpf_pop.htm"));
}

void TfrmOptionAlert::WebBannerProgressChange(int Progress, int ProgressMax)
{
    ui->WebBanner->HideScrollBarsWhenLoaded(Progress, ProgressMax);
}

void TfrmOptionAlert::reject()
{
    done(mrCancel);
}
