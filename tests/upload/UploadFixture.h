#pragma once

// What the upload tests share: a recording observer, photos made on the spot, and the engine
// pointed at a local print service with short limits.

#include "common/JpegFixtures.h"
#include "common/PrintService.h"
#include "model/uBrimvaleOrders.h"
#include "upload/IUploadObserver.h"
#include "upload/UploadEngine.h"
#include "util/Cp949.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

namespace uploadtest {

inline const QString Stamp = QStringLiteral("202405201230451");
inline const QString Day = QStringLiteral("20240520");

// Every call in order, as "Kind: text"; hooks let a test act at a given moment (cancel, switch
// a fault on) from inside the upload.
class Recorder : public IUploadObserver
{
public:
    bool WebRouteAnswer = false;
    std::function<void(const QString &Kind, const QString &Text)> Hook;
    std::function<void(std::int64_t Max, std::int64_t Progress)> GaugeHook;

    void SetMessage(const QString &Text) override { add("Message", Text); }
    void SetSpeed(const QString &Text) override { add("Speed", Text); }
    void SetExceptionText(const QString &Text) override { add("Exception", Text); }
    void FileGauge(std::int64_t Max, std::int64_t Progress) override
    {
        if (GaugeHook)
            GaugeHook(Max, Progress);
    }
    void TotalGauge(int Max, int Progress) override
    {
        add("Total", QStringLiteral("%1/%2").arg(Progress).arg(Max));
    }
    void SetCancelEnabled(bool Enabled) override
    {
        add("Cancel", Enabled ? QStringLiteral("on") : QStringLiteral("off"));
    }
    void ShowMessage(const QString &Text) override { add("Box", Text); }
    bool AskWebRoute(const QString &Question) override
    {
        add("Ask", Question);
        return WebRouteAnswer;
    }
    void ShowError(const QString &Text) override { add("Error", Text); }
    void OpenBrowser(const QByteArray &Address) override
    {
        QMutexLocker lock(&m_mutex);
        Browser.append(Address);
        m_calls.append("Browser: " + QString::fromLatin1(Address));
    }

    QStringList Calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    QStringList Of(const QString &Kind) const
    {
        QStringList out;
        const QString prefix = Kind + QStringLiteral(": ");
        for (const QString &c : Calls())
            if (c.startsWith(prefix))
                out.append(c.mid(prefix.size()));
        return out;
    }
    QList<QByteArray> Browser;

private:
    void add(const QString &Kind, const QString &Text)
    {
        {
            QMutexLocker lock(&m_mutex);
            m_calls.append(Kind + QStringLiteral(": ") + Text);
        }
        if (Hook)
            Hook(Kind, Text);
    }
    mutable QMutex m_mutex;
    QStringList m_calls;
};

// Photos in a temporary folder and their orders: 2 prints of 4x6, paper-full, borderless,
// auto-correction off.
class Photos
{
public:
    Photos() { Q_ASSERT(m_dir.isValid()); }

