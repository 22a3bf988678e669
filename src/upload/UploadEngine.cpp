#include "upload/UploadEngine.h"

#include "upload/HttpForm.h"
#include "upload/UploadTexts.h"
#include "upload/UploadThumbnails.h"
#include "util/ControlCharacters.h"
#include "util/Cp949.h"
#include "util/FtpClient.h"
#include "util/FtpDirectories.h"
#include "util/HttpClient.h"
#include "util/ServiceConfig.h"
#include "util/TextError.h"
#include "util/UploadNames.h"

#include <QDateTime>
#include <QFileInfo>
#include <QScopeGuard>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <exception>
#include <future>

namespace {

constexpr qint64 ReportIntervalMs = 50; // display updates of a running transfer at most this often
constexpr int ThumbnailsAhead = 3; // thumbnails asked for beyond the photo being stored

// An upload that cannot go on, with the text to show.
class UploadFailure : public TextError
{
public:
    using TextError::TextError;
};

// The server-time answer is the order stamp, YYYYMMDDhhmmss and a digit; it needs a few bytes.
constexpr qint64 StampAnswerLimit = 4096;
constexpr qsizetype StampLength = 15;

bool isStamp(const QByteArray &Answer)
{
    return Answer.size() == StampLength
        && std::all_of(Answer.cbegin(), Answer.cend(), [](char c) { return c >= '0' && c <= '9'; });
}

// The user id and the photos' names become FTP paths and form fields: an empty id (an order
// of nobody, into the day folder itself) or one with a control character ends the upload
// before anything is sent.
void refuseUnsendable(const UploadRequest &Request)
{
    if (Request.UserID.isEmpty())
        throw UploadFailure(UploadTexts::NoUserID);
    if (HasControlCharacter(Request.UserID))
        throw UploadFailure(ControlTexts::UserIDRefused);
    for (const UploadOrder &order : Request.Orders) {
        if (HasControlCharacter(order.FileName))
            throw UploadFailure(ControlTexts::FileNameRefused(order.FileName));
    }
}

// A photo's file as it was when a transfer began. One saved over while it travels may arrive
// as a mix of its two versions, which the host's size cannot tell from a whole one (an edit in
// place often keeps the size); it is sent again as it is now, a few times at most.
struct PhotoVersion
{
    static constexpr int MaxSends = 3;
    qint64 Size = -1;
    QDateTime Modified;
    QDateTime Changed;

    static PhotoVersion Of(const QString &FileName)
    {
        const QFileInfo info(FileName);
        return {info.exists() ? info.size() : -1, info.lastModified(), info.metadataChangeTime()};
    }
    // True when the file changed since and may be sent once more; throws when it cannot.
    bool ChangedSince(const QString &FileName, int Sends) const
    {
        const PhotoVersion now = Of(FileName);
        if (now.Size == Size && now.Modified == Modified && now.Changed == Changed)
            return false;
        if (now.Size < 0)
            throw UploadFailure(QStringLiteral("Cannot open file \"%1\".").arg(FileName));
        if (Sends >= MaxSends)
            throw UploadFailure(
                QStringLiteral("The photo \"%1\" kept changing while it was sent.").arg(FileName));
        return true;
    }
};

} // namespace

UploadEngine::UploadEngine(IUploadObserver &Observer, QObject *parent)
    : QObject(parent)
    , m_observer(Observer)
    , m_request(std::make_shared<const UploadRequest>())
{
    m_clock.start();
}

UploadEngine::~UploadEngine()
{
    if (m_thread) {
        RequestCancel();
        m_observer.Release();
        m_thread->wait();
    }
}

void UploadEngine::Reset()
{
    m_ftpAvailable = true;
    m_cancelRequest = false;
    m_progress.AverageSpeed = 0.0f;
    m_reconnectCount = 0;
}

void UploadEngine::Start(UploadRequest Request)
{
    if (IsRunning())
        return;
    m_request = std::make_shared<const UploadRequest>(std::move(Request));
    m_thread.reset(QThread::create([this] { run(); }));
    connect(m_thread.get(), &QThread::finished, this, [this] { emit finished(Completed()); });
    m_thread->start();
}

bool UploadEngine::IsRunning() const
{
    return m_thread && m_thread->isRunning();
}

