#include "cart/cThumbView.h"

#include <QPainter>

namespace {

QRect FitRect(const QSize &Picture, const QSize &Box)
{
    if (Picture.isEmpty() || Box.isEmpty())
        return {};
    QSize shown = Picture;
    if (shown.width() > Box.width() || shown.height() > Box.height())
        shown = Picture.scaled(Box, Qt::KeepAspectRatio);
    return QRect(
        QPoint((Box.width() - shown.width()) / 2, (Box.height() - shown.height()) / 2), shown);
}

} // namespace

TThumbView::TThumbView(QWidget *Owner)
    : QWidget(Owner)
    , m_bitmap(Bitmap32::Create())
{
    // Queued: the loaders emit on their own threads.
    connect(m_bitmap.get(), &Bitmap32::changed, this, qOverload<>(&QWidget::update),
        Qt::QueuedConnection);
}

QRect TThumbView::PictureRect() const
{
    return FitRect(QSize(m_bitmap->Width(), m_bitmap->Height()), size());
}

void TThumbView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // Drawn under the bitmap's lock, so a loader never shows half a picture; the lock is held
    // by a loader only while it copies the finished picture in.
    Bitmap32Locker lock(*m_bitmap);
    const QImage &image = m_bitmap->Image();
    const QRect target = FitRect(image.size(), size());
    if (target.isEmpty())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, image);
}
