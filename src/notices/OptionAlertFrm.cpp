#include "notices/OptionAlertFrm.h"
#include "ui_OptionAlertFrm.h"

#include "notices/WebView.h"
#include "ui/AppFonts.h"
#include "ui/ErrorDisplay.h"
#include "ui/ModalResult.h"
#include "util/ServiceConfig.h"

using namespace ModalResult;

TfrmOptionAlert::TfrmOptionAlert(QWidget *Owner)
    : QDialog(Owner)
    , ui(new Ui::TfrmOptionAlert)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint);
    setFixedSize(370, 455);
    setFont(SansSerifFont(11));

    connect(ui->WebBanner, &WebView::ProgressChange, this, [this](int Progress, int ProgressMax) {
        RunHandler([&] { WebBannerProgressChange(Progress, ProgressMax); });
    });
    connect(ui->sButton1, &QPushButton::clicked, this, [this] { done(mrOk); });
    FormCreate();
}

TfrmOptionAlert::~TfrmOptionAlert()
{
    delete ui;
}

WebView *TfrmOptionAlert::Banner() const
{
    return ui->WebBanner;
}

void TfrmOptionAlert::FormCreate()
{
    ui->WebBanner->Navigate(ServiceConfig::WebAddress(QStringLiteral("/popup/ifpf_pop.htm")));
}

void TfrmOptionAlert::WebBannerProgressChange(int Progress, int ProgressMax)
{
    if (Progress == ProgressMax)
        ui->WebBanner->HideScrollBars();
}

void TfrmOptionAlert::reject()
{
    done(mrCancel);
}
