#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QFrame;
class QTimer;
class WaitingListKeeper;
class QWidget;
class TBatchPanel;
class TOrderBrowser;

// What the cart page needs of the main window.
struct CartPageHost
{
    std::function<void()> ShowWaitPanel;
    std::function<void()> HideWaitPanel;
    std::function<void()> ShowCartPage;
    std::function<QString()> UserID;
    // Ends the program after a completed order.
    std::function<void()> Terminate;
    // Owner of the upload window.
    QWidget *Window = nullptr;
};

// The waiting-list page's contents and commands: the order browser beside the batch panel,
// "선택 초기화", "주문대기 비우기" and "사진 주문하기".
class TCartPage : public QObject
{
    Q_OBJECT

public:
    // Builds the batch panel into BatchHost and the order browser into BrowserHost (a host with
    // a layout).
    TCartPage(
        QFrame *BatchHost, QWidget *BrowserHost, CartPageHost Host, QObject *Parent = nullptr);
    ~TCartPage() override;

    TOrderBrowser *OrderBrowser() const { return m_browser; }
    TBatchPanel *Batch() const { return m_batch; }
    CartPageHost &Host() { return m_host; }

    // From now on the waiting list is kept in UserID's recovery file, about a second after each
    // change; a list kept before (a crash, a closed window) is first offered back.
    void KeepWaitingList(const QString &UserID);
    WaitingListKeeper *Keeper() const { return m_keeper.get(); }

    void btnInitializeClick();
    void btnClearClick();
    void btnUploadClick();

    // The messages of the order command, in a plain message box.
    static QString NoPhotosText() { return QStringLiteral("주문대기중인 사진이 없습니다."); }
    static QString NoQuantityText()
    {
        return QStringLiteral("수량선택이 되지 않은 이미지가 있습니다");
    }

private:
    void showPlainMessage(const QString &Text);
    void offerKeptListBack(const QString &Path);
    void keepNow();

    CartPageHost m_host;
    TOrderBrowser *m_browser;
    TBatchPanel *m_batch;
    std::unique_ptr<WaitingListKeeper> m_keeper;
    QTimer *m_keepTimer = nullptr;
};
