#include "model/WaitingListFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace {

constexpr int FormatVersion = 1;
// A kept list is the customer's own, never large: a bound keeps a hostile file harmless.
constexpr qint64 MaxFileBytes = 256LL << 20;

[[noreturn]] void damaged(const QString &What)
{
    throw WaitingListError(QStringLiteral("손상된 주문대기 목록 파일입니다 (%1).").arg(What));
}

template<typename T, typename F>
QJsonArray arrayOf(const std::array<T, PrintSizeCount> &Values, F &&Convert)
{
    QJsonArray out;
    for (const T &v : Values)
        out.append(Convert(v));
    return out;
}

QJsonArray sizesArray(const QJsonObject &Object, const char *Key)
{
    const QJsonValue value = Object.value(QLatin1String(Key));
    if (!value.isArray() || value.toArray().size() != PrintSizeCount)
        damaged(QString::fromLatin1(Key));
    return value.toArray();
}

qint64 integerIn(const QJsonValue &Value, qint64 Low, qint64 High, const char *What)
{
    if (!Value.isDouble())
        damaged(QString::fromLatin1(What));
    const double d = Value.toDouble();
    if (d != double(qint64(d)) || d < double(Low) || d > double(High))
        damaged(QString::fromLatin1(What));
    return qint64(d);
}

QJsonObject encodeEntry(const WaitingListEntry &e)
{
    QJsonObject o;
    o["file"] = e.FileName;
    o["fileSize"] = double(e.FileSize);
    o["fileTime"] = double(e.FileTime);
    o["width"] = e.ImageWidth;
    o["height"] = e.ImageHeight;
    o["quantities"] = arrayOf(e.Quantities, [](std::int32_t v) { return QJsonValue(v); });
    o["statuses"] = arrayOf(e.SizeStatuses, [](TSizeStatus v) { return QJsonValue(int(v)); });
    o["crops"] = arrayOf(e.CropRects, [](const TFloatRect &r) {
        return QJsonValue(QJsonArray {r.Left, r.Top, r.Right, r.Bottom});
    });
    o["cropTexts"] = arrayOf(e.CropTexts, [](const QString &t) { return QJsonValue(t); });
    o["layout"] = e.Layout;
    o["bordered"] = e.Bordered;
    o["autoCorrect"] = e.AutoCorrect;
    return o;
}

WaitingListEntry decodeEntry(const QJsonValue &Value)
{
    if (!Value.isObject())
        damaged(QStringLiteral("order"));
    const QJsonObject o = Value.toObject();
    WaitingListEntry e;
    if (!o.value("file").isString() || o.value("file").toString().isEmpty())
        damaged(QStringLiteral("file"));
    e.FileName = o.value("file").toString();
    e.FileSize = integerIn(o.value("fileSize"), -1, Q_INT64_C(1) << 52, "fileSize");
    e.FileTime
        = integerIn(o.value("fileTime"), -(Q_INT64_C(1) << 52), Q_INT64_C(1) << 52, "fileTime");
    e.ImageWidth = std::int32_t(integerIn(o.value("width"), 0, INT32_MAX, "width"));
    e.ImageHeight = std::int32_t(integerIn(o.value("height"), 0, INT32_MAX, "height"));
    const QJsonArray quantities = sizesArray(o, "quantities");
    const QJsonArray statuses = sizesArray(o, "statuses");
    const QJsonArray crops = sizesArray(o, "crops");
    const QJsonArray texts = sizesArray(o, "cropTexts");
    for (int i = 0; i < PrintSizeCount; ++i) {
        e.Quantities[i] = std::int32_t(integerIn(quantities[i], 0, INT32_MAX, "quantities"));
        e.SizeStatuses[i] = TSizeStatus(integerIn(statuses[i], ssNone, ssWarning, "statuses"));
        const QJsonArray r = crops[i].toArray();
        if (r.size() != 4 || !r[0].isDouble() || !r[1].isDouble() || !r[2].isDouble()
            || !r[3].isDouble())
            damaged(QStringLiteral("crops"));
        e.CropRects[i] = {float(r[0].toDouble()), float(r[1].toDouble()), float(r[2].toDouble()),
            float(r[3].toDouble())};
        if (!texts[i].isString())
            damaged(QStringLiteral("cropTexts"));
        e.CropTexts[i] = texts[i].toString();
    }
    e.Layout = std::uint8_t(
        integerIn(o.value("layout"), TOrder::LayoutImageFull, TOrder::LayoutNotChosen, "layout"));
    if (!o.value("bordered").isBool())
        damaged(QStringLiteral("bordered"));
    e.Bordered = o.value("bordered").toBool();
    e.AutoCorrect = std::uint8_t(integerIn(
        o.value("autoCorrect"), TOrder::AutoCorrectOn, TOrder::AutoCorrectNotSet, "autoCorrect"));
    return e;
}

// Writes Bytes in place of Path atomically: a crash leaves the old file or the new one.
QString writeAtomically(const QString &Path, const QByteArray &Bytes)
{
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QSaveFile file(Path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Bytes) != Bytes.size() || !file.commit())
        return file.errorString();
    return {};
}

} // namespace

