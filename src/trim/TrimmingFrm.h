#pragma once

#include "model/uBrimvaleOrders.h"
#include "trim/TrimGeometry.h"
#include "trim/TrimImageView.h"

#include <QDialog>

#include <memory>

class QButtonGroup;
class QLabel;

namespace Ui {
class frmTrimming;
}

// The modal editor in which the user places one photo on the paper of each ordered print
// size. It works on a copy of the card's order; the caller takes the results over on OK:
//
//     TfrmTrimming w(parent);
//     w.OpenForOrder(order);              // throws std::runtime_error for a bad photo
//     if (w.exec() == TfrmTrimming::mrOK)
//         TfrmTrimming::CopyResults(*w.WorkingOrder(), order);
//
// Edit() does exactly that.
class TfrmTrimming : public QDialog
{
    Q_OBJECT
public:
    static constexpr int mrOK = 1;
    static constexpr int mrCancel = 2;

    explicit TfrmTrimming(QWidget *parent = nullptr);
    ~TfrmTrimming() override;

    // Makes the working copy, loads the photo, selects the first ordered size and the
    // order's layout option. A photo that cannot be decoded throws std::runtime_error with
    // the decoder's message (UTF-8); the window is then left without a working order.
    void OpenForOrder(const TOrder &Order);
    // The edited copy; null before OpenForOrder.
    const TOrder *WorkingOrder() const { return m_workingOrder.get(); }

    // What the card takes over after OK: per size the quantity, crop frame and crop text,
    // then the border and the layout (an image-full layout clears the crops).
    static void CopyResults(const TOrder &From, TOrder &To);
    // Opens the window for Order, runs it modally and copies the results back on OK.
    // Returns the modal result; a photo that cannot be decoded throws before anything shows.
    static int Edit(QWidget *parent, TOrder &Order);

    // Layers, for inspection (tests, accessibility).
    TTrimImageView *ImageView() const;
    const TTrimLayer &PhotoLayer() const { return *m_photoLayer; }
    const TTrimLayer &GhostLayer() const { return *m_ghostLayer; }
    const TTrimLayer &SheetLayer() const { return *m_sheetLayer; }
    const TTrimLayer &FrameLayer() const { return *m_frameLayer; }

    int SizeItemIndex() const;
    int LayoutItemIndex() const;

    void reject() override;

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void FormCreate();
    void FormDestroy();
    void LoadPhoto(const QString &FileName);
    void LayoutForSize();
    void ApplyLayoutChoice();
    void SizeGroupClick();
    void LayoutGroupClick();
    void RBResizing(TDragState DragState, const TFloatRect &OldLocation, TFloatRect &NewLocation);
    void ClearView();
    void LayOutFrame(int Size);
    void SelectSize(int Index);
    void SelectLayout(int Index);
    void SetLayoutItemsEnabled(bool Enabled);

    std::unique_ptr<Ui::frmTrimming> ui;
    QButtonGroup *m_sizeGroup = nullptr;
    QButtonGroup *m_layoutGroup = nullptr;
    std::unique_ptr<TOrder> m_workingOrder;
    // The photo's orientation, from its real proportions (a reduced decode may round).
    bool m_landscape = false;
    // The wallet sheet's size (its picture may be left out for an extreme strip of a photo).
    QSize m_sheetSize;
    TTrimLayer *m_ghostLayer = nullptr;
    TTrimLayer *m_photoLayer = nullptr;
    TTrimLayer *m_sheetLayer = nullptr;
    TTrimLayer *m_frameLayer = nullptr;
};
