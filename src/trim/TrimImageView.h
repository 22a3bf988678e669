#pragma once

#include "util/Geometry.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

// One picture of the view, placed over the paper. Locations are in paper pixels, origin at
// the paper's top-left corner; the picture is drawn scaled into its location.
struct TTrimLayer
{
    QImage Bitmap;
    TFloatRect Location;
    bool Visible = true;
    bool Cropped = false; // shown only over the paper
    qreal Opacity = 1.0; // master alpha / 255
};

enum class TDragState { dsMove };

// The trimming view: the white paper at scale 1 centred in the widget, the layers over it in
// the order they were added, and an invisible rubber band on top that the mouse moves (never
// resizes) and that carries one child layer along. With the focus, the arrow keys move the band
// by one pixel (ten with Shift), each press handled as a drag of its own.
class TTrimImageView : public QWidget
{
    Q_OBJECT
public:
    explicit TTrimImageView(QWidget *parent = nullptr);
    ~TTrimImageView() override;

    // The paper bitmap, always filled white.
    QSize PaperSize() const { return m_paper.size(); }
    void SetPaperSize(QSize Size);
    void ClearPaper();

    // Where the paper's origin lies in widget coordinates.
    QPointF PaperOrigin() const;

    TTrimLayer *AddLayer();

    // The rubber band.
    TFloatRect RubberBandLocation() const { return m_bandLocation; }
    void SetRubberBandLocation(const TFloatRect &Location);
    bool RubberBandVisible() const { return m_bandVisible; }
    void SetRubberBandVisible(bool Visible);
    // Takes the child's location; the child then follows every move.
    void SetRubberBandChild(TTrimLayer *Child);
    TTrimLayer *RubberBandChild() const { return m_bandChild; }

    // Called while the band is dragged, with the location at the start of the drag and the
    // proposed one, which the handler may change.
    std::function<void(TDragState, const TFloatRect &, TFloatRect &)> OnResizing;

    // Update bracketing: repaints are held back until the outermost EndUpdate.
    void BeginUpdate() { ++m_updateCount; }
    void EndUpdate();
    // Repaint (respecting the bracketing), after a layer changed.
    void Changed();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool overBand(QPointF WidgetPos) const;
    void updateCursor(QPointF WidgetPos);
    // The one way the band moves: From shifted by By, offered to OnResizing, then placed.
    void moveBand(const TFloatRect &From, QPointF By);

    QImage m_paper;
    std::vector<std::unique_ptr<TTrimLayer>> m_layers;
    TFloatRect m_bandLocation;
    bool m_bandVisible = false;
    TTrimLayer *m_bandChild = nullptr;
    bool m_dragging = false;
    QPointF m_dragStart;
    TFloatRect m_dragStartLocation;
    int m_updateCount = 0;
};
