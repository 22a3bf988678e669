#pragma once

// One long upload against the print service's seeded random faults, and the judgement of how
// it ended, from the service's side. Shared by the soak test and the soak benchmark.
//
// A run ends in one of two states, and anything else is a fault of the upload:
// - completed: every photo on the host byte for byte (a photo saved over mid-upload as one of
//   its versions), each thumbnail that of the bytes sent (or missing where the host failed its
//   store, which the upload ignores by design), one cart-info file whose records match the
//   photos, and one basket page opened that finds it;
// - not completed: an error shown, no cart-info file on the host, no basket page.

#include "upload/UploadFixture.h"
#include "upload/UploadTexts.h"
#include "upload/UploadThumbnails.h"
#include "util/HttpClient.h"
#include "util/UploadNames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>

#include <memory>
#include <vector>

namespace soak {

using uploadtest::Recorder;

inline QByteArray Sha256(const QByteArray &Bytes)
{
    return QCryptographicHash::hash(Bytes, QCryptographicHash::Sha256).toHex();
}

// The photos of a soak, made once: mixed sizes, some with EXIF thumbnails, some large enough
// that a drop or a save lands in the middle of their store; names with Hangul, blanks, "%"
// and "_". Each run copies them into a fresh folder.
class PhotoSet
{
public:
    explicit PhotoSet(int Count)
    {
        Q_ASSERT(m_dir.isValid());
        static const char *const patterns[] = {"사진 %1.jpg", "여름_휴가 50% %1.jpg", "IMG_%1.JPG",
            "가족 사진 100%% 할인_%1.jpg", "a b_c %1.jpeg", "똠방각하_%1 .jpg"};
        for (int i = 0; i < Count; ++i) {
            const QString name = QString::fromUtf8(patterns[i % 6]).arg(i, 3, 10, QChar(u'0'));
            Names.append(name);
            Masters.append(fixtures::WriteFixture(m_dir.path(), name, Make(i, 1)));
        }
    }

    // Photo Index in version Version (1: as listed; 2: saved over, larger; 3: saved over, of
    // the same size, which a size check cannot tell from the first).
    static QByteArray Make(int Index, int Version)
    {
        const unsigned seed = unsigned(Index * 7 + Version * 1000 + 1);
        if (IsHuge(Index)) // larger than the socket buffers hold
            return Padded(fixtures::EncodeJpeg(fixtures::Textured(120, 80, seed)),
                (16 << 20) + (Version == 2 ? 300000 : 0), seed);
        switch (Index % 4) {
        case 0: // small
            return fixtures::EncodeJpeg(
                fixtures::Textured(80 + Index % 200, 60 + Index % 150, seed));
        case 1: { // with an EXIF thumbnail of the photo's aspect ratio
            const QImage image = fixtures::Textured(640, 480, seed);
            return fixtures::WithExif(
                fixtures::EncodeJpeg(image), fixtures::EncodeJpeg(image.scaled(160, 120)));
        }
        case 2: // large: a small picture carrying noise, 0.2 to 1.6 MB
            return Padded(fixtures::EncodeJpeg(fixtures::Textured(96, 64, seed)),
                200000 + qint64(seed * 2654435761u % 1400000u), seed);
        default:
            return fixtures::EncodeJpeg(fixtures::Textured(1024, 768, seed), 80);
        }
    }

    static bool IsHuge(int Index) { return Index % 40 == 10; }

    // Jpeg with comment segments of noise after its start marker, Bytes long in all.
    static QByteArray Padded(const QByteArray &Jpeg, qint64 Bytes, unsigned State)
    {
        QByteArray data = Jpeg.left(2);
        while (data.size() + Jpeg.size() < Bytes) {
            const int length = int(qMin<qint64>(65533, Bytes - data.size() - Jpeg.size() + 2));
            data.append("\xFF\xFE", 2);
            data.append(char((length + 2) >> 8)).append(char((length + 2) & 0xFF));
            for (int i = 0; i < length; ++i) {
                State = State * 1664525u + 1013904223u;
                data.append(char(State >> 24));
            }
        }
        return data + Jpeg.mid(2);
    }

    // The thumbnail the upload stores for photo Index in Version.
    QByteArray ThumbnailOf(int Index, int Version)
    {
        const QString key = QStringLiteral("%1/%2").arg(Index).arg(Version);
        auto it = m_thumbs.find(key);
        if (it != m_thumbs.end())
            return *it;
        QString path = Masters[Index];
        if (Version != 1)
            path = fixtures::WriteFixture(m_dir.path(),
                QStringLiteral("v%1-").arg(Version) + Names[Index], Make(Index, Version));
        const QByteArray jpeg = UploadThumbnails::Make(path);
        if (Version != 1)
            QFile::remove(path);
        m_thumbs.insert(key, jpeg);
        return jpeg;
    }

