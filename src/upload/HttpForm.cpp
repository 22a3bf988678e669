#include "upload/HttpForm.h"

#include "util/HttpClientImpl.h"

#include <QFile>

#include <memory>
#include <vector>

FormPart FormPart::Text(const QByteArray &Name, const QByteArray &Value)
{
    FormPart part;
    part.Name = Name;
    part.Value = Value;
    return part;
}

FormPart FormPart::File(const QByteArray &Name, const QString &LocalFile,
    const QByteArray &FileName, const QByteArray &ContentType)
{
    FormPart part;
    part.Name = Name;
    part.LocalFile = LocalFile;
    part.FileName = FileName;
    part.ContentType = ContentType;
    return part;
}

namespace {

std::size_t readFile(char *buffer, std::size_t size, std::size_t count, void *file)
{
    const qint64 got = static_cast<QFile *>(file)->read(buffer, static_cast<qint64>(size * count));
    return got < 0 ? CURL_READFUNC_ABORT : static_cast<std::size_t>(got);
}

int seekFile(void *file, curl_off_t offset, int origin)
{
    auto *f = static_cast<QFile *>(file);
    qint64 target = offset;
    if (origin == SEEK_CUR)
        target += f->pos();
    else if (origin == SEEK_END)
        target += f->size();
    return f->seek(target) ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

struct MimeDeleter
{
    void operator()(curl_mime *mime) const { curl_mime_free(mime); }
};

struct SlistDeleter
{
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

} // namespace

HttpResult PostForm(
    HttpClient &Client, const QByteArray &Address, const QList<FormPart> &Parts, qint64 AnswerLimit)
{
    HttpClient::Impl &impl = *Client.impl();
    // The files are open exactly as long as their form exists.
    std::vector<std::unique_ptr<QFile>> files;
    for (const FormPart &part : Parts) {
        if (part.LocalFile.isEmpty())
            continue;
        auto file = std::make_unique<QFile>(part.LocalFile);
        if (!file->open(QIODevice::ReadOnly))
            throw HttpError(QStringLiteral("Cannot open file \"%1\". %2")
                                .arg(part.LocalFile, file->errorString()));
        files.push_back(std::move(file));
    }

    impl.Prepare(Address);
    impl.LimitBody(AnswerLimit);
    std::unique_ptr<curl_mime, MimeDeleter> mime(curl_mime_init(impl.Curl));
    std::unique_ptr<curl_slist, SlistDeleter> binary(
        curl_slist_append(nullptr, "Content-Transfer-Encoding: binary"));
    std::size_t fileIndex = 0;
    for (const FormPart &part : Parts) {
        curl_mimepart *p = curl_mime_addpart(mime.get());
        curl_mime_name(p, part.Name.constData());
        if (part.LocalFile.isEmpty()) {
            curl_mime_data(p, part.Value.constData(), static_cast<size_t>(part.Value.size()));
            continue;
        }
        QFile *file = files[fileIndex++].get();
        curl_mime_data_cb(p, static_cast<curl_off_t>(file->size()), &readFile, &seekFile, nullptr, file);
        curl_mime_filename(p, part.FileName.constData());
        curl_mime_type(p, part.ContentType.constData());
        // Stated as a header of its own: libcurl's "binary" encoder would write the same line,
        // but only after headers we give, and the service expects it last.
        curl_mime_headers(p, binary.get(), 0);
    }
    curl_easy_setopt(impl.Curl, CURLOPT_MIMEPOST, mime.get());
    // No "Expect: 100-continue" round trip before large bodies.
    impl.AddHeader("Expect:");
    HttpResult result = impl.Perform();
    curl_easy_setopt(impl.Curl, CURLOPT_MIMEPOST, nullptr);
    return result;
}

QString PostErrorText(HttpClient &Client, const HttpResult &Result)
{
    if (!Result.Error.isEmpty())
        return Result.Error;
    const QByteArray line = Client.impl()->StatusLine;
    if (!line.isEmpty())
        return QString::fromLatin1(line);
    return QStringLiteral("HTTP/1.1 %1").arg(Result.Status);
}

void SplitCartInfoPath(const QString &Path, QString &Dir, QString &FileName)
{
    qsizetype cut = -1;
    for (qsizetype i = Path.size() - 1; i >= 0; --i) {
        if (Path.at(i) == u'\\' || Path.at(i) == u':') {
            cut = i;
            break;
        }
    }
    if (cut < 0) {
        Dir.clear();
        FileName = Path;
        return;
    }
    FileName = Path.mid(cut + 1);
    Dir = Path.at(cut) == u':' ? Path.left(cut + 1) : Path.left(cut);
}
