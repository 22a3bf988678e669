#pragma once

#include "upload/IUploadObserver.h"
#include "upload/TimeLeft.h"
#include "upload/TransferProgress.h"
#include "upload/UploadSettings.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class FtpClient;
class HttpClient;
class TOrder;
class QThread;

// One upload of an order list, widget-free: the state of the upload window and its driver.
// RunUpload() fetches the order stamp, stores photos and thumbnails by FTP (or, when FTP
// cannot be opened and the user agrees, posts the photos by HTTP), posts the cart-info file
// and opens the basket page. start() runs it on a worker thread; everything it shows or asks
// goes through the observer.
class UploadEngine : public QObject
{
    Q_OBJECT
public:
    explicit UploadEngine(IUploadObserver &Observer, QObject *parent = nullptr);
    ~UploadEngine() override; // cancels a running upload and waits for its end

    // The window's state, in its order.
    std::atomic<bool> CancelRequest{false};
    QList<TOrder *> Orders; // the order browser's list; neither copied nor owned
    std::int64_t TransferStartMs = 0;
    int ReconnectCount = 0;
    float AverageSpeed() const { return m_progress.AverageSpeed; }
    std::atomic<bool> Completed{false};
    QString UserID;
    std::atomic<bool> FtpAvailable{true};

    UploadSettings Settings = UploadSettings::FromConfig();

    const TOrder *OrderAt(int Index) const { return Orders.at(Index); }

    // The window coming up: FtpAvailable true, no cancel request, speed 0, no reconnection.
    void Reset();
    // Runs RunUpload on a worker thread; finished() follows on this object's thread.
    void start();
    bool isRunning() const;
    bool wait(int Milliseconds = -1);
    // Cancel: honoured in every phase; a running FTP store stops at its next progress report.
    // The upload then ends as not completed.
    void RequestCancel() { CancelRequest.store(true); }

    // The whole upload, synchronously; never throws. Sets and returns Completed.
    bool RunUpload();

    // Addresses and names of one upload.
    static QString OrdersFolder(const QString &Stamp, const QString &UserID);
    static QString ThumbsFolder(const QString &Stamp, const QString &UserID);
    static QString CartInfoFileName(const QString &Stamp, const QString &UserID);
    static QString CartInfoPath(const QString &Stamp, const QString &UserID);
    static QByteArray BasketAddress(
        const QString &WebUrl, const QString &Stamp, const QString &UserID);

signals:
    void finished(bool Completed);

private:
    bool runUpload();
    QString fetchStamp();
    bool connectFtp();
    bool SendByFtp(const QString &Stamp, QString &CartInfo);
    bool Reconnect();
    void noteSilentReconnect();
    // Stores one encoded thumbnail; its failure is ignored (always true).
    bool SendThumbnail(const QByteArray &Jpeg, const QString &RemotePath);
    bool SendByHttp(const QString &Stamp, QString &CartInfo);
    bool SendCartInfo(const QString &CartInfo, const QString &CartInfoPath);

    // The progress events of both clients.
    void workBegin(std::int64_t Expected);
    void work(std::int64_t Done);
    void beginTimeLeft(std::int64_t PerPhoto);
    void workEnd();

    IUploadObserver &m_observer;
    TransferProgress m_progress;
    TimeLeft m_timeLeft;
    std::int64_t m_bytesBefore = 0; // of the stores done, for the time left
    QElapsedTimer m_clock;
    std::int64_t m_gaugeMax = 0;
    std::int64_t m_lastReportMs = -1;
    std::int64_t m_lastReportedDone = 0;
    QString m_lastSpeedText;
    int m_totalMax = 0;
    int m_totalDone = 0;
    std::unique_ptr<FtpClient> m_ftp;
    std::unique_ptr<HttpClient> m_http;
    QThread *m_thread = nullptr;
};
