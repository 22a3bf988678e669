#include "cart/uOrderBrowser.h"
#include "ui_uOrderBrowser.h"

#include "cart/uOrderFrame.h"
#include "ui/AppFonts.h"
#include "ui/LiveLabel.h"

#include <QEvent>
#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QWheelEvent>

#include <algorithm>
#include <cstdint>

namespace {

// Content height over panel height sizes the handle: V * V / C to the nearest integer, halves
// to the even neighbour.
int RoundedPageSize(int V, int C)
{
    const std::int64_t num = std::int64_t(V) * V;
    std::int64_t q = num / C;
    const std::int64_t twice = (num % C) * 2;
    if (twice > C || (twice == C && (q & 1)))
        ++q;
    return int(q);
}

} // namespace

TOrderBrowser::TOrderBrowser(QWidget *Parent)
    : QFrame(Parent)
    , ui(std::make_unique<Ui::OrderBrowser>())
{
    ui->setupUi(this);
    setFont(SansSerifFont(11));

    QPalette white = ui->Panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    ui->Panel->setPalette(white);
    ui->Panel->setStyleSheet(QStringLiteral("QFrame#Panel { background-color: white; }"));
    ui->Panel->setMouseTracking(true);
    ui->Panel->installEventFilter(this);

    ui->ScrollBar->setRange(0, 0);
    ui->ScrollBar->setSingleStep(SmallChange);
    ui->ScrollBar->setPageStep(0);
    ui->ScrollBar->setFocusPolicy(Qt::StrongFocus);
    ui->ScrollBar->installEventFilter(this);
    setFocusProxy(ui->ScrollBar);
    connect(ui->ScrollBar, &QScrollBar::valueChanged, this, [this] { ScrollBarChange(); });

    for (int i = 0; i < 2; ++i) {
        auto *label = new QLabel(ui->StatusBar);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setTextFormat(Qt::PlainText);
        m_statusPanels[i] = label;
    }
    m_statusPanels[0]->setFixedWidth(StatusCountWidth);
    // A long hint must not hold the page wider than it is.
    m_statusPanels[1]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_statusPanels[0]->setAccessibleName(QStringLiteral("사진 수"));
    m_statusPanels[1]->setAccessibleName(QStringLiteral("수량 선택 상태"));
    for (QLabel *label : m_statusPanels)
        ExposeLabelText(label);
    ui->StatusBar->addWidget(m_statusPanels[0]);
    ui->StatusBar->addWidget(m_statusPanels[1], 1);
    watchInput(ui->StatusBar);
}

TOrderBrowser::~TOrderBrowser()
{
    // Cards first let go of their orders (and the orders of the cards' labels).
    for (TOrderFrame *frame : m_frames)
        frame->SetOrder(nullptr);
    m_orders.clear();
}

QFrame *TOrderBrowser::Panel() const
{
    return ui->Panel;
}
QScrollBar *TOrderBrowser::ScrollBar() const
{
    return ui->ScrollBar;
}
QStatusBar *TOrderBrowser::StatusBar() const
{
    return ui->StatusBar;
}

QString TOrderBrowser::StatusText(int Index) const
{
    return (Index == 0 || Index == 1) ? m_statusPanels[Index]->text() : QString();
}

void TOrderBrowser::SetStatusText(int Index, const QString &Text)
{
    if (Index == 0 || Index == 1)
        m_statusPanels[Index]->setText(Text);
}

void TOrderBrowser::AddOrder(std::unique_ptr<TOrder> Order)
{
    if (!Order)
        return;
    const QString fileName = Order->FileName;
    const bool first = ++m_fileNames[fileName] == 1;
    m_orders.push_back(std::move(Order));
    if (first)
        emit PhotoAdded(fileName);
}

int TOrderBrowser::OrderCount() const
{
    return int(m_orders.size());
}

TOrder *TOrderBrowser::OrderAt(int Index) const
{
    if (Index < 0 || Index >= OrderCount())
        return nullptr;
    return m_orders[Index].get();
}

const std::vector<std::unique_ptr<TOrder>> &TOrderBrowser::Orders() const
{
    return m_orders;
}

