#pragma once

#include "model/uBrimvaleOrders.h"

#include <QFrame>
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

class TOrderFrame;
class QScrollBar;
class QStatusBar;
class QWheelEvent;
class QMouseEvent;

// The scrolling grid of photo cards on the waiting-list page. It owns the order list and a
// small pool of cards that it rebinds to the visible orders as the list scrolls, so thousands
// of photos cost one card per visible slot, not one per photo.
class TOrderBrowser : public QFrame
{
    Q_OBJECT

public:
    static constexpr int CardWidth = 250;
    static constexpr int CardHeight = 273;

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
};
