// kestrun-decoder: decodes the photos whose decoders the program does not own (camera raw
// files through LibRaw, and every format but JPEG through Qt's readers), so that a decoder
// fault costs one photo and not the program. It serves requests on stdin/stdout for as long
// as the program keeps them open, and decodes each photo in a child of its own, forked from
// this process with the decoders already loaded, under an address-space, CPU-time and
// wall-clock limit. No network, no file opened for writing, no program started.
//   kestrun-decoder [--address-space-mb N] [--cpu-seconds N] [--wall-ms N]
// KESTRUN_DECODER_FAULT=crash|spin|sleep makes every child fail that way after measuring
// (for tests of the program's side).

#include "decoder/RawDecoder.h"
#include "util/DecodeHelperProtocol.h"
#include "util/Geometry.h"
#include "util/HelperProcess.h"
#include "util/RawPhoto.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <libraw/libraw.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace decodehelper;

namespace {

// Qt's limit for one reader's buffers (MB), as in the program.
constexpr int ReaderAllocationLimitMB = 256;

enum class Fault { None, Crash, Spin, Sleep };

Fault FaultFromEnvironment()
{
    const QByteArray f = qgetenv("KESTRUN_DECODER_FAULT");
    if (f == "crash")
        return Fault::Crash;
    if (f == "spin")
        return Fault::Spin;
    if (f == "sleep")
        return Fault::Sleep;
    return Fault::None;
}

[[noreturn]] void Fail(Fault f)
{
    switch (f) {
    case Fault::Crash:
        std::raise(SIGSEGV);
        break;
    case Fault::Spin:
        for (volatile unsigned long i = 0;;)
            i = i + 1;
    case Fault::Sleep:
        for (;;) {
            timespec t {1, 0};
            nanosleep(&t, nullptr);
        }
    case Fault::None:
        break;
    }
    std::_Exit(1);
}

// Loads every image plugin's library once, here, so that the children forked per photo find
// them loaded instead of each opening and relocating them again.
void Preload()
{
    for (const QByteArray &format : QImageReader::supportedImageFormats()) {
        QBuffer empty;
        empty.open(QIODevice::ReadOnly);
        QImageReader reader(&empty, format);
        reader.canRead();
    }
    LibRaw warm(LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
}

QSize ReaderSize(const QString &FileName)
{
    QImageReader reader(FileName);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    return size.isValid() && !size.isEmpty() ? size : QSize(0, 0);
}

QImage ReaderPicture(const QString &FileName, QSize Needed)
{
    QImageReader reader(FileName);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    reader.setAllocationLimit(ReaderAllocationLimitMB);
    reader.setScaledSize(Needed);
    QImage picture = reader.read();
    if (!picture.isNull() && picture.size() != Needed)
        picture = picture.scaled(Needed, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return picture;
}

void WriteSize(int Out, QSize Size)
{
    SizeRecord r;
    r.Width = Size.width();
    r.Height = Size.height();
    helperprocess::WriteFully(Out, &r, sizeof r);
}

void WritePicture(int Out, QImage Picture, bool FromRawPreview)
{
    if (Picture.isNull())
        return;
    const QImage::Format f = Picture.format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32
        && f != QImage::Format_ARGB32_Premultiplied)
        Picture = Picture.convertToFormat(
            Picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (Picture.isNull())
        return;
    PictureRecord r;
    r.Width = Picture.width();
    r.Height = Picture.height();
    r.Format = std::uint32_t(Picture.format());
    r.FromRawPreview = FromRawPreview ? 1 : 0;
    QByteArray bytes(qsizetype(sizeof r) + qsizetype(r.Width) * r.Height * 4, Qt::Uninitialized);
    std::memcpy(bytes.data(), &r, sizeof r);
    for (int y = 0; y < r.Height; ++y)
        std::memcpy(bytes.data() + sizeof r + qsizetype(y) * r.Width * 4, Picture.constScanLine(y),
            size_t(r.Width) * 4);
    helperprocess::WriteFully(Out, bytes.constData(), bytes.size());
}

// Tries what the sandbox must refuse and writes what happened, as text.
void Probe(int Out, const QByteArray &Path, bool Sandboxed)
{
    QByteArray text = "sandbox=" + QByteArray::number(Sandboxed ? 1 : 0);
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    text += " socket=" + QByteArray(s >= 0 ? "opened" : std::strerror(errno));
    const int w = ::open(Path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    text += " write=" + QByteArray(w >= 0 ? "opened" : std::strerror(errno));
    const int r = ::open(Path.constData(), O_RDONLY);
    text += " read=" + QByteArray(r >= 0 ? "opened" : std::strerror(errno));
    rlimit as {}, cpu {};
    ::getrlimit(RLIMIT_AS, &as);
    ::getrlimit(RLIMIT_CPU, &cpu);
    text += " address-space-mb=" + QByteArray::number(qulonglong(as.rlim_cur >> 20))
        + " cpu-seconds=" + QByteArray::number(qulonglong(cpu.rlim_cur));
    helperprocess::WriteFully(Out, text.constData(), text.size());
}

void Serve(const Request &Rq, const QByteArray &Path, int Out, Fault F, bool Sandboxed)
{
    const QString fileName = QFile::decodeName(Path);
    const Op op = Op(Rq.Operation);
    if (op == Op::Probe)
        return Probe(Out, Path, Sandboxed);
    const bool raw = IsRawFileName(fileName);
    RawFile *rawFile = raw ? new RawFile(fileName) : nullptr; // the child ends with _exit

    QSize needed(Rq.Width, Rq.Height);
    if (op == Op::Measure || op == Op::Fit) {
        const QSize stored = raw ? rawFile->Size() : ReaderSize(fileName);
        WriteSize(Out, stored);
        if (F != Fault::None)
            Fail(F);
        if (op == Op::Measure || stored.isEmpty()
            || qint64(stored.width()) * stored.height() > Rq.MaxPixels)
            return;
        const TRect fit
            = AspectFitRect({0, 0, stored.width(), stored.height()}, {0, 0, Rq.Width, Rq.Height});
        needed = QSize(fit.Width(), fit.Height());
    } else if (F != Fault::None) {
        Fail(F);
    }
    if (needed.isEmpty())
        return;
    WritePicture(
        Out, raw ? rawFile->Preview(needed, Rq.MaxPixels) : ReaderPicture(fileName, needed), raw);
}

} // namespace

int main(int argc, char **argv)
{
    // A decoder's complaints about a broken photo are no news to the user; the program tells
    // an undecodable photo by its missing picture.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    helperprocess::Limits limits;
    for (int i = 1; i + 1 < argc; i += 2) {
        const long v = std::strtol(argv[i + 1], nullptr, 10);
        if (v <= 0)
            continue;
        if (std::strcmp(argv[i], "--address-space-mb") == 0)
            limits.AddressSpaceHeadroomMB = v;
        else if (std::strcmp(argv[i], "--cpu-seconds") == 0)
            limits.CpuSeconds = int(v);
        else if (std::strcmp(argv[i], "--wall-ms") == 0)
            limits.WallMs = int(v);
    }
    const Fault fault = FaultFromEnvironment();
    Preload();
    const bool sandboxed = helperprocess::EnterSandbox();

    for (;;) {
        Request rq;
        if (!helperprocess::ReadFully(0, &rq, sizeof rq))
            return 0; // the program has gone
        if (rq.Magic != RequestMagic || rq.PathLength == 0 || rq.PathLength > MaxPathBytes)
            return 2;
        QByteArray path(qsizetype(rq.PathLength), Qt::Uninitialized);
        if (!helperprocess::ReadFully(0, path.data(), path.size()))
            return 0;
        const bool sized
            = rq.Width > 0 && rq.Height > 0 && qint64(rq.Width) * rq.Height <= MaxPicturePixels;
        const Op op = Op(rq.Operation);
        Reply reply;
        helperprocess::ChildResult result;
        if ((op == Op::Decode || op == Op::Fit) && !sized) {
            result.Result = helperprocess::ChildResult::NotStarted;
        } else if (op == Op::Measure || op == Op::Decode || op == Op::Fit || op == Op::Probe) {
            const qint64 maxOutput
                = sized ? MaxOutputBytes(rq.Width, rq.Height) : MaxOutputBytes(0, 0);
            result = helperprocess::RunLimited(
                [&](int out) { Serve(rq, path, out, fault, sandboxed); }, limits, maxOutput);
        }
        reply.Result = std::uint32_t(result.Result);
        reply.Detail = result.Detail;
        reply.Length = std::uint32_t(result.Output.size());
        if (!helperprocess::WriteFully(1, &reply, sizeof reply)
            || !helperprocess::WriteFully(1, result.Output.constData(), result.Output.size()))
            return 0;
    }
}
