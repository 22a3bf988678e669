#pragma once

#include "model/uBrimvaleOrders.h"

#include <QFrame>

#include <array>
#include <functional>
#include <memory>

namespace Ui {
class TOrderFrame;
}
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TImageList;
class TShape;
class TSizeIndicator;
class TThumbView;

// The card of one photo on the waiting list: file name, thumbnail, pixel size, a quantity and a
// resolution mark per print size, layout and border, edit and delete. The order browser binds
// it to orders as the list scrolls; it edits the bound order directly and tells the browser
// through its callbacks. It never owns the order.
class TOrderFrame : public QFrame
{
    Q_OBJECT

public:
    using TCallback = std::function<void(TOrderFrame *)>;

    explicit TOrderFrame(QWidget *Owner = nullptr);
    ~TOrderFrame() override;

    // The bound order, or null. Not owned.
    TOrder *Order() const { return m_order; }

    // Set by the browser; may stay unset.
    TCallback OnQuantityChange;
    TCallback OnDeleteOrder;
    TCallback OnMouseMove;
    // After every handled change of the layout or the auto-correction, however the button
    // changed (mouse, keys, an assistive tool). Binding the card reports nothing.
    TCallback OnOptionChange;

    // Binds the card (null hides it). Binding the order already shown renews neither the size
    // label nor the thumbnail.
    void SetOrder(TOrder *Order);
    void UpdateOutline();

    // Handlers of the form.
    void SpinEditChange(QSpinBox *Sender);
    void RadioButton0Click(QRadioButton *Sender);
    void CheckClick();
    void btnEditClick();
    void btnDeleteClick();

    // The controls, for the browser, the tests and accessibility tools.
    TShape *Shape() const;
    QLabel *FilenameLabel() const;
    TThumbView *Thumb() const;
    QLabel *lblSize() const;
    QCheckBox *Check() const;
    QPushButton *btnEdit() const;
    QPushButton *btnDelete() const;
    QSpinBox *SpinEdit(int SizeIndex) const { return m_spins[SizeIndex]; }
    TSizeIndicator *SizeIndicator(int SizeIndex) const { return m_marks[SizeIndex]; }
    QRadioButton *RadioButton(int Tag) const { return m_radios[Tag]; }
    const TImageList *ImageList() const { return m_imageList; }

    // Outline colours (VCL 00FFFF and 0000FF).
    static QColor IncompleteColor() { return QColor(0xFF, 0xFF, 0x00); }
    static QColor CompleteColor() { return QColor(0xFF, 0x00, 0x00); }

protected:
    void mouseMoveEvent(QMouseEvent *Event) override;

private:
    void showLayout();

    std::unique_ptr<Ui::TOrderFrame> ui;
    TOrder *m_order = nullptr;
    std::array<QSpinBox *, PrintSizeCount> m_spins {};
    std::array<TSizeIndicator *, PrintSizeCount> m_marks {};
    std::array<QRadioButton *, 5> m_radios {};
    const TImageList *m_imageList = nullptr;
    // While SetOrder writes the controls, their change handling stays silent.
    bool m_binding = false;
};
