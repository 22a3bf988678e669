#pragma once

#include "util/Bitmap32.h"

#include <QWidget>

#include <memory>

// Shows a Bitmap32 centred in the control; a picture larger than the control is shrunk to fit
// with its proportions kept (fast, low-quality scaling), a smaller one shows at its own size.
// It repaints whenever the bitmap reports a change, from whatever thread drew it.
class TThumbView : public QWidget
{
    Q_OBJECT

public:
    explicit TThumbView(QWidget *Owner = nullptr);

    // The picture of the control, always present; loaders draw into it.
    const std::shared_ptr<Bitmap32> &Bitmap() const { return m_bitmap; }

    // Where the picture shows inside the control (empty without a picture).
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent *Event) override;

private:
    std::shared_ptr<Bitmap32> m_bitmap;
};
