#pragma once

#include "upload/IUploadObserver.h"
#include "upload/TimeLeft.h"
#include "upload/TransferProgress.h"
#include "upload/UploadRequest.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class FtpClient;
class HttpClient;
class QThread;

// One upload of an order list, widget-free: the state of the upload window and its driver.
// RunUpload() fetches the order stamp, stores photos and thumbnails by FTP (or, when FTP
// cannot be opened and the user agrees, posts the photos by HTTP), posts the cart-info file
// and opens the basket page. Start() runs it on a worker thread; everything it shows or asks
// goes through the observer. Each upload is given its whole request at its start and reads
// nothing else: the cart may change meanwhile without changing what is sent.
class UploadEngine : public QObject
{
    Q_OBJECT
public:
    explicit UploadEngine(IUploadObserver &Observer, QObject *parent = nullptr);
    ~UploadEngine() override; // cancels a running upload and waits for its end

    // The window's state, in its order; the upload sets it, anyone may read it.
    bool CancelRequest() const { return m_cancelRequest.load(); }
    std::int64_t TransferStartMs() const { return m_transferStartMs.load(); }
    int ReconnectCount() const { return m_reconnectCount.load(); }
    float AverageSpeed() const { return m_progress.AverageSpeed; }
    bool Completed() const { return m_completed.load(); }
    bool FtpAvailable() const { return m_ftpAvailable.load(); }

    // The request of the running (or last) upload.
    const UploadRequest &Request() const { return *m_request; }
    const UploadOrder &OrderAt(int Index) const { return m_request->Orders.at(Index); }

    // The window coming up: FtpAvailable true, no cancel request, speed 0, no reconnection.
    void Reset();
    // Runs RunUpload(Request) on a worker thread; finished() follows on this object's thread.
    // Ignored while an upload runs.
    void Start(UploadRequest Request);
    bool IsRunning() const;
    bool Wait(int Milliseconds = -1);
    // Cancel: honoured in every phase; a running FTP store stops at its next progress report.
    // The upload then ends as not completed.
    void RequestCancel() { m_cancelRequest.store(true); }

    // The whole upload, synchronously; never throws. Sets and returns Completed. False at
    // once while another upload of this engine runs.
    bool RunUpload(UploadRequest Request);

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
    bool run();
    bool runUpload();
    QString fetchStamp();
    bool connectFtp();
    bool SendByFtp(const QString &Stamp, QString &CartInfo);
    bool Reconnect();
    void noteSilentReconnect();
    // Stores one encoded thumbnail at RemotePath (as RemoteThumbnailPath gives it); its failure
    // is ignored (always true).
    bool SendThumbnail(const QByteArray &Jpeg, const QString &RemotePath);
    bool SendByHttp(const QString &Stamp, QString &CartInfo);
    bool SendCartInfo(const QString &CartInfo, const QString &CartInfoPath);

    // The progress events of both clients.
    void workBegin(std::int64_t Expected);
    void work(std::int64_t Done);
    void beginTimeLeft(std::int64_t PerPhoto);
    void workEnd();

    const UploadSettings &settings() const { return m_request->Settings; }
    int orderCount() const { return static_cast<int>(m_request->Orders.size()); }

    IUploadObserver &m_observer;
    // Replaced only while no upload runs; the upload reads it, never writes it.
    std::shared_ptr<const UploadRequest> m_request;
    std::atomic<bool> m_cancelRequest {false};
    std::atomic<std::int64_t> m_transferStartMs {0};
    std::atomic<int> m_reconnectCount {0};
    std::atomic<bool> m_completed {false};
    std::atomic<bool> m_ftpAvailable {true};
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
    std::unique_ptr<QThread> m_thread;
};
