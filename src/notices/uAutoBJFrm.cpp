#include "notices/uAutoBJFrm.h"
#include "ui_uAutoBJFrm.h"

#include "ui/AppFonts.h"
#include "ui/DialogKeys.h"
#include "ui/FixedDialog.h"
#include "ui/ModalResult.h"

#include <QStringList>

TAutoBJ::TAutoBJ(QWidget *Owner)
    : QDialog(Owner)
    , ui(std::make_unique<Ui::TAutoBJ>())
{
    ui->setupUi(this);
    MakeFixedDialog(*this, 418, 283, SansSerifFont(11));
    SetDialogKeys(*this, ui->sBitBtn1);

    // The heading keeps its own red, whatever the skin says.
    ui->sLabel2->setFont(MyeongjoFont(16, true));
    ui->sLabel2->setStyleSheet(QStringLiteral("color: #ff0000; background: transparent;"));

    // VCL colour 8542779: red 59, green 90, blue 130, on opaque white.
    ui->sLabel1->setFont(SansSerifFont(11));
    ui->sLabel1->setAutoFillBackground(true);
    ui->sLabel1->setStyleSheet(QStringLiteral("color: #3b5a82; background-color: #ffffff;"));
    // A label breaks lines at LF; the CR of each CR LF would only show as a stray glyph.
    ui->sLabel1->setText(Caption().replace(QLatin1String("\r\n"), QLatin1String("\n")));

    connect(ui->sBitBtn1, &QPushButton::clicked, this, [this] { done(ModalResult::mrCancel); });
}

TAutoBJ::~TAutoBJ() = default;

void TAutoBJ::reject()
{
    done(ModalResult::mrCancel);
}

QString TAutoBJ::Caption()
{
    const QStringList lines = {
        QStringLiteral(" "),
        QStringLiteral(" ▶   인화기내에서 자동으로 컨트라스트 및 밝기가 어느정도 "),
        QStringLiteral("        보정되어 출력되는 형식입니다."),
        QStringLiteral("        자동보정이 적용될 경우 DSC로 출력 그렇지않을 경우 "),
        QStringLiteral("        RGB로 출력 됩니다."),
        QString(),
        QStringLiteral("  ▶   각 이미지 별로 자동보정 효과가 조금씩 차이가 있을수 있"),
        QStringLiteral("         습니다."),
        QString(),
        QStringLiteral("  ▶   보다 좋은 보정 결과를 원하시면 PhotoShop과 같은 이미지"),
        QStringLiteral("         보정툴을 이용하여 직접 보정하신후 주문해 주시기 "),
        QStringLiteral("         바랍니다."),
        QString(),
        QStringLiteral("  ▶   모니터에서 보여지는 이미지가 아닌 이미지 자체내의 색감"),
        QStringLiteral("         인 RGB의 값을 기준으로 변경되어 출력 됩니다."),
    };
    return lines.join(QLatin1String("\r\n"));
}