bool UploadEngine::Wait(int Milliseconds)
{
    if (!m_thread)
        return true;
    return Milliseconds < 0 ? m_thread->wait() : m_thread->wait(QDeadlineTimer(Milliseconds));
}

QString UploadEngine::OrdersFolder(const QString &Stamp, const QString &UserID)
{
    return QStringLiteral("/images/orders/") + Stamp.left(8) + u'/' + UserID + u'/';
}

QString UploadEngine::ThumbsFolder(const QString &Stamp, const QString &UserID)
{
    return QStringLiteral("/images/thumbs/") + Stamp.left(8) + u'/' + UserID + u'/';
}

QString UploadEngine::CartInfoFileName(const QString &Stamp, const QString &UserID)
{
    return UserID + u'[' + Stamp + QStringLiteral("]CartInfo.txt");
}

QString UploadEngine::CartInfoPath(const QString &Stamp, const QString &UserID)
{
    // The orders folder ends with "/" already: the path holds "//" before the name, which the
    // service has always received.
    return OrdersFolder(Stamp, UserID) + u'/' + CartInfoFileName(Stamp, UserID);
}

QByteArray UploadEngine::BasketAddress(
    const QString &WebUrl, const QString &Stamp, const QString &UserID)
{
    // The values go in as they are, unencoded, as the basket page reads them.
    return toCp949(ServiceConfig::JoinAddress(
               WebUrl, QStringLiteral("/mymenu/Basket_Process_P.html?cartinfo=")))
        + toCp949(CartInfoFileName(Stamp, UserID)) + "&dir=" + toCp949(Stamp.left(8))
        + "&id=" + toCp949(UserID) + "&httpapp=2";
}

bool UploadEngine::RunUpload(UploadRequest Request)
{
    if (IsRunning())
        return false;
    m_request = std::make_shared<const UploadRequest>(std::move(Request));
    return run();
}

bool UploadEngine::run()
{
    bool ok = false;
    try {
        ok = runUpload();
    } catch (const std::exception &e) {
        // An error that ends the upload: not completed, the window can be closed.
        ok = false;
        if (m_ftp)
            m_ftp->Disconnect();
        m_observer.SetCancelEnabled(true);
        m_observer.ShowError(QString::fromStdString(e.what()));
    } catch (...) {
        ok = false;
        m_observer.SetCancelEnabled(true);
        m_observer.ShowError(QStringLiteral("Unknown error"));
    }
    m_ftp.reset();
    m_http.reset();
    m_completed = ok;
    return ok;
}

bool UploadEngine::runUpload()
{
    QString cartInfo;
    m_ftpAvailable = true;
    const UploadRequest &request = *m_request;
    refuseUnsendable(request);
    m_observer.SetMessage(UploadTexts::Connecting);

    m_http = std::make_unique<HttpClient>();
    m_http->SetConnectTimeout(settings().ConnectTimeout);
    m_http->SetStallTimeout(settings().HttpStallTimeout);
    m_http->SetAccept("text/html, */*");
    m_http->SetUserAgent("Mozilla/3.0 (compatible; Indy Library)");
    m_http->SetCancelFlag(&m_cancelRequest);
    m_http->SetProgress([this](const HttpClient::Progress &Now) {
        const bool upload = Now.UploadTotal > 0;
        m_gaugeMax = upload ? Now.UploadTotal : Now.DownloadTotal;
        work(upload ? Now.UploadNow : Now.DownloadNow);
        return true;
    });

    const QString stamp = fetchStamp();
    if (stamp.isEmpty() || CancelRequest())
        return false;

    m_ftpAvailable = connectFtp();
    if (CancelRequest())
        return false;

    bool ok;
    if (FtpAvailable()) {
        m_observer.SetCancelEnabled(true);
        ok = SendByFtp(stamp, cartInfo);
        m_ftp->Disconnect();
    } else {
        if (!m_observer.AskWebRoute(UploadTexts::WebRouteQuestion))
            return false;
        // The user was told that the web route cannot be cancelled.
        m_observer.SetCancelEnabled(false);
        ok = SendByHttp(stamp, cartInfo);
    }

    if (ok && !CancelRequest()) {
        ok = SendCartInfo(cartInfo, CartInfoPath(stamp, request.UserID));
        if (ok) {
            m_observer.SetMessage(UploadTexts::Done);
            m_observer.OpenBrowser(BasketAddress(settings().WebUrl, stamp, request.UserID));
        }
    } else {
        ok = false;
    }
    m_observer.TotalGauge(m_totalMax, 0);
    m_observer.FileGauge(m_gaugeMax, 0);
    return ok;
}