bool TOrderBrowser::ContainsFileName(const QString &FileName) const
{
    return m_fileNames.contains(FileName);
}

void TOrderBrowser::removeFileName(const QString &FileName)
{
    auto it = m_fileNames.find(FileName);
    if (it == m_fileNames.end())
        return;
    if (--it.value() <= 0) {
        m_fileNames.erase(it);
        emit PhotoRemoved(FileName);
    }
}

void TOrderBrowser::ClearOrders()
{
    ui->ScrollBar->setValue(0);
    for (TOrderFrame *frame : m_frames)
        frame->SetOrder(nullptr);
    m_orders.clear();
    const QStringList gone = m_fileNames.keys();
    m_fileNames.clear();
    for (const QString &fileName : gone)
        emit PhotoRemoved(fileName);
    RefreshView();
}

void TOrderBrowser::AddFrame()
{
    auto *frame = new TOrderFrame(ui->Panel);
    frame->setObjectName(QStringLiteral("Order%1").arg(m_frames.size()));
    frame->setFixedSize(CardWidth, CardHeight);
    m_frames.push_back(frame);
    if (m_frames.size() == 1)
        frame->move(0, 0);
    else
        placeFrame(int(m_frames.size()) - 1);
    frame->SetOrder(nullptr);
    frame->OnDeleteOrder = [this](TOrderFrame *f) { OnDeleteOrder(f); };
    frame->OnQuantityChange = [this](TOrderFrame *f) { OnQuantityChange(f); };
    frame->OnMouseMove = [this](TOrderFrame *) { PanelMouseMove(); };
    watchInput(frame);
}

void TOrderBrowser::placeFrame(int Index)
{
    const QPoint last = m_frames[Index - 1]->pos();
    QPoint at(last.x() + CardWidth, last.y());
    if (at.x() + CardWidth > ui->Panel->width())
        at = QPoint(0, last.y() + CardHeight);
    m_frames[Index]->move(at);
}

void TOrderBrowser::watchInput(QWidget *Widget)
{
    // The wheel scrolls the list wherever the mouse is over it, a quantity field included.
    Widget->installEventFilter(this);
    for (QWidget *child : Widget->findChildren<QWidget *>())
        child->installEventFilter(this);
}

void TOrderBrowser::PanelResize()
{
    const int width = ui->Panel->width();
    const int height = qMax(0, ui->Panel->height());
    // A panel narrower than a card still shows one column (the card is cut at the right).
    const int columns = qMax(1, width / CardWidth);
    const int rows = (height + CardHeight - 1) / CardHeight + 1;
    if (columns == m_columns && rows == m_rows) {
        // The scroll range depends on the panel's height even when the grid stays.
        RefreshView();
        return;
    }
    m_columns = columns;
    m_rows = rows;
    for (int i = 1; i < int(m_frames.size()); ++i)
        placeFrame(i);
    while (int(m_frames.size()) < m_columns * m_rows)
        AddFrame();
    RefreshView();
}

void TOrderBrowser::RefreshView()
{
    QScrollBar *bar = ui->ScrollBar;
    const int columns = qMax(1, m_columns);
    const int rowCount = (OrderCount() + columns - 1) / columns;
    const int content = rowCount * CardHeight;
    const int view = qMax(0, ui->Panel->height());

    {
        // Lowering the position to a smaller maximum is part of this refresh, not another one.
        const QSignalBlocker block(bar);
        if (content <= view) {
            bar->setMaximum(view);
            bar->setPageStep(view);
        } else {
            bar->setMaximum(content);
            bar->setPageStep(std::clamp(RoundedPageSize(view, content), 5, qMax(5, view)));
        }
    }
    const int position = bar->value();

    m_firstVisibleIndex = (position / CardHeight) * columns;

    m_refreshing = true;
    m_quantityChangedInRefresh = false;
    for (int i = int(m_frames.size()) - 1; i >= 0; --i) {
        const int index = m_firstVisibleIndex + i;
        m_frames[i]->SetOrder(index < OrderCount() ? m_orders[index].get() : nullptr);
    }
    m_refreshing = false;

    const int offset = -(position % CardHeight);
    const int shift = offset - m_appliedOffset;
    if (shift != 0) {
        for (TOrderFrame *frame : m_frames)
            frame->move(frame->x(), frame->y() + shift);
    }
    m_appliedOffset = offset;

    SetStatusText(0, QString::asprintf("총 %d개의 사진", OrderCount()));
    if (OrderCount() == 0)
        SetStatusText(1, QStringLiteral("[사진 추가하기] 버튼을 클릭하세요."));
    else if (m_quantityChangedInRefresh)
        UpdateQuantityStatus();
}

