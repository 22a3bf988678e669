#include "folder/PhotoGridDelegate.h"

#include "folder/PhotoGridModel.h"
#include "folder/PhotoSelection.h"

#include <QPainter>

namespace {

const QColor Silver(0xC0, 0xC0, 0xC0);
const QColor Grey(0x80, 0x80, 0x80);
const QColor Blue(0x00, 0x00, 0xFF);

int CaptionHeight(const QFontMetrics &Metrics)
{
    return Metrics.height() + 2;
}

} // namespace

PhotoGridDelegate::PhotoGridDelegate(
    const PhotoGridModel *Model, const PhotoSelection *Selection, QObject *Parent)
    : QStyledItemDelegate(Parent)
    , m_model(Model)
    , m_selection(Selection)
{ }

QSize PhotoGridDelegate::ItemSize(const QFontMetrics &Metrics)
{
    const int frame = 2 * (SelectionWidth + BorderWidth);
    return {frame + ThumbSize, frame + UpperGap + ThumbSize + BottomGap + CaptionHeight(Metrics)};
}

QRect PhotoGridDelegate::BoxRect(const QRect &ItemRect)
{
    const int inset = SelectionWidth + BorderWidth;
    return {ItemRect.left() + inset, ItemRect.top() + inset + UpperGap, ThumbSize, ThumbSize};
}

QSize PhotoGridDelegate::sizeHint(const QStyleOptionViewItem &Option, const QModelIndex &) const
{
    return ItemSize(Option.fontMetrics);
}

void PhotoGridDelegate::paint(
    QPainter *Painter, const QStyleOptionViewItem &Option, const QModelIndex &Index) const
{
    const int position = Index.row();
    const QRect item = Option.rect;
    const QRect frame
        = item.adjusted(SelectionWidth, SelectionWidth, -SelectionWidth, -SelectionWidth);
    const QRect box = BoxRect(item);

    Painter->save();
    Painter->setRenderHint(QPainter::Antialiasing, false);

    // Frame: a 1-pixel silver line just inside the frame rectangle.
    Painter->setPen(Silver);
    Painter->setBrush(Qt::NoBrush);
    Painter->drawRect(frame.adjusted(0, 0, -1, -1));

    if (const QImage *picture = m_model->Thumbnail(position); picture && !picture->isNull()) {
        QRect place(QPoint(), picture->size());
        place.moveCenter(box.center());
        Painter->drawImage(place.topLeft(), *picture);
        Painter->setPen(Grey);
        Painter->drawRect(place.adjusted(-1, -1, 0, 0));
    }

    const QRect caption(box.left(), box.bottom() + 1 + BottomGap / 2, box.width(),
        frame.bottom() - box.bottom() - BottomGap / 2 - BorderWidth);
    Painter->setPen(Qt::black);
    Painter->setFont(Option.font);
    Painter->drawText(caption, Qt::AlignHCenter | Qt::AlignTop,
        Option.fontMetrics.elidedText(
            m_model->Caption(position), Qt::ElideMiddle, caption.width()));

    if (m_selection->IsSelected(position)) {
        QPen pen(Blue, SelectionWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        Painter->setPen(pen);
        const int half = SelectionWidth / 2;
        Painter->drawRect(item.adjusted(half, half, -half, -half));
    }

    // The keyboard's current photo.
    if ((Option.state & QStyle::State_HasFocus) && (Option.state & QStyle::State_Active)) {
        QPen pen(Grey, 1, Qt::DotLine);
        Painter->setPen(pen);
        Painter->drawRect(frame.adjusted(2, 2, -3, -3));
    }
    Painter->restore();
}
