#include "cart/cShape.h"

#include <QPainter>

TShape::TShape(QWidget *Owner)
    : QWidget(Owner)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TShape::SetPenColor(const QColor &Color)
{
    if (Color == m_penColor)
        return;
    m_penColor = Color;
    update();
}

void TShape::SetPenWidth(int Width)
{
    if (Width == m_penWidth)
        return;
    m_penWidth = Width;
    update();
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect all = rect();
    painter.fillRect(all, Qt::white);
    // The band of the outline lies wholly inside the control, PenWidth pixels wide.
    const int w = qMax(0, m_penWidth);
    painter.fillRect(QRect(all.left(), all.top(), all.width(), w), m_penColor);
    painter.fillRect(QRect(all.left(), all.bottom() - w + 1, all.width(), w), m_penColor);
    painter.fillRect(QRect(all.left(), all.top(), w, all.height()), m_penColor);
    painter.fillRect(QRect(all.right() - w + 1, all.top(), w, all.height()), m_penColor);
}
