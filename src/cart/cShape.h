#pragma once

#include <QColor>
#include <QWidget>

// A rectangle outline drawn with a pen of a given width and colour on a white face, inside the
// control's bounds. It lets the mouse through to what lies beneath.
class TShape : public QWidget
{
    Q_OBJECT

public:
    explicit TShape(QWidget *Owner = nullptr);

    QColor PenColor() const { return m_penColor; }
    void SetPenColor(const QColor &Color);
    int PenWidth() const { return m_penWidth; }
    void SetPenWidth(int Width);

protected:
    void paintEvent(QPaintEvent *Event) override;

private:
    QColor m_penColor {0xC0, 0xC0, 0xC0}; // silver
    int m_penWidth = 3;
};
