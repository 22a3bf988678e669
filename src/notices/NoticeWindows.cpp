#include "notices/NoticeWindows.h"

#include "notices/OptionAlertFrm.h"
#include "notices/SizeAlertFrm.h"
#include "notices/uAutoBJFrm.h"

#include <QPointer>

namespace {

QPointer<TfrmSizeAlert> sizeAlert;
QPointer<TfrmOptionAlert> optionAlert;
QPointer<TAutoBJ> autoBJ;

} // namespace

void CreateNoticeWindows(QWidget *Owner)
{
    // The two alert windows start loading their pages as they are made.
    sizeAlert = new TfrmSizeAlert(Owner);
    optionAlert = new TfrmOptionAlert(Owner);
    autoBJ = new TAutoBJ(Owner);
}

TfrmSizeAlert *frmSizeAlert()
{
    return sizeAlert;
}

TfrmOptionAlert *frmOptionAlert()
{
    return optionAlert;
}

TAutoBJ *AutoBJ()
{
    return autoBJ;
}