void TOrderBrowser::ScrollBarChange()
{
    QScrollBar *bar = ui->ScrollBar;
    if (bar->value() < bar->maximum())
        RefreshView();
}

void TOrderBrowser::FrameMouseWheel(QWheelEvent *Event)
{
    QPoint delta = Event->angleDelta();
    if (delta.isNull())
        delta = Event->pixelDelta();
    Event->accept();
    if (delta.y() == 0)
        return;
    QScrollBar *bar = ui->ScrollBar;
    const int step = delta.y() < 0 ? LargeChange : -LargeChange;
    bar->setValue(std::clamp(bar->value() + step, 0, bar->maximum()));
}

void TOrderBrowser::PanelMouseMove()
{
    // So that the wheel and the keys reach the browser.
    if (!ui->ScrollBar->hasFocus())
        ui->ScrollBar->setFocus(Qt::MouseFocusReason);
}

void TOrderBrowser::UpdateQuantityStatus()
{
    const auto missing = std::count_if(
        m_orders.begin(), m_orders.end(), [](const auto &order) { return order->HasNoQuantity(); });
    if (missing == OrderCount())
        SetStatusText(1, QStringLiteral("수량을 선택해 해주세요"));
    else if (missing == 0)
        SetStatusText(1, QStringLiteral("수량선택이 완료되었습니다. 주문하기 버튼을 눌러주세요"));
    else
        SetStatusText(
            1, QString::asprintf("수량선택이 되지않은 사진이 %d개 있습니다", int(missing)));
}

void TOrderBrowser::OnQuantityChange(TOrderFrame *)
{
    if (m_refreshing)
        m_quantityChangedInRefresh = true;
    else
        UpdateQuantityStatus();
}

void TOrderBrowser::OnDeleteOrder(TOrderFrame *Frame)
{
    TOrder *order = Frame ? Frame->Order() : nullptr;
    if (!order)
        return;
    // The card's slot gives the position at once while the binding is current.
    const auto slot = std::find(m_frames.begin(), m_frames.end(), Frame);
    int index = slot == m_frames.end() ? -1 : m_firstVisibleIndex + int(slot - m_frames.begin());
    if (index < 0 || index >= OrderCount() || m_orders[index].get() != order) {
        const auto found = std::find_if(
            m_orders.begin(), m_orders.end(), [order](const auto &o) { return o.get() == order; });
        if (found == m_orders.end())
            return;
        index = int(found - m_orders.begin());
    }
    std::unique_ptr<TOrder> gone = std::move(m_orders[index]);
    m_orders.erase(m_orders.begin() + index);
    removeFileName(gone->FileName);
    // No card may keep pointing at the disposed order.
    for (TOrderFrame *frame : m_frames) {
        if (frame->Order() == gone.get())
            frame->SetOrder(nullptr);
    }
    gone.reset();
    RefreshView();
}

bool TOrderBrowser::eventFilter(QObject *Watched, QEvent *Event)
{
    switch (Event->type()) {
    case QEvent::Wheel:
        FrameMouseWheel(static_cast<QWheelEvent *>(Event));
        return true;
    case QEvent::MouseMove:
        if (Watched == ui->Panel)
            PanelMouseMove();
        break;
    case QEvent::Resize:
        if (Watched == ui->Panel)
            PanelResize();
        break;
    default:
        break;
    }
    return QFrame::eventFilter(Watched, Event);
}

void TOrderBrowser::wheelEvent(QWheelEvent *Event)
{
    FrameMouseWheel(Event);
}