QString UploadEngine::fetchStamp()
{
    const QByteArray address = toCp949(ServiceConfig::JoinAddress(
        settings().WebUrl, QStringLiteral("/Brimvale/NowDateTime.html")));
    m_http->SetBodyLimit(StampAnswerLimit);
    for (int attempt = 0; attempt < settings().StampAttempts; ++attempt) {
        if (attempt > 0) {
            QElapsedTimer pause;
            pause.start();
            while (pause.elapsed() < settings().StampPauseMs && !CancelRequest())
                QThread::msleep(10);
        }
        if (CancelRequest())
            return {};
        workBegin(0);
        const HttpResult answer = m_http->Get(address);
        workEnd();
        if (answer.Cancelled)
            return {};
        if (!answer.Ok())
            throw HttpError(m_http->ErrorText(answer));
        // The stamp is exactly 15 digits; anything else is a server hiccup. It names folders
        // and files on the host, so nothing but digits may pass.
        if (isStamp(answer.Body))
            return QString::fromLatin1(answer.Body);
    }
    throw UploadFailure(UploadTexts::NoServerTime);
}

bool UploadEngine::connectFtp()
{
    m_ftp = std::make_unique<FtpClient>(
        settings().FtpUrl, ServiceConfig::FtpUser, ServiceConfig::FtpPassword);
    m_ftp->SetConnectTimeout(settings().ConnectTimeout);
    m_ftp->SetStallTimeout(settings().FtpStallTimeout);
    m_ftp->SetVerifyStores(settings().VerifyStores);
    m_ftp->SetCancelFlag(&m_cancelRequest);
    FtpClient::Progress hooks;
    hooks.Begin = [this](std::int64_t expected) { workBegin(expected); };
    hooks.Work = [this](std::int64_t done) { work(done); };
    hooks.End = [this] { workEnd(); };
    m_ftp->SetProgress(std::move(hooks));
    return m_ftp->Connect();
}

