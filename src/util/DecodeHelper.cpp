#include "util/DecodeHelper.h"

#include "util/DecodeHelperProtocol.h"
#include "util/Geometry.h"
#include "util/HelperProcess.h"
#include "util/JpegHeader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

using namespace decodehelper;

namespace {

constexpr auto HelperName = "kestrun-decoder";
// The helper forks a child per photo; beyond its wall-clock limit a helper that does not
// answer is itself taken for hung.
constexpr int ReplySlackMs = 5000;
constexpr int MaxKeptSizes = 8192;

helperprocess::Limits LimitsFromEnvironment()
{
    // "as=MB,cpu=s,wall=ms": tests shorten the limits to see them work.
    helperprocess::Limits limits;
    const QString asked = qEnvironmentVariable("KESTRUN_DECODER_LIMITS");
    for (const QString &part : asked.split(',', Qt::SkipEmptyParts)) {
        const QString key = part.section('=', 0, 0).trimmed();
        const int value = part.section('=', 1).trimmed().toInt();
        if (value <= 0)
            continue;
        if (key == QLatin1String("as"))
            limits.AddressSpaceHeadroomMB = value;
        else if (key == QLatin1String("cpu"))
            limits.CpuSeconds = value;
        else if (key == QLatin1String("wall"))
            limits.WallMs = value;
    }
    return limits;
}

struct Slot
{
    helperprocess::Channel Channel;
    int Generation = 0;
    int WallMs = 0;
};

// The running helpers: each serves one photo at a time; an idle one waits for the next.
class HelperPool
{
public:
    static HelperPool &Instance()
    {
        static HelperPool pool;
        return pool;
    }

    ~HelperPool()
    {
        for (Slot &s : Idle)
            helperprocess::Stop(s.Channel);
    }

    std::optional<Slot> Acquire()
    {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return !Idle.empty() || Busy < MaxHelpers; });
        ++Busy;
        if (!Idle.empty()) {
            Slot s = Idle.back();
            Idle.pop_back();
            return s;
        }
        Slot s;
        s.Generation = Generation;
        lock.unlock();

        const helperprocess::Limits limits = LimitsFromEnvironment();
        s.WallMs = limits.WallMs;
        const QString program = DecodeHelperPath();
        QString error;
        if (!helperprocess::Start(program,
                {QStringLiteral("--address-space-mb"),
                    QString::number(limits.AddressSpaceHeadroomMB), QStringLiteral("--cpu-seconds"),
                    QString::number(limits.CpuSeconds), QStringLiteral("--wall-ms"),
                    QString::number(limits.WallMs)},
                s.Channel, &error)) {
            if (!WarnedMissing.exchange(true))
                qWarning("cannot start the photo decoder %s: %s", qPrintable(program),
                    qPrintable(error));
            Release(s, false);
            return std::nullopt;
        }
        return s;
    }

    void Release(Slot s, bool Healthy)
    {
        std::unique_lock lock(Mutex);
        --Busy;
        if (Healthy && s.Generation == Generation) {
            Idle.push_back(s);
            lock.unlock();
        } else {
            lock.unlock();
            helperprocess::Stop(s.Channel);
        }
        Changed.notify_one();
    }

    void Reset()
    {
        std::vector<Slot> idle;
        {
            std::lock_guard lock(Mutex);
            ++Generation;
            idle.swap(Idle);
        }
        WarnedMissing = false;
        for (Slot &s : idle)
            helperprocess::Stop(s.Channel);
    }

private:
    HelperPool()
        : MaxHelpers(qBound(2, QThread::idealThreadCount(), 4))
    { }

    std::mutex Mutex;
    std::condition_variable Changed;
    std::vector<Slot> Idle;
    int Busy = 0;
    int Generation = 0;
    const int MaxHelpers;
    std::atomic<bool> WarnedMissing {false};
};

struct Answer
{
    bool Ran = false; // a helper ran the request (whatever became of its child)
    bool Finished = false; // its child exited normally
    QByteArray Output;
};