    QString Add(const QString &Name, int Width = 64, int Height = 48, unsigned Seed = 1)
    {
        const QString path = m_dir.path() + u'/' + Name;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(fixtures::EncodeJpeg(fixtures::Textured(Width, Height, Seed)));
        f.close();
        auto order = TOrder::Create(path);
        order->SetQuantity(2, 2);
        order->SetLayout(TOrder::LayoutPaperFull);
        order->Bordered = false;
        order->AutoCorrect = TOrder::AutoCorrectOff;
        m_orders.push_back(std::move(order));
        return path;
    }
    // A photo of about Bytes bytes that does not compress (for transfers that take a while):
    // a small JPEG with comment segments of noise after its start marker.
    QString AddLarge(const QString &Name, qint64 Bytes)
    {
        const QString path = Add(Name, 32, 32);
        const QByteArray jpeg = fixtures::EncodeJpeg(fixtures::Textured(32, 32));
        QByteArray data = jpeg.left(2);
        unsigned state = 7;
        while (data.size() + jpeg.size() < Bytes) {
            const int length = int(qMin<qint64>(65533, Bytes - data.size() - jpeg.size() + 2));
            data.append("\xFF\xFE", 2);
            data.append(char((length + 2) >> 8));
            data.append(char((length + 2) & 0xFF));
            for (int i = 0; i < length; ++i) {
                state = state * 1664525u + 1013904223u;
                data.append(char(state >> 24));
            }
        }
        data.append(jpeg.mid(2));
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(data);
        return path;
    }
    QList<TOrder *> Orders() const
    {
        QList<TOrder *> out;
        for (const auto &o : m_orders)
            out.append(o.get());
        return out;
    }
    TOrder &At(int i) { return *m_orders.at(i); }
    // The order goes, as when the cart drops it; its file stays.
    void Remove(int i) { m_orders.erase(m_orders.begin() + i); }
    QString Folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<TOrder>> m_orders;
};

inline const QString FourBySixLine
    = QStringLiteral("0:0:0:0:0:2:0:0:0:0:0:Y:N:N:Y:N:N:N:::::::::::\r\n");

inline UploadSettings SettingsFor(const PrintService &Service)
{
    UploadSettings s;
    s.WebUrl = Service.webUrl();
    s.UploadUrl = Service.uploadUrl();
    s.FtpUrl = Service.ftpUrl();
    s.ConnectTimeout = 5;
    s.HttpStallTimeout = 5;
    s.FtpStallTimeout = 5;
    s.StampPauseMs = 10;
    return s;
}

// The request of one upload of Shots for User over Service.
inline UploadRequest RequestFor(const PrintService &Service, const QString &User, const Photos &Shots)
{
    return UploadRequest::FromOrders(User, Shots.Orders(), SettingsFor(Service));
}

inline QByteArray ReadLocal(const QString &Path)
{
    QFile f(Path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// Arguments of the FTP commands of one kind, as the bytes sent.
inline QList<QByteArray> Args(PrintService &Service, const QString &Cmd)
{
    QList<QByteArray> out;
    for (const QJsonValue &v : Service.ftpCommands(Cmd))
        out.append(PrintService::bytes(v.toObject().value("arg")));
    return out;
}

// Files the service stored, path (bytes) -> complete.
inline QList<QPair<QByteArray, bool>> StoredFiles(PrintService &Service)
{
    QList<QPair<QByteArray, bool>> out;
    for (const QJsonValue &v : Service.record(QJsonObject{{"kinds", QJsonArray{"file"}}})) {
        const QJsonObject e = v.toObject();
        out.append({PrintService::bytes(e.value("path")), e.value("complete").toBool()});
    }
    return out;
}

inline QByteArray OrdersPath(const QString &User, const QString &Name)
{
    return toCp949(QStringLiteral("/images/orders/") + Day + u'/' + User + u'/' + Name);
}

inline QByteArray ThumbsPath(const QString &User, const QString &Name)
{
    QString p = QStringLiteral("/images/thumbs/") + Day + u'/' + User + u'/' + Name;
    p.replace(u' ', u'_');
    return toCp949(p);
}

// The file gauge of the one transfer of at least Size bytes (a photo, or the form that carries
// it): its reports, in ms since the transfer began. Fault() tells when a report ran ahead of a
// server that reads Rate bytes per second (with a megabyte for its buffers), or when the last
// report is not the whole transfer.
struct GaugeTimeline
{
    qint64 Size = 0;
    std::int64_t Max = 0;
    QElapsedTimer Clock;
    QList<QPair<qint64, std::int64_t>> Reports;

    // A photo of about 2 MB for a host that reads Rate bytes per second by Route ("ftp" or
    // "http"), watched on Rec. False when the service refuses the throttle.
    bool SlowPhoto(PrintService &Service, const char *Route, double Rate, Photos &Into, Recorder &Rec)
    {
        Size = QFileInfo(Into.AddLarge("slow.jpg", 2000000)).size();
        Watch(Rec);
        return Service.setFaults({{"throttle", QJsonObject{{QLatin1String(Route), Rate}}}});
    }

    void Watch(Recorder &Rec)
    {
        Rec.GaugeHook = [this](std::int64_t GaugeMax, std::int64_t Progress) {
            if (GaugeMax < Size)
                return;
            Max = GaugeMax;
            if (!Clock.isValid())
                Clock.start();
            if (Progress > 0)
                Reports.append({Clock.elapsed(), Progress});
        };
    }

    QString Fault(double Rate) const
    {
        constexpr double Buffers = 1 << 20;
        if (Reports.isEmpty())
            return QStringLiteral("no progress reports");
        for (const auto &[ms, bytes] : Reports) {
            if (bytes > Rate * double(ms) / 1000.0 + Buffers)
                return QStringLiteral("%1 bytes after %2 ms").arg(bytes).arg(ms);
        }
        if (Reports.last().second != Max)
            return QStringLiteral("last report %1 of %2").arg(Reports.last().second).arg(Max);
        return {};
    }
};

} // namespace uploadtest

// One service for a whole test executable, reset (record, faults, files) before every test.
#define UPLOAD_SERVICE_FIXTURE                                                                     \
    PrintService service;                                                                          \
    void startService()                                                                            \
    {                                                                                              \
        QString error;                                                                             \
        QVERIFY2(service.start(&error), qPrintable(error));                                        \
        QVERIFY(service.control("stamp", QJsonObject{{"value", uploadtest::Stamp}})                \
                    .value("ok")                                                                   \
                    .toBool());                                                                    \
    }                                                                                              \
    void resetService()                                                                            \
    {                                                                                              \
        /* a session of the last test would note its end in this test's record: end it first */ \
        const QJsonObject answer =                                                                 \
            service.control("reset", QJsonObject{{"files", true}, {"end_sessions", true}});       \
        QVERIFY2(answer.value("ok").toBool(),                                                      \
                 qPrintable(QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact)) \
                            + (service.isRunning() ? " (running)" : " (service ended)")));         \
    }