bool UploadEngine::SendByFtp(const QString &Stamp, QString &CartInfo)
{
    const int count = orderCount();
    m_totalMax = count;
    m_totalDone = 0;
    beginTimeLeft(TimeLeft::ThumbnailBytes);
    m_observer.TotalGauge(count, 0);
    bool result = true;
    // Thumbnails are asked for a few photos ahead, so that drawing them keeps pace with the
    // stores; most were made while the photos sat on the order list.
    // The store holds the work it was asked for; the answer is asked for again at its photo.
    UploadThumbnails &thumbnails = UploadThumbnails::Shared();
    // An upload that ends early no longer waits for the thumbnails it asked for ahead.
    const auto withdrawThumbnails = qScopeGuard([&thumbnails] { thumbnails.Withdraw(); });
    int thumbnailsAsked = 0; // photos [0, thumbnailsAsked) have been asked for
    const auto askThumbnails = [&](int From) {
        for (; thumbnailsAsked < qMin(count, From + 1 + ThumbnailsAhead); ++thumbnailsAsked)
            thumbnails.Request(OrderAt(thumbnailsAsked).FileName);
    };

    const QString thumbs = ThumbsFolder(Stamp, m_request->UserID);
    const QString orders = OrdersFolder(Stamp, m_request->UserID);
    CartInfo.clear();
    // Thumbnails are stored with every blank of their path turned into "_", the user's folder
    // included; make that folder, or a user id with blanks would lose every thumbnail.
    MakeFtpDirectories(*m_ftp, BlanksAsUnderscores(thumbs));
    MakeFtpDirectories(*m_ftp, orders);

    for (int i = 0; i < count; ++i) {
        const UploadOrder &order = OrderAt(i);
        result = true;
        m_observer.SetExceptionText(UploadTexts::Progress(i + 1, count));
        if (!m_ftp->IsConnected())
            Reconnect();
        const QString uploadName = UploadName(Stamp, i, order.FileName);
        m_observer.SetMessage(UploadTexts::Sending + CleanFileName(order.FileName));
        if (CancelRequest()) {
            result = false;
            break;
        }
        // A photo that cannot be read is a local fault: no reconnection can mend it.
        if (!QFileInfo(order.FileName).isReadable() || !QFileInfo(order.FileName).isFile())
            throw UploadFailure(QStringLiteral("Cannot open file \"%1\".").arg(order.FileName));

        // The thumbnail is drawn while the photo travels; it is stored after the photo.
        askThumbnails(i);

        const QString remote = RemotePhotoPath(orders, uploadName);
        bool stopped = false;
        for (int sends = 1;; ++sends) {
            const PhotoVersion sent = PhotoVersion::Of(order.FileName);
            const bool stored = m_ftp->StoreFile(order.FileName, remote);
            noteSilentReconnect();
            if (!stored) {
                if (m_ftp->LastCancelled() || CancelRequest()) {
                    stopped = true;
                    break;
                }
                const QString error = m_ftp->LastError();
                if (!Reconnect()) {
                    stopped = true;
                    m_observer.ShowMessage(UploadTexts::FtpErrorPrefix + error);
                    break;
                }
                if (!m_ftp->StoreFile(order.FileName, remote)) {
                    if (m_ftp->LastCancelled() || CancelRequest()) {
                        stopped = true;
                        break;
                    }
                    // The second failure of one photo ends the upload.
                    throw FtpError(m_ftp->LastError());
                }
            }
            if (!sent.ChangedSince(order.FileName, sends))
                break;
        }
        if (stopped) {
            result = false;
            break;
        }
        m_bytesBefore += QFileInfo(order.FileName).size();

        // Asked again now that the photo is stored: the early answer was checked against the
        // file photos ago, and a kept thumbnail must show the bytes as they were sent. An
        // unchanged file costs a look-up; a changed one is drawn again.
        const std::shared_future<QByteArray> thumbJpeg = thumbnails.Request(order.FileName);
        while (thumbJpeg.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            if (CancelRequest())
                return false;
        }
        SendThumbnail(thumbJpeg.get(), RemoteThumbnailPath(thumbs, uploadName));
        m_bytesBefore += thumbJpeg.get().size();
        noteSilentReconnect();

        CartInfo += uploadName + u':' + order.CartInfoLine;
        m_totalDone = i + 1;
        m_observer.TotalGauge(count, m_totalDone);
    }
    return result;
}

bool UploadEngine::Reconnect()
{
    m_observer.SetExceptionText(UploadTexts::Reconnecting);
    const int count = ++m_reconnectCount;
    m_ftp->Disconnect();
    m_ftp->Connect(); // a failure shows in the answer below
    m_observer.SetExceptionText(UploadTexts::Reconnected(count));
    return m_ftp->IsConnected();
}

void UploadEngine::noteSilentReconnect()
{
    // A drop that came too late for the check before the photo was mended by libcurl's own
    // new login: it is a reconnection all the same, and counted and shown as one.
    if (!m_ftp->LastCallLoggedInAgain())
        return;
    m_observer.SetExceptionText(UploadTexts::Reconnecting);
    m_observer.SetExceptionText(UploadTexts::Reconnected(++m_reconnectCount));
}

bool UploadEngine::SendThumbnail(const QByteArray &Jpeg, const QString &RemotePath)
{
    if (!Jpeg.isEmpty()) {
        // A missing thumbnail does not hold up the order; one the host holds short is sent
        // once more, as a photo would be.
        if (!m_ftp->StoreData(Jpeg, RemotePath) && m_ftp->LastStoreUnconfirmed() && Reconnect())
            m_ftp->StoreData(Jpeg, RemotePath);
    }
    return true;
}