Answer Ask(Op Operation, const QString &FileName, QSize Size, qint64 MaxPixels)
{
    Answer answer;
    std::optional<Slot> slot = HelperPool::Instance().Acquire();
    if (!slot)
        return answer;
    const QByteArray path = QFile::encodeName(FileName);
    Request rq;
    rq.Operation = std::uint32_t(Operation);
    rq.Width = Size.width();
    rq.Height = Size.height();
    rq.MaxPixels = MaxPixels;
    rq.PathLength = std::uint32_t(path.size());
    const qint64 maxOutput = Operation == Op::Decode || Operation == Op::Fit
        ? MaxOutputBytes(qMax(0, Size.width()), qMax(0, Size.height()))
        : MaxOutputBytes(0, 0);
    const QDeadlineTimer deadline(slot->WallMs + ReplySlackMs);

    Reply reply;
    bool healthy = path.size() > 0 && path.size() <= qsizetype(MaxPathBytes)
        && helperprocess::Send(slot->Channel, &rq, sizeof rq)
        && helperprocess::Send(slot->Channel, path.constData(), path.size())
        && helperprocess::Receive(slot->Channel, &reply, sizeof reply, deadline)
        && reply.Magic == ReplyMagic && reply.Length <= maxOutput;
    if (healthy) {
        answer.Output.resize(reply.Length);
        healthy
            = helperprocess::Receive(slot->Channel, answer.Output.data(), reply.Length, deadline);
    }
    HelperPool::Instance().Release(*slot, healthy);
    // A helper that broke off is taken as a child that crashed: the photo stays undecoded.
    answer.Ran = true;
    if (!healthy) {
        answer.Output.clear();
        return answer;
    }
    answer.Finished = Outcome(reply.Result) == Outcome::Exited && reply.Detail == 0;
    if (Outcome(reply.Result) == Outcome::NotStarted)
        answer.Ran = false;
    return answer;
}

struct Parsed
{
    std::optional<QSize> Size;
    QImage Image;
    bool FromRawPreview = false;
};

// The size stands even when the child failed after writing it; a picture only from a child
// that finished, whole and of the size asked for.
Parsed Parse(const Answer &A, bool WithSize, QSize ExpectedPicture)
{
    Parsed p;
    const QByteArray &out = A.Output;
    qsizetype at = 0;
    if (WithSize) {
        SizeRecord s;
        if (out.size() < qsizetype(sizeof s))
            return p;
        std::memcpy(&s, out.constData(), sizeof s);
        if (s.Tag != SizeTag)
            return p;
        p.Size = s.Width > 0 && s.Height > 0 ? QSize(s.Width, s.Height) : QSize(0, 0);
        at = sizeof s;
    }
    PictureRecord r;
    if (!A.Finished || ExpectedPicture.isEmpty() || out.size() - at < qsizetype(sizeof r))
        return p;
    std::memcpy(&r, out.constData() + at, sizeof r);
    const QImage::Format format = QImage::Format(r.Format);
    if (r.Tag != PictureTag || QSize(r.Width, r.Height) != ExpectedPicture
        || (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32
            && format != QImage::Format_ARGB32_Premultiplied)
        || out.size() - at - qsizetype(sizeof r) != qsizetype(r.Width) * r.Height * 4)
        return p;
    QImage image(r.Width, r.Height, format);
    if (image.isNull())
        return p;
    const char *pixels = out.constData() + at + sizeof r;
    for (int y = 0; y < r.Height; ++y)
        std::memcpy(image.scanLine(y), pixels + qsizetype(y) * r.Width * 4, size_t(r.Width) * 4);
    p.Image = image;
    p.FromRawPreview = r.FromRawPreview != 0;
    return p;
}

// Sizes the helper gave, per file as it was then.
class SizeCache
{
public:
    static SizeCache &Instance()
    {
        static SizeCache cache;
        return cache;
    }

    struct Key
    {
        qint64 Bytes = -1;
        qint64 Modified = 0;
        bool operator==(const Key &) const = default;
    };

    static std::optional<Key> KeyOf(const QString &FileName)
    {
        const QFileInfo info(FileName);
        if (!info.isFile())
            return std::nullopt;
        return Key {info.size(), info.lastModified().toMSecsSinceEpoch()};
    }

    std::optional<QSize> Find(const QString &FileName, const Key &K)
    {
        std::lock_guard lock(Mutex);
        const auto it = Sizes.constFind(FileName);
        if (it == Sizes.constEnd() || !(it->first == K))
            return std::nullopt;
        return it->second;
    }

