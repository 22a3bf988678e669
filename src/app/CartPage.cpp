#include "app/CartPage.h"

#include "app/BatchPanel.h"
#include "cart/uOrderBrowser.h"
#include "model/uBrimvaleOrders.h"
#include "notices/NoticeWindows.h"
#include "notices/OptionAlertFrm.h"
#include "upload/UploadFrm.h"

#include <QFrame>
#include <QLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include <memory>

TCartPage::TCartPage(QFrame *BatchHost, QWidget *BrowserHost, CartPageHost Host, QObject *Parent)
    : QObject(Parent)
    , m_host(std::move(Host))
{
    m_browser = new TOrderBrowser(BrowserHost);
    m_browser->setObjectName(QStringLiteral("OrderBrowser"));
    m_browser->setFocusPolicy(Qt::StrongFocus);
    if (QLayout *layout = BrowserHost->layout())
        layout->addWidget(m_browser);

    m_batch = new TBatchPanel(m_browser, BatchHost);
    auto *layout = qobject_cast<QVBoxLayout *>(BatchHost->layout());
    if (!layout) {
        layout = new QVBoxLayout(BatchHost);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(m_batch);
    layout->addStretch(1);
    // The explanation label sits over the panel (not visible, but in its place).
    for (QWidget *child : BatchHost->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (child != m_batch)
            child->raise();
}

void TCartPage::showPlainMessage(const QString &Text)
{
    QMessageBox box(QMessageBox::NoIcon, QString(), Text, QMessageBox::Ok, m_host.Window);
    box.setObjectName(QStringLiteral("PlainMessage"));
    box.exec();
}

void TCartPage::btnInitializeClick()
{
    m_batch->ResetBatchPanel();
}

void TCartPage::btnClearClick()
{
    if (m_host.ShowWaitPanel)
        m_host.ShowWaitPanel();
    m_browser->ClearOrders();
    m_batch->ResetBatchPanel();
    if (m_host.HideWaitPanel)
        m_host.HideWaitPanel();
}

void TCartPage::btnUploadClick()
{
    if (m_browser->OrderCount() < 1) {
        showPlainMessage(NoPhotosText());
        return;
    }
    // Only the first faulty order is reported.
    for (int n = 0; n < m_browser->OrderCount(); ++n) {
        const TOrder *order = m_browser->OrderAt(n);
        if (order->HasNoQuantity()) {
            showPlainMessage(NoQuantityText());
            return;
        }
        if (!order->LayoutChosen()) {
            if (TfrmOptionAlert *notice = frmOptionAlert())
                notice->exec();
            return;
        }
    }

    auto upload = std::make_unique<TfrmUpload>(m_host.Window);
    for (const auto &order : m_browser->Orders())
        upload->Orders.append(order.get());
    upload->UserID = m_host.UserID ? m_host.UserID() : QString();
    upload->exec();

    if (upload->Completed()) {
        upload.reset();
        m_browser->ClearOrders();
        m_batch->ResetBatchPanel();
        if (m_host.Terminate)
            m_host.Terminate();
    }
    // Not completed: the list, its settings and the panel stay as they were.
}
