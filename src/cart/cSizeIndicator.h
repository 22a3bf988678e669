#pragma once

#include "model/uSizeInfo.h"

#include <QImage>
#include <QWidget>

#include <vector>

class QPainter;

// A list of equally sized pictures, drawn by index.
class TImageList
{
public:
    TImageList(int Width, int Height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const { return int(m_images.size()); }

    // Pictures of another size are scaled to the list's size.
    void Add(const QImage &Image);
    // Draws picture Index with its top-left corner at (X, Y); an index out of range draws nothing.
    void Draw(QPainter &Painter, int X, int Y, int Index) const;
    QImage Image(int Index) const;

private:
    int m_width;
    int m_height;
    std::vector<QImage> m_images;
};

// The marks of the photo cards, made once for the whole program: 0 a red cross (ssBad), 1 a
// blue round mark (ssOptimal), 2 the same red cross (ssWarning).
const TImageList &SizeMarkImageList();

// The resolution mark beside a quantity field: a small picture showing one image of its image
// list for a size status. Without an image list it keeps whatever picture it was given, as the
// legend of the cart page does.
class TSizeIndicator : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int SizeStatus READ sizeStatusValue WRITE setSizeStatusValue)

public:
    explicit TSizeIndicator(QWidget *Owner = nullptr);

    TSizeStatus SizeStatus() const { return m_sizeStatus; }
    // Stores the status and redraws the picture from the image list (when one is set).
    void SetSizeStatus(TSizeStatus Value);

    // Not watched: the list must outlive the control. Setting it does not redraw.
    const TImageList *ImageList() const { return m_imageList; }
    void SetImageList(const TImageList *List) { m_imageList = List; }

    // The picture the control shows (its canvas), the control's size.
    const QImage &Picture() const { return m_picture; }
    void SetPicture(const QImage &Picture);
    // Fills the whole picture with white.
    void ClearCanvas();

    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent *Event) override;

private:
    int sizeStatusValue() const { return m_sizeStatus; }
    void setSizeStatusValue(int Value) { SetSizeStatus(static_cast<TSizeStatus>(Value)); }
    void describe();

    TSizeStatus m_sizeStatus = ssNone;
    const TImageList *m_imageList = nullptr;
    QImage m_picture;
};
