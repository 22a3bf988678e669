#pragma once

#include <QStyledItemDelegate>

class PhotoGridModel;
class PhotoSelection;

// The look of one photo in the grid, flat: a 1-pixel silver frame around the 130 x 130
// thumbnail box with a 5-pixel gap above it, the picture centred in the box inside a grey
// line, the file name under it, and a 4-pixel blue frame around a selected photo. Photos are
// 10 pixels apart.
class PhotoGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int ThumbSize = 130;
    static constexpr int Gap = 10; // between two photos' frames, across and down
    static constexpr int UpperGap = 5;
    static constexpr int BottomGap = 5;
    static constexpr int BorderWidth = 1;
    static constexpr int SelectionWidth = 4;

    PhotoGridDelegate(
        const PhotoGridModel *Model, const PhotoSelection *Selection, QObject *Parent = nullptr);

    void paint(QPainter *Painter, const QStyleOptionViewItem &Option,
        const QModelIndex &Index) const override;
    QSize sizeHint(const QStyleOptionViewItem &Option, const QModelIndex &Index) const override;

    // The size of every item for a font: selection margin, frame, gaps, box and caption.
    static QSize ItemSize(const QFontMetrics &Metrics);
    // The thumbnail box inside an item's rectangle.
    static QRect BoxRect(const QRect &ItemRect);

private:
    const PhotoGridModel *m_model;
    const PhotoSelection *m_selection;
};