    void Keep(const QString &FileName, const Key &K, QSize Size)
    {
        std::lock_guard lock(Mutex);
        if (Sizes.size() >= MaxKeptSizes)
            Sizes.clear();
        Sizes.insert(FileName, {K, Size});
    }

    void Clear()
    {
        std::lock_guard lock(Mutex);
        Sizes.clear();
    }

private:
    std::mutex Mutex;
    QHash<QString, std::pair<Key, QSize>> Sizes;
};

// JPEG and PNG sizes are read by the program's own header parsers.
bool MeasuredInProcess(const QString &FileName)
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return true; // nothing to measure: MeasureImage gives 0 x 0 as for any unreadable file
    char head[8];
    const qint64 n = file.read(head, sizeof head);
    return LooksLikeJpeg(head, n) || (n == 8 && std::memcmp(head, "\x89PNG\r\n\x1A\n", 8) == 0);
}

} // namespace

QString DecodeHelperPath()
{
    const QString given = qEnvironmentVariable("KESTRUN_DECODER");
    if (!given.isEmpty())
        return given;
    const QString dir = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(
        dir + QStringLiteral("/../libexec/kestrun-brimvale/") + QLatin1String(HelperName));
    if (dir.isEmpty() || QFileInfo(installed).isExecutable())
        return installed;
    return QDir(dir).filePath(QLatin1String(HelperName));
}

QSize MeasureOutOfProcess(const QString &FileName)
{
    const auto key = SizeCache::KeyOf(FileName);
    if (!key)
        return {0, 0};
    if (const auto kept = SizeCache::Instance().Find(FileName, *key))
        return *kept;
    const Answer a = Ask(Op::Measure, FileName, {}, 0);
    const QSize size = Parse(a, true, {}).Size.value_or(QSize(0, 0));
    if (a.Ran)
        SizeCache::Instance().Keep(FileName, *key, size);
    return size;
}

HelperPicture DecodeOutOfProcess(const QString &FileName, QSize Needed, qint64 MaxPixels)
{
    HelperPicture result;
    if (Needed.isEmpty() || qint64(Needed.width()) * Needed.height() > MaxPicturePixels)
        return result;
    const Parsed p = Parse(Ask(Op::Decode, FileName, Needed, MaxPixels), false, Needed);
    result.Image = p.Image;
    result.FromRawPreview = p.FromRawPreview;
    return result;
}

bool FitOutOfProcess(const QString &FileName, QSize Box, FittedPicture &Result)
{
    if (Box.isEmpty() || qint64(Box.width()) * Box.height() > MaxPicturePixels
        || MeasuredInProcess(FileName))
        return false;
    Result = {};
    const auto key = SizeCache::KeyOf(FileName);
    if (!key)
        return true;
    // A photo the helper could not measure before is not tried again while it is unchanged.
    const auto kept = SizeCache::Instance().Find(FileName, *key);
    if (kept && kept->isEmpty())
        return true;

    const Answer a = Ask(Op::Fit, FileName, Box, MaxDecodePixels);
    const Parsed measured = Parse(a, true, {});
    const QSize stored = measured.Size.value_or(QSize(0, 0));
    if (a.Ran)
        SizeCache::Instance().Keep(FileName, *key, stored);
    if (stored.isEmpty())
        return true;
    Result.StoredSize = stored;
    Result.Fit
        = AspectFitRect({0, 0, stored.width(), stored.height()}, {0, 0, Box.width(), Box.height()});
    const Parsed p = Parse(a, true, QSize(Result.Fit.Width(), Result.Fit.Height()));
    if (!p.Image.isNull()) {
        Result.Image = p.Image;
        Result.Source = p.FromRawPreview ? PictureSource::RawPreview : PictureSource::ScaledDecode;
    }
    return true;
}

QString ProbeDecodeHelper(const QString &FileName)
{
    const Answer a = Ask(Op::Probe, FileName, {}, 0);
    return a.Finished ? QString::fromLatin1(a.Output) : QString();
}

void ResetDecodeHelpers()
{
    HelperPool::Instance().Reset();
    SizeCache::Instance().Clear();
}
