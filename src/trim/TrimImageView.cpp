#include "trim/TrimImageView.h"

#include "trim/TrimGeometry.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

QRectF ToQRectF(const TFloatRect &r)
{
    return QRectF(QPointF(r.Left, r.Top), QPointF(r.Right, r.Bottom));
}

} // namespace

TTrimImageView::TTrimImageView(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TTrimImageView::~TTrimImageView() = default;

QSize TTrimImageView::sizeHint() const
{
    return {TrimGeometry::ViewWidth, TrimGeometry::ViewHeight};
}

void TTrimImageView::SetPaperSize(QSize Size)
{
    if (Size.isEmpty()) {
        ClearPaper();
        return;
    }
    m_paper = QImage(Size, QImage::Format_RGB32);
    m_paper.fill(Qt::white);
    Changed();
}

void TTrimImageView::ClearPaper()
{
    m_paper = QImage();
    Changed();
}

QPointF TTrimImageView::PaperOrigin() const
{
    return QPointF((width() - m_paper.width()) / 2, (height() - m_paper.height()) / 2);
}

TTrimLayer *TTrimImageView::AddLayer()
{
    m_layers.push_back(std::make_unique<TTrimLayer>());
    return m_layers.back().get();
}

void TTrimImageView::SetRubberBandLocation(const TFloatRect &Location)
{
    m_bandLocation = Location;
    if (m_bandChild)
        m_bandChild->Location = Location;
    Changed();
}

void TTrimImageView::SetRubberBandVisible(bool Visible)
{
    m_bandVisible = Visible;
    if (!Visible && m_dragging) {
        m_dragging = false;
        unsetCursor();
    }
}

void TTrimImageView::SetRubberBandChild(TTrimLayer *Child)
{
    m_bandChild = Child;
    if (Child)
        SetRubberBandLocation(Child->Location);
}

void TTrimImageView::EndUpdate()
{
    if (m_updateCount > 0 && --m_updateCount == 0)
        update();
}

void TTrimImageView::Changed()
{
    if (m_updateCount == 0)
        update();
}

void TTrimImageView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    if (m_paper.isNull())
        return;
    const QPointF origin = PaperOrigin();
    p.translate(origin);
    p.drawImage(QPointF(0, 0), m_paper);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF paper(QPointF(0, 0), QSizeF(m_paper.size()));
    for (const auto &layer : m_layers) {
        if (!layer->Visible || layer->Bitmap.isNull() || layer->Location.IsEmpty())
            continue;
        p.save();
        if (layer->Cropped)
            p.setClipRect(paper);
        p.setOpacity(layer->Opacity);
        p.drawImage(ToQRectF(layer->Location), layer->Bitmap);
        p.restore();
    }
}

bool TTrimImageView::OverBand(QPointF WidgetPos) const
{
    if (!m_bandVisible || m_paper.isNull())
        return false;
    const QPointF at = WidgetPos - PaperOrigin();
    const TFloatRect &r = m_bandLocation;
    return at.x() >= r.Left && at.x() < r.Right && at.y() >= r.Top && at.y() < r.Bottom;
}

void TTrimImageView::UpdateCursor(QPointF WidgetPos)
{
    if (m_dragging || OverBand(WidgetPos))
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void TTrimImageView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && OverBand(event->position())) {
        m_dragging = true;
        m_dragStart = event->position();
        m_dragStartLocation = m_bandLocation;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TTrimImageView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        const QPointF d = event->position() - m_dragStart;
        const TFloatRect &old = m_dragStartLocation;
        const float dx = float(d.x()), dy = float(d.y());
        TFloatRect proposed {old.Left + dx, old.Top + dy, old.Right + dx, old.Bottom + dy};
        if (OnResizing)
            OnResizing(TDragState::dsMove, old, proposed);
        SetRubberBandLocation(proposed);
    }
    UpdateCursor(event->position());
}

void TTrimImageView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        UpdateCursor(event->position());
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}
