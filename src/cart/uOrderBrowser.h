#pragma once

#include "model/uBrimvaleOrders.h"

#include <QFrame>
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

namespace Ui {
class OrderBrowser;
}
class TOrderFrame;
class QLabel;
class QScrollBar;
class QStatusBar;
class QWheelEvent;
class QMouseEvent;

// The scrolling grid of photo cards on the waiting-list page. It owns the order list and a
// small pool of cards that it rebinds to the visible orders as the list scrolls, so thousands
// of photos cost one card per visible slot, not one per photo.
//
// The scroll bar's position is a pixel offset into the content (rows of 273); the position runs
// from 0 to the maximum, the page size only sizes the handle.
class TOrderBrowser : public QFrame
{
    Q_OBJECT

public:
    static constexpr int CardWidth = 250;
    static constexpr int CardHeight = 273;
    // One wheel step, whatever the wheel's delta.
    static constexpr int LargeChange = 100;
    static constexpr int SmallChange = 100;
    static constexpr int StatusCountWidth = 120;

    explicit TOrderBrowser(QWidget *Parent = nullptr);
    ~TOrderBrowser() override;

    // Appends the order; the browser takes ownership. No refresh: the caller calls
    // RefreshView after a batch.
    void AddOrder(std::unique_ptr<TOrder> Order);
    int OrderCount() const;
    TOrder *OrderAt(int Index) const;
    const std::vector<std::unique_ptr<TOrder>> &Orders() const;
    // True when an order has exactly this FileName (letter case counts); constant time, so
    // adding thousands of photos stays linear.
    bool ContainsFileName(const QString &FileName) const;
    void ClearOrders();
    void RefreshView();

signals:
    // A photo joined the list / its last order left it (whoever prepares work per photo).
    void PhotoAdded(const QString &FileName);
    void PhotoRemoved(const QString &FileName);

public:
    // Handlers (also called by the cards through their callbacks).
    void PanelResize();
    void ScrollBarChange();
    void FrameMouseWheel(QWheelEvent *Event);
    void PanelMouseMove();
    void UpdateQuantityStatus();
    void OnDeleteOrder(TOrderFrame *Frame);
    void OnQuantityChange(TOrderFrame *Frame);

    // The status bar's two panels: 0 the photo count, 1 the quantity status and hints.
    QString StatusText(int Index) const;
    void SetStatusText(int Index, const QString &Text);

    QFrame *Panel() const;
    QScrollBar *ScrollBar() const;
    QStatusBar *StatusBar() const;
    const std::vector<TOrderFrame *> &Frames() const { return m_frames; }
    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }
    int AppliedOffset() const { return m_appliedOffset; }
    int FirstVisibleIndex() const { return m_firstVisibleIndex; }

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override;
    void wheelEvent(QWheelEvent *Event) override;

private:
    void AddFrame();
    // Places card Index after card Index - 1: to its right, or at the start of the next row.
    void placeFrame(int Index);
    void watchInput(QWidget *Widget);
    void removeFileName(const QString &FileName);

    std::unique_ptr<Ui::OrderBrowser> ui;
    QLabel *m_statusPanels[2] {};
    std::vector<std::unique_ptr<TOrder>> m_orders;
    // File name -> number of orders with it, beside the list for ContainsFileName.
    QHash<QString, int> m_fileNames;
    // The card pool in layout order; the cards are children of Panel.
    std::vector<TOrderFrame *> m_frames;
    int m_columns = 0;
    int m_rows = 0;
    int m_appliedOffset = 0;
    int m_firstVisibleIndex = 0;
    // Cards report quantity changes while a refresh binds them; the status is written once.
    bool m_refreshing = false;
    bool m_quantityChangedInRefresh = false;
};
