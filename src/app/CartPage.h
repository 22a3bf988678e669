#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QFrame;
class QProgressBar;
class QTimer;
class WaitingListKeeper;
class QWidget;
class TBatchPanel;
class TOrderBrowser;

// The waiting-list page's contents and commands: the order browser beside the batch panel,
// "선택 초기화", "주문대기 비우기" and "사진 주문하기". What it needs of the main window it asks
// for by its signals.
class TCartPage : public QObject
{
    Q_OBJECT

public:
    // Builds the batch panel into BatchHost and the order browser into BrowserHost (a host with
    // a layout). Window owns the page's modal windows (the upload, its messages).
    TCartPage(QFrame *BatchHost, QWidget *BrowserHost, QWidget *Window, QObject *Parent = nullptr);
    ~TCartPage() override;

    TOrderBrowser *OrderBrowser() const { return m_browser; }
    TBatchPanel *Batch() const { return m_batch; }

    // The customer the orders are sent for.
    void SetUserID(const QString &UserID) { m_userID = UserID; }

    // Appends an order per photo not yet listed, in order; Gauge (when given) counts the paths.
    // Returns how many were added.
    int AddPhotos(const QStringList &Paths, QProgressBar *Gauge = nullptr);

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

signals:
    // Long work starts and ends: the main window shows its wait panel in between.
    void WaitStarted();
    void WaitEnded();
    // The page has something to show: it wants to be the active page.
    void PageWanted();
    // The order was sent and the list emptied: the program's work is done.
    void OrderCompleted();

private:
    void showPlainMessage(const QString &Text);
    void offerKeptListBack(const QString &Path);
    void keepNow();

    QWidget *m_window;
    QString m_userID;
    TOrderBrowser *m_browser;
    TBatchPanel *m_batch;
    std::unique_ptr<WaitingListKeeper> m_keeper;
    QTimer *m_keepTimer = nullptr;
};