    QStringList Names;
    QStringList Masters;

private:
    QTemporaryDir m_dir;
    QHash<QString, QByteArray> m_thumbs;
};

struct Options
{
    QString Route = QStringLiteral("ftp"); // "ftp", or "http": FTP closed, the web route taken
    unsigned Seed = 1;
    int Photos = 300;
    int RunLimitMs = 180000; // a run that takes longer is a hang
    QJsonObject Rates; // the service's chaos rates
    QJsonArray StallSeconds {0.3, 2.5};
    int StallLimit = 1; // the upload's stall limit (seconds), FTP and HTTP
    QString User = QStringLiteral("kim");
};

// The usual rates of a home line, per route.
inline QJsonObject DefaultRates(const QString &Route)
{
    if (Route == QLatin1String("http"))
        return {{"http_status", 0.01}, {"http_drop", 0.01}};
    return {{"stor_refuse", 0.006}, {"stor_drop", 0.006}, {"stor_stall", 0.006},
        {"drop_after", 0.006}, {"login_refuse", 0.05}, {"http_status", 0.02}};
}

struct Outcome
{
    bool Completed = false;
    bool Hung = false;
    QStringList Faults; // what makes the end anything but one of the two states
    QString Ending; // the error shown, or "completed"
    int Reconnects = 0;
    qint64 Ms = 0;
    QJsonObject Chaos; // the service's counts
    QString Events; // what happened to the photos during the upload
    bool Sound() const { return !Hung && Faults.isEmpty(); }
};

// One run: a fresh copy of the photos, the faults of the seed, one upload on the engine's
// worker thread, then the judgement. Service must be started; it is reset first.
inline Outcome Run(PrintService &Service, PhotoSet &Set, const Options &Opt)
{
    constexpr qint64 HoldAfter = 2 << 20;
    Outcome out;
    QRandomGenerator rnd(Opt.Seed);
    const int n = qMin(Opt.Photos, int(Set.Masters.size()));
    const QString stamp = QStringLiteral("20240520")
        + QStringLiteral("%1").arg(Opt.Seed % 10000000, 7, 10, QChar(u'0'));

    // The service: nothing left from the run before, the stamp, FTP open or closed, the chaos.
    for (int i = 0; i < 200 && Service.control("ftp").value("sessions").toInt() > 0; ++i)
        QThread::msleep(10);
    Service.reset(true);
    Service.control("stamp", {{"value", stamp}});
    const bool web = Opt.Route == QLatin1String("http");
    Service.control("ftp", {{"listen", !web}});

    // The photos of this run and their versions.
    QTemporaryDir folder;
    std::vector<std::unique_ptr<TOrder>> orders;
    QList<TOrder *> list;
    QList<QList<QByteArray>> versions; // sha256 of each version a photo had
    for (int i = 0; i < n; ++i) {
        const QString path = folder.path() + u'/' + Set.Names[i];
        QFile::copy(Set.Masters[i], path);
        versions.append({Sha256(uploadtest::ReadLocal(path))});
        auto order = TOrder::Create(path);
        order->SetQuantity(int(rnd.bounded(11)), 1 + int(rnd.bounded(3)));
        order->SetLayout(rnd.bounded(2) ? TOrder::LayoutPaperFull : TOrder::LayoutImageFull);
        order->Bordered = rnd.bounded(2);
        order->AutoCorrect = TOrder::AutoCorrectOff;
        list.append(order.get());
        orders.push_back(std::move(order));
    }

    // During the upload: at photo K one photo is deleted (mostly one already sent) and one is
    // saved over, either then or in the middle of its own store.
    const int k = n / 4 + int(rnd.bounded(quint32(qMax(1, n / 4))));
    const int deleted = rnd.bounded(4) ? int(rnd.bounded(quint32(k)))
                                       : k + 1 + int(rnd.bounded(quint32(qMax(1, n - k - 1))));
    QList<int> huge;
    for (int i = 0; i < n; ++i)
        if (PhotoSet::IsHuge(i) && i != deleted)
            huge.append(i);
    const int saved = huge.isEmpty() ? -1 : huge.at(int(rnd.bounded(quint32(huge.size()))));
    // By FTP a short hold of the host (under the stall limit) halfway through the photo's
    // store gives the save its moment; by the web route it comes as the post begins.
    const bool savedMidStore = saved >= 0 && rnd.bounded(2);
    const int newVersionNumber = 2 + int(rnd.bounded(2));
    const QByteArray newVersion = PhotoSet::Make(saved, newVersionNumber);
    const auto saveOver = [&] {
        QFile f(list[saved]->FileName);
        // In place, as many editors save: the open file's reader sees the new bytes.
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(newVersion);
        versions[saved].append(Sha256(newVersion));
    };
    bool didDelete = false, didSave = false;
    int current = -1;
    Recorder rec;
    rec.WebRouteAnswer = true;
    rec.Hook = [&](const QString &Kind, const QString &Text) {
        if (Kind != QLatin1String("Message") || !Text.startsWith(UploadTexts::Sending))
            return;
        ++current; // the photos go in list order, one message each
        if (current == k && !didDelete) {
            didDelete = QFile::remove(list[deleted]->FileName);
            if (!savedMidStore && saved >= 0 && !didSave) {
                didSave = true;
                saveOver();
            }
        }
    };
    const qint64 savedSize = saved >= 0 ? QFileInfo(list[saved]->FileName).size() : -1;
    rec.GaugeHook = [&](std::int64_t Max, std::int64_t Progress) {
        if (savedMidStore && !didSave && current == saved && Max >= savedSize
            && (web ? Progress == 0 : Progress > HoldAfter && Progress < savedSize)) {
            didSave = true;
            saveOver();
        }
    };

    QJsonObject faults {{"chaos",
        QJsonObject {{"seed", int(Opt.Seed)}, {"rates", Opt.Rates},
            {"stall_seconds", Opt.StallSeconds}, {"max_after_bytes", 400000}}}};
    if (savedMidStore && !web) {
        const QByteArray remote
            = toCp949(RemotePhotoPath(UploadEngine::OrdersFolder(stamp, Opt.User),
                UploadName(stamp, saved, list[saved]->FileName)));
        faults.insert("stor",
            QJsonArray {QJsonObject {{"action", "stall"}, {"seconds", 0.4},
                {"after_bytes", HoldAfter}, {"match", QString::fromLatin1(remote)}}});
    }
    if (!Service.setFaults(faults)) {
        out.Faults << QStringLiteral("the service refused the faults");
        return out;
    }

    // The upload, bounded in time.
    QElapsedTimer clock;
    clock.start();
    {
        UploadEngine engine(rec);
        UploadSettings settings = uploadtest::SettingsFor(Service);
        settings.FtpStallTimeout = Opt.StallLimit;
        settings.HttpStallTimeout = Opt.StallLimit;
        settings.PhotoPauseMs = 0;
        engine.Start(UploadRequest::FromOrders(Opt.User, list, settings));
        if (!engine.Wait(Opt.RunLimitMs)) {
            out.Hung = true;
            out.Faults << QStringLiteral("no end after %1 ms").arg(Opt.RunLimitMs);
            engine.RequestCancel();
            rec.Hook = nullptr;
            rec.GaugeHook = nullptr;
        }
        engine.Wait();
        out.Completed = engine.Completed();
        out.Reconnects = engine.ReconnectCount();
    }
    out.Ms = clock.elapsed();
    out.Events = QStringLiteral("deleted %1 at %2%3; saved over %4%5")
                     .arg(deleted)
                     .arg(k)
                     .arg(didDelete ? "" : " (not reached)")
                     .arg(saved)
                     .arg(!didSave           ? QStringLiteral(" (not reached)")
                             : savedMidStore ? QStringLiteral(" during its store")
                                             : QStringLiteral(" at %1").arg(k));
    for (TOrder *o : list)
        UploadThumbnails::Shared().Forget(o->FileName);
    out.Chaos = Service.control("faults").value("faults").toObject().value("chaos").toObject();
    Service.setFaults({{"clear", true}});

    // The service's side.
    const QStringList errors = rec.Of("Error") + rec.Of("Box");
    const bool webRoute = !rec.Of("Ask").isEmpty();
    QHash<QByteArray, QByteArray> hostFiles; // path -> sha256
    for (const QJsonValue &v : Service.files()) {
        const QJsonObject f = v.toObject();
        hostFiles.insert(
            PrintService::bytes(f.value("path")), f.value("sha256").toString().toLatin1());
    }
    const QByteArray cartPath = toCp949(UploadEngine::OrdersFolder(stamp, Opt.User)
        + UploadEngine::CartInfoFileName(stamp, Opt.User));
    int cartPostsStored = 0;
    // (without the bodies: on the web route they are every photo again)
    for (const QJsonValue &v : Service.record({{"kinds", QJsonArray {"http"}}, {"bodies", false}}))
        cartPostsStored
            += v.toObject().value("path").toString() == QLatin1String("/upload_cartinfo.php")
            && v.toObject().value("stored").isString();
    // Thumbnail stores that the host did not finish: the upload goes on without them.
    QHash<QByteArray, bool> lastThumbStoreFinished;
    for (const QJsonValue &v : Service.ftpCommands("STOR")) {
        const QJsonObject e = v.toObject();
        bool finished = false;
        for (const QJsonValue &r : e.value("replies").toArray())
            finished |= r.toString().startsWith(QLatin1String("226"));
        lastThumbStoreFinished.insert(PrintService::bytes(e.value("arg")), finished);
    }

    if (out.Completed) {
        out.Ending = QStringLiteral("completed");
        if (!errors.isEmpty())
            out.Faults << QStringLiteral("completed after showing %1").arg(errors.first());
        if (didDelete && deleted > k)
            out.Faults << QStringLiteral("completed although photo %1 was deleted before its turn")
                              .arg(deleted);
        QByteArray cartInfo;
        QSet<QByteArray> known {cartPath};
        for (int i = 0; i < n; ++i) {
            const QString name = UploadName(stamp, i, list[i]->FileName);
            cartInfo += toCp949(name + u':' + list[i]->CartInfoLine());
            const QByteArray photo
                = toCp949(RemotePhotoPath(UploadEngine::OrdersFolder(stamp, Opt.User), name));
            known.insert(photo);
            QString thumbText
                = RemoteThumbnailPath(UploadEngine::ThumbsFolder(stamp, Opt.User), name);
            const QByteArray thumb = toCp949(thumbText.replace(u' ', u'_'));
            if (!webRoute)
                known.insert(thumb);
            if (!hostFiles.contains(photo)) {
                out.Faults << QStringLiteral("photo %1 missing").arg(i);
                continue;
            }
            const QByteArray sent = hostFiles.value(photo);
            const int version = int(versions[i].indexOf(sent));
            if (version < 0) {
                out.Faults << QStringLiteral("photo %1 damaged on the host").arg(i);
                continue;
            }
            if (webRoute)
                continue;
            const bool excused = !lastThumbStoreFinished.value(thumb, false);
            if (!hostFiles.contains(thumb)) {
                if (!excused)
                    out.Faults << QStringLiteral("thumbnail %1 missing").arg(i);
                continue;
            }
            if (hostFiles.value(thumb)
                    != Sha256(Set.ThumbnailOf(i, version == 0 ? 1 : newVersionNumber))
                && !excused)
                out.Faults << QStringLiteral("thumbnail %1 is not that of the bytes sent").arg(i);
        }
        bool ok = false;
        const QByteArray stored = Service.readFile(cartPath, &ok);
        if (!ok)
            out.Faults << QStringLiteral("no cart-info file");
        else if (stored != cartInfo)
            out.Faults << QStringLiteral("cart-info file does not match the photos");
        if (cartPostsStored != 1)
            out.Faults << QStringLiteral("%1 cart-info files stored").arg(cartPostsStored);
        for (auto it = hostFiles.cbegin(); it != hostFiles.cend(); ++it)
            if (!known.contains(it.key()))
                out.Faults
                    << QStringLiteral("unexpected file %1").arg(QString::fromLatin1(it.key()));
        if (rec.Browser.size() != 1) {
            out.Faults << QStringLiteral("%1 basket pages opened").arg(rec.Browser.size());
        } else if (rec.Browser.first()
            != UploadEngine::BasketAddress(Service.webUrl(), stamp, Opt.User)) {
            out.Faults << QStringLiteral("basket address %1")
                              .arg(QString::fromLatin1(rec.Browser.first()));
        } else {
            HttpClient http;
            const HttpResult basket = http.Get(rec.Browser.first());
            if (basket.Status != 200)
                out.Faults << QStringLiteral("basket page answered %1").arg(basket.Status);
        }
    } else if (!out.Hung) {
        out.Ending = errors.isEmpty() ? QString() : errors.first();
        if (errors.isEmpty())
            out.Faults << QStringLiteral("not completed without an error shown");
        if (cartPostsStored != 0 || hostFiles.contains(cartPath))
            out.Faults << QStringLiteral("not completed, but a cart-info file is on the host");
        if (!rec.Browser.isEmpty())
            out.Faults << QStringLiteral("not completed, but the basket page was opened");
        if (didDelete && deleted > k && current >= deleted
            && !errors.first().contains(list[deleted]->FileName))
            out.Faults << QStringLiteral("stopped at the deleted photo without naming it: %1")
                              .arg(errors.first());
    }
    return out;
}

} // namespace soak