WaitingListEntry EntryOf(const TOrder &Order)
{
    WaitingListEntry e;
    e.FileName = Order.FileName;
    e.FileSize = Order.FileSize;
    e.FileTime = Order.FileTime;
    e.ImageWidth = Order.ImageWidth;
    e.ImageHeight = Order.ImageHeight;
    e.Quantities = Order.Quantities;
    e.SizeStatuses = Order.SizeStatuses;
    e.CropRects = Order.CropRects;
    e.CropTexts = Order.CropTexts;
    e.Layout = Order.Layout;
    e.Bordered = Order.Bordered;
    e.AutoCorrect = Order.AutoCorrect;
    return e;
}

WaitingList SnapshotOf(const std::vector<std::unique_ptr<TOrder>> &Orders)
{
    WaitingList list;
    list.reserve(Orders.size());
    for (const auto &order : Orders)
        list.push_back(EntryOf(*order));
    return list;
}

QByteArray EncodeWaitingList(const WaitingList &List)
{
    QJsonArray orders;
    for (const WaitingListEntry &e : List)
        orders.append(encodeEntry(e));
    QJsonObject root;
    root["version"] = FormatVersion;
    root["orders"] = orders;
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

WaitingList DecodeWaitingList(const QByteArray &Bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(Bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        damaged(QStringLiteral("JSON"));
    const QJsonObject root = doc.object();
    const qint64 version = integerIn(root.value("version"), 1, INT32_MAX, "version");
    if (version > FormatVersion)
        throw WaitingListError(
            QStringLiteral("새 버전의 프로그램이 만든 주문대기 목록 파일입니다 (버전 %1).")
                .arg(version));
    if (!root.value("orders").isArray())
        damaged(QStringLiteral("orders"));
    WaitingList list;
    const QJsonArray orders = root.value("orders").toArray();
    list.reserve(orders.size());
    for (const QJsonValue &v : orders)
        list.push_back(decodeEntry(v));
    return list;
}

QString WaitingListPath(const QString &UserID)
{
    // Percent-encoded, so any id (Hangul, "/", blanks) gives one plain file name.
    const QString name = QString::fromLatin1(QUrl::toPercentEncoding(UserID));
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("waiting-list/") + name + QStringLiteral(".json"));
}

std::optional<WaitingList> ReadWaitingList(const QString &Path)
{
    QFile file(Path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        throw WaitingListError(QStringLiteral("주문대기 목록 파일을 열 수 없습니다: %1 (%2)")
                                   .arg(QDir::toNativeSeparators(Path), file.errorString()));
    if (file.size() > MaxFileBytes)
        damaged(QStringLiteral("size"));
    return DecodeWaitingList(file.readAll());
}

QString SetAsideWaitingList(const QString &Path)
{
    const QString aside = Path + QStringLiteral(".damaged-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QFile::remove(aside);
    if (QFile::rename(Path, aside))
        return aside;
    QFile::remove(Path);
    return {};
}

RestoredWaitingList RestoreWaitingList(const WaitingList &List)
{
    RestoredWaitingList restored;
    restored.Orders.reserve(List.size());
    for (const WaitingListEntry &e : List) {
        if (!QFileInfo(e.FileName).isFile()) {
            restored.Missing.append(e.FileName);
            continue;
        }
        auto order = TOrder::Create(e.FileName);
        const bool same = order->FileSize == e.FileSize && order->FileTime == e.FileTime
            && order->ImageWidth == e.ImageWidth && order->ImageHeight == e.ImageHeight;
        order->Quantities = e.Quantities;
        order->Layout = e.Layout;
        order->Bordered = e.Bordered;
        order->AutoCorrect = e.AutoCorrect;
        if (same) {
            order->SizeStatuses = e.SizeStatuses; // accepted warnings included
            order->CropRects = e.CropRects;
            order->CropTexts = e.CropTexts;
        } else {
            ++restored.Changed; // another picture now: its old placing and marks do not fit
        }
        restored.Orders.push_back(std::move(order));
    }
    return restored;
}

WaitingListKeeper::WaitingListKeeper(QString Path)
    : m_path(std::move(Path))
    , m_thread([this] { run(); })
{ }

WaitingListKeeper::~WaitingListKeeper()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void WaitingListKeeper::Keep(WaitingList List)
{
    if (m_lastAsked && *m_lastAsked == List)
        return;
    m_lastAsked = List;
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(List);
    }
    m_wake.notify_one();
}

void WaitingListKeeper::Discard()
{
    m_lastAsked = WaitingList {};
    {
        std::lock_guard lock(m_mutex);
        m_pending = WaitingList {};
    }
    m_wake.notify_one();
}

QString WaitingListKeeper::Flush()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_pending && !m_busy; });
    return m_error;
}

void WaitingListKeeper::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_pending; });
        if (!m_pending)
            return; // stopping with nothing left to write
        WaitingList list = std::move(*m_pending);
        m_pending.reset();
        m_busy = true;
        lock.unlock();
        QString error;
        if (list.empty()) {
            if (QFile::exists(m_path) && !QFile::remove(m_path))
                error = QStringLiteral("cannot remove %1").arg(m_path);
        } else {
            error = writeAtomically(m_path, EncodeWaitingList(list));
        }
        lock.lock();
        m_busy = false;
        m_error = error;
        m_idle.notify_all();
    }
}
