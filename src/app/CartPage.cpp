#include "app/CartPage.h"

#include "app/BatchPanel.h"
#include "cart/uOrderBrowser.h"
#include "model/WaitingListFile.h"
#include "model/uBrimvaleOrders.h"
#include "notices/NoticeWindows.h"
#include "notices/OptionAlertFrm.h"
#include "ui/PlainMessage.h"
#include "upload/UploadFrm.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

TCartPage::TCartPage(QFrame *BatchHost, QWidget *BrowserHost, QWidget *Window, QObject *Parent)
    : QObject(Parent)
    , m_window(Window)
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
    ShowPlainMessage(m_window, Text);
}

TCartPage::~TCartPage() = default;

void TCartPage::KeepWaitingList(const QString &UserID)
{
    const QString path = WaitingListPath(UserID);
    offerKeptListBack(path);
    m_keeper = std::make_unique<WaitingListKeeper>(path);
    // A look once a second costs a copy of the list's small fields; every kind of edit (cards,
    // batch panel, trimming) is caught without each having to report it.
    m_keepTimer = new QTimer(this);
    m_keepTimer->setInterval(1000);
    connect(m_keepTimer, &QTimer::timeout, this, &TCartPage::keepNow);
    m_keepTimer->start();
    keepNow();
}

void TCartPage::keepNow()
{
    if (m_keeper)
        m_keeper->Keep(SnapshotOf(m_browser->Orders()));
}

void TCartPage::offerKeptListBack(const QString &Path)
{
    std::optional<WaitingList> kept;
    try {
        kept = ReadWaitingList(Path);
    } catch (const WaitingListError &e) {
        const QString aside = SetAsideWaitingList(Path);
        showPlainMessage(e.Text() + u'\n'
            + (aside.isEmpty() ? QStringLiteral("이 파일은 지웠습니다.")
                               : QStringLiteral("이 파일은 %1 (으)로 옮겨 두었습니다.")
                                     .arg(QDir::toNativeSeparators(aside))));
        return;
    }
    if (!kept || kept->empty())
        return;

    QMessageBox box(QMessageBox::Question, QString(),
        QStringLiteral("지난번 주문대기 목록에 사진 %1장이 남아 있습니다.\n"
                       "그 목록을 다시 불러올까요?")
            .arg(kept->size()),
        QMessageBox::NoButton, m_window);
    box.setObjectName(QStringLiteral("RestoreQuestion"));
    QPushButton *yes = box.addButton(QStringLiteral("다시 불러오기"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("비우고 시작"), QMessageBox::NoRole);
    yes->setObjectName(QStringLiteral("btnYes"));
    no->setObjectName(QStringLiteral("btnNo"));
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    if (box.clickedButton() != yes) {
        QFile::remove(Path);
        return;
    }

    emit WaitStarted();
    RestoredWaitingList restored = RestoreWaitingList(*kept);
    for (auto &order : restored.Orders)
        if (!m_browser->ContainsFileName(order->FileName))
            m_browser->AddOrder(std::move(order));
    m_browser->RefreshView();
    emit PageWanted();
    emit WaitEnded();

    QStringList notes;
    if (!restored.Missing.isEmpty()) {
        constexpr int Shown = 20;
        QStringList names = restored.Missing.mid(0, Shown);
        for (QString &name : names)
            name = QDir::toNativeSeparators(name);
        if (restored.Missing.size() > Shown)
            names.append(QStringLiteral("외 %1장").arg(restored.Missing.size() - Shown));
        notes.append(QStringLiteral("찾을 수 없는 사진 %1장은 빼고 불러왔습니다:\n")
                         .arg(restored.Missing.size())
            + names.join(u'\n'));
    }
    if (restored.Changed > 0)
        notes.append(QStringLiteral("그 사이에 바뀐 사진 %1장은 수량과 옵션만 불러오고, "
                                    "트리밍은 다시 해 주세요.")
                         .arg(restored.Changed));
    if (!notes.isEmpty())
        showPlainMessage(notes.join(QStringLiteral("\n\n")));
}

int TCartPage::AddPhotos(const QStringList &Paths, QProgressBar *Gauge)
{
    if (Gauge) {
        Gauge->setMaximum(int(Paths.size()));
        Gauge->setValue(0);
    }
    int added = 0;
    for (int k = 0; k < Paths.size(); ++k) {
        const QString &path = Paths[k];
        if (m_browser->ContainsFileName(path))
            continue; // a photo is listed once; its place and settings stay
        m_browser->AddOrder(TOrder::Create(path));
        ++added;
        if (Gauge)
            Gauge->setValue(k + 1);
    }
    return added;
}

void TCartPage::btnInitializeClick()
{
    m_batch->ResetBatchPanel();
}

void TCartPage::btnClearClick()
{
    emit WaitStarted();
    m_browser->ClearOrders();
    m_batch->ResetBatchPanel();
    if (m_keeper)
        m_keeper->Discard();
    emit WaitEnded();
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

    auto upload = std::make_unique<TfrmUpload>(m_window);
    for (const auto &order : m_browser->Orders())
        upload->Orders.append(order.get());
    upload->UserID = m_userID;
    upload->exec();

    if (upload->Completed()) {
        upload.reset();
        m_browser->ClearOrders();
        m_batch->ResetBatchPanel();
        if (m_keeper)
            m_keeper->Discard(); // written before the program ends: the keeper finishes its work
        emit OrderCompleted();
    }
    // Not completed: the list, its settings and the panel stay as they were.
}