bool UploadEngine::SendByHttp(const QString &Stamp, QString &CartInfo)
{
    const int count = orderCount();
    m_totalMax = count;
    m_totalDone = 0;
    beginTimeLeft(0); // the web route sends no thumbnails
    m_observer.TotalGauge(count, 0);
    bool result = true;
    const QString orders = OrdersFolder(Stamp, m_request->UserID);
    const QByteArray address = toCp949(
        ServiceConfig::JoinAddress(settings().UploadUrl, QStringLiteral("/upload_file2.php")));

    for (int i = 0; i < count; ++i) {
        const UploadOrder &order = OrderAt(i);
        const QString uploadName = UploadName(Stamp, i, order.FileName);
        m_observer.SetMessage(UploadTexts::Sending + CleanFileName(order.FileName));
        const QList<FormPart> form {
            FormPart::Text("dst_dir", toCp949(orders)),
            FormPart::Text("dst_filename", toCp949(uploadName)),
            FormPart::File("file", order.FileName, toCp949(order.FileName), "application/unknown"),
        };
        HttpResult answer;
        for (int sends = 1;; ++sends) {
            const PhotoVersion sent = PhotoVersion::Of(order.FileName);
            workBegin(QFileInfo(order.FileName).size());
            answer = m_http->PostForm(address, form, UploadAnswerLimit);
            workEnd();
            if (!answer.Ok() || !sent.ChangedSince(order.FileName, sends))
                break;
        }
        if (answer.Cancelled) {
            result = false;
            break;
        }
        if (!answer.Ok()) {
            m_observer.ShowMessage(UploadTexts::HttpErrorPrefix + m_http->ErrorText(answer));
            result = false;
            break;
        }
        m_bytesBefore += QFileInfo(order.FileName).size();
        CartInfo += uploadName + u':' + order.CartInfoLine;
        m_totalDone = i + 1;
        m_observer.TotalGauge(count, m_totalDone);
        QThread::msleep(static_cast<unsigned long>(settings().PhotoPauseMs));
    }
    return result;
}

bool UploadEngine::SendCartInfo(const QString &CartInfo, const QString &CartInfoPath)
{
    QString dir;
    QString fileName;
    SplitCartInfoPath(CartInfoPath, dir, fileName);
    const QList<FormPart> form {
        FormPart::Text("dir", toCp949(dir)),
        FormPart::Text("filename", toCp949(fileName)),
        FormPart::Text("contents", toCp949(FullWidthPercent(CartInfo))),
        FormPart::Text("contents", toCp949(CartInfo)),
    };
    workBegin(0);
    const HttpResult answer
        = m_http->PostForm(toCp949(ServiceConfig::JoinAddress(
                               settings().UploadUrl, QStringLiteral("/upload_cartinfo.php"))),
            form, UploadAnswerLimit);
    workEnd();
    if (answer.Cancelled)
        return false;
    if (!answer.Ok()) {
        m_observer.ShowMessage(UploadTexts::HttpErrorPrefix + m_http->ErrorText(answer));
        return false;
    }
    return true;
}

void UploadEngine::workBegin(std::int64_t Expected)
{
    const std::int64_t now = m_clock.elapsed();
    m_progress.Begin(now);
    m_transferStartMs = now;
    m_gaugeMax = Expected;
    m_lastReportMs = now;
    m_lastReportedDone = 0;
    m_observer.FileGauge(Expected, 0);
}

void UploadEngine::beginTimeLeft(std::int64_t PerPhoto)
{
    std::int64_t total = 0;
    for (const UploadOrder &order : m_request->Orders)
        total += QFileInfo(order.FileName).size() + PerPhoto;
    m_timeLeft.Begin(total);
    m_bytesBefore = 0;
}

void UploadEngine::work(std::int64_t Done)
{
    const std::int64_t now = m_clock.elapsed();
    m_progress.Work(Done, now);
    if (const auto text = m_timeLeft.Update(m_bytesBefore + Done, now))
        m_observer.SetTimeLeft(*text);
    // The rule runs on every report; the display follows at a pace a window can take.
    const bool finalReport = Done >= m_gaugeMax && Done != m_lastReportedDone;
    if (now - m_lastReportMs < ReportIntervalMs && !finalReport)
        return;
    m_lastReportMs = now;
    m_lastReportedDone = Done;
    m_observer.FileGauge(m_gaugeMax, Done);
    const QString speed = TransferProgress::FormatSpeed(m_progress.AverageSpeed);
    if (speed != m_lastSpeedText) {
        m_lastSpeedText = speed;
        m_observer.SetSpeed(speed);
    }
}

void UploadEngine::workEnd()
{
    m_observer.FileGauge(m_gaugeMax, 0);
}
