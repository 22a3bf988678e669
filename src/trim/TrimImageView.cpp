#include "trim/TrimImageView.h"

#include "trim/TrimGeometry.h"

#include <QKeyEvent>
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
    // Reached by Tab and by a click, so the photo can be placed with the arrow keys.
    setFocusPolicy(Qt::StrongFocus);
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
    p.resetTransform();
    if (hasFocus()) {
        // Drawn here rather than by the style, which shows it only after a Tab: the arrow keys
        // work as soon as the view has the focus, however it got there.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

bool TTrimImageView::overBand(QPointF WidgetPos) const
{
    if (!m_bandVisible || m_paper.isNull())
        return false;
    const QPointF at = WidgetPos - PaperOrigin();
    const TFloatRect &r = m_bandLocation;
    return at.x() >= r.Left && at.x() < r.Right && at.y() >= r.Top && at.y() < r.Bottom;
}

void TTrimImageView::updateCursor(QPointF WidgetPos)
{
    if (m_dragging || overBand(WidgetPos))
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void TTrimImageView::moveBand(const TFloatRect &From, QPointF By)
{
    const float dx = float(By.x()), dy = float(By.y());
    TFloatRect proposed {From.Left + dx, From.Top + dy, From.Right + dx, From.Bottom + dy};
    if (OnResizing)
        OnResizing(TDragState::dsMove, From, proposed);
    SetRubberBandLocation(proposed);
}

void TTrimImageView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && overBand(event->position())) {
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
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        moveBand(m_dragStartLocation, event->position() - m_dragStart);
    updateCursor(event->position());
}

void TTrimImageView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        updateCursor(event->position());
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void TTrimImageView::keyPressEvent(QKeyEvent *event)
{
    QPointF by;
    switch (event->key()) {
    case Qt::Key_Left:
        by = {-1, 0};
        break;
    case Qt::Key_Right:
        by = {1, 0};
        break;
    case Qt::Key_Up:
        by = {0, -1};
        break;
    case Qt::Key_Down:
        by = {0, 1};
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers others
        = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    // Nothing to move (image-full), a drag under way or another modifier: the key is not ours.
    if (!m_bandVisible || m_paper.isNull() || m_dragging || others != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier)
        by *= 10;
    moveBand(m_bandLocation, by);
    event->accept();
}

void TTrimImageView::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void TTrimImageView::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}
